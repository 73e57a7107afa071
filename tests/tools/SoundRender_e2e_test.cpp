// Sound-reactive effects rendered by lumatex-render from a clip whose sound alternates a second of silence
// and a second of noise: the picture follows the sound at each frame's time, the same bytes in every run.
#include "platform/BmpFile.h"
#include "platform/Files.h"
#include "tools/CliChildRun.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>

namespace {

// 3 s of 64 x 64 test pattern at 25 fps; loud white noise from 1 s to 2 s, silence around it.
std::string MakeNoiseClip(const TTempFolder& folder) {
    const std::string clip = folder.File("noise.avi");
    const TChildRun made = RunChild(
        "ffmpeg",
        {"-v", "error", "-y", "-f", "lavfi", "-i", "testsrc2=size=64x64:rate=25:duration=3", "-f", "lavfi",
         "-i", "anoisesrc=d=3:c=white:a=0.7:r=48000:seed=7,volume=volume='eq(floor(t),1)':eval=frame", "-c:v",
         "mpeg4", "-q:v", "2", "-c:a", "pcm_s16le", clip},
        folder);
    EXPECT_EQ(made.Status, 0) << made.Err;
    return clip;
}

std::string WritePreset(const TTempFolder& folder, const std::string& ini) {
    std::string text = "[1]\r\nPlugInName=" + ini + "\r\nactive=1\r\n";
    for (int slot = 2; slot <= 8; ++slot)
        text += "[" + std::to_string(slot) + "]\r\nPlugInName=NONE\r\n";
    const std::string path = folder.File(ini + ".prs");
    WriteTextFile(path, text);
    return path;
}

double MeanDifference(const std::string& a, const std::string& b) {
    TBitmap x, y;
    LoadBmpFile(a, x);
    LoadBmpFile(b, y);
    double sum = 0;
    for (int row = 0; row < x.Height(); ++row)
        for (int i = 0; i < x.Width() * x.BytesPerPixel(); ++i)
            sum += std::abs(int(x.ScanLine(row)[i]) - int(y.ScanLine(row)[i]));
    return sum / (x.Width() * x.Height() * x.BytesPerPixel());
}

} // namespace

TEST(SoundRender, TheEffectsFollowSilenceAndNoiseAndRepeatExactly) {
    TTempFolder tmp;
    const std::string clip = MakeNoiseClip(tmp);
    ASSERT_FALSE(clip.empty());
    const std::string root = LUMATEX_BIN_DIR;
    const std::string frames = "0-72";
    TChildRun run = RunRender({"--root", root, "--frames", frames, clip, tmp.File("plain%d.bmp")}, tmp);
    ASSERT_EQ(run.Status, 0) << run.Err;
    // Frames 12 (0.48 s, before any sound), 40 (1.6 s, noise), 72 (2.88 s, silence again).
    struct Case {
        const char* Ini;
        double NoisyAtLeast;
    } cases[] = {{"spectrum_bars.ini", 12.0},
                 {"sound_pulse.ini", 8.0},
                 {"waveform_scope.ini", 4.0},
                 {"bass_colour_shift.ini", 8.0}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Ini);
        const std::string preset = WritePreset(tmp, c.Ini);
        for (const char* name : {"a", "b"}) {
            run = RunRender({"--root", root, "--preset", preset, "--frames", frames, clip,
                             tmp.File(std::string(name) + "%d.bmp")},
                            tmp);
            ASSERT_EQ(run.Status, 0) << run.Err;
        }
        const auto file = [&](const std::string& name, int frame) {
            return tmp.File(name + std::to_string(frame) + ".bmp");
        };
        const double silentBefore = MeanDifference(file("a", 12), file("plain", 12));
        const double noisy = MeanDifference(file("a", 40), file("plain", 40));
        const double silentAfter = MeanDifference(file("a", 72), file("plain", 72));
        // The scope draws its line through silence too; everything else leaves a silent picture as it is.
        const double silentMost = std::string(c.Ini) == "waveform_scope.ini" ? 3.0 : 0.5;
        EXPECT_LE(silentBefore, silentMost);
        EXPECT_GE(noisy, c.NoisyAtLeast);
        EXPECT_GE(noisy, 2.0 * silentBefore + 2.0);
        // The levels fall over a few tenths of a second; the spectrum and waveform at once.
        EXPECT_LE(silentAfter, noisy / 4.0);
        for (int frame : {12, 40, 72})
            EXPECT_EQ(ReadTextFile(file("a", frame)), ReadTextFile(file("b", frame))) << "frame " << frame;
    }
}

// A video file gets the same sound at each frame as the frame files do (the clip render's own loop).
TEST(SoundRender, AVideoFileOfASoundReactiveChainFollowsTheSound) {
    TTempFolder tmp;
    const std::string clip = MakeNoiseClip(tmp);
    ASSERT_FALSE(clip.empty());
    const std::string root = LUMATEX_BIN_DIR;
    const std::string preset = WritePreset(tmp, "sound_pulse.ini");
    for (const auto& [name, extra] : {std::pair<std::string, bool>{"plain", false}, {"pulse", true}}) {
        std::vector<std::string> args = {"--root", root, "--codec", "ffv1", clip, tmp.File(name + ".mkv")};
        if (extra) args.insert(args.begin(), {"--preset", preset});
        const TChildRun run = RunRender(args, tmp);
        ASSERT_EQ(run.Status, 0) << run.Err;
        for (int frame : {12, 40}) {
            const TChildRun cut = RunChild("ffmpeg",
                                           {"-v", "error", "-y", "-i", tmp.File(name + ".mkv"), "-vf",
                                            "select=eq(n\\," + std::to_string(frame) + ")", "-frames:v", "1",
                                            tmp.File(name + std::to_string(frame) + ".bmp")},
                                           tmp);
            ASSERT_EQ(cut.Status, 0) << cut.Err;
        }
    }
    EXPECT_LE(MeanDifference(tmp.File("pulse12.bmp"), tmp.File("plain12.bmp")), 0.5);
    EXPECT_GE(MeanDifference(tmp.File("pulse40.bmp"), tmp.File("plain40.bmp")), 8.0);
}
