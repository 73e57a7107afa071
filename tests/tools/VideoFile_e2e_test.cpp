// lumatex-render into one video file, read back with ffprobe and ffmpeg: streams, frames, rate, a picture
// against the same frame rendered to BMP, the sound, and nothing left behind by a render that fails or is
// stopped.
#include "platform/BmpFile.h"
#include "platform/Files.h"
#include "tools/CliChildRun.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <spawn.h>
#include <sys/wait.h>
#include <thread>

extern char** environ;

namespace {

std::string Root() {
    return TestDataFolder() + "chain";
}

TBitmap LoadBmp(const std::string& path) {
    TBitmap b;
    LoadBmpFile(path, b);
    return b;
}

double MeanDifference(const TBitmap& a, const TBitmap& b) {
    if (a.Width() != b.Width() || a.Height() != b.Height()) return 1e9;
    double sum = 0;
    for (int y = 0; y < a.Height(); ++y)
        for (int x = 0; x < a.Width(); ++x)
            for (int c = 0; c < 3; ++c)
                sum += std::abs(int(a.ScanLine(y)[x * a.BytesPerPixel() + c]) -
                                int(b.ScanLine(y)[x * b.BytesPerPixel() + c]));
    return sum / (3.0 * a.Width() * a.Height());
}

// The files in folder, scratch files included.
std::vector<std::string> FilesIn(const TTempFolder& folder) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder.Path()))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

} // namespace

TEST(VideoFile, ClipThroughAnInvertingPresetReadsBackAsRendered) {
    TTempFolder tmp;
    const std::string clip = MakeTestClip(tmp, "clip.avi", 160, 120, 25, 2.0, true);
    ASSERT_FALSE(clip.empty());
    // The frame every file is compared at, rendered to BMP through the same chain.
    const TChildRun bmp = RunRender(
        {"--root", Root(), "--preset", "Gain Invert", "--frames", "10", clip, tmp.File("ref.bmp")}, tmp);
    ASSERT_EQ(bmp.Status, 0) << bmp.Err;
    const TBitmap reference = LoadBmp(tmp.File("ref.bmp"));
    struct TCase {
        const char* Output;
        const char* VideoCodec;
        const char* AudioCodec; // copied (the source's AAC) or encoded again
        double Tolerance;       // mean difference per channel byte the codec may leave
    };
    const TCase cases[] = {
        {"out.mp4", "h264", "aac", 6.0},
        {"out.webm", "vp9", "opus", 6.0},
        {"out.avi", "mpeg4", "aac", 6.0},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Output);
        const std::string out = tmp.File(c.Output);
        const TChildRun run = RunRender({"--root", Root(), "--preset", "Gain Invert", clip, out}, tmp);
        ASSERT_EQ(run.Status, 0) << run.Err;
        EXPECT_EQ(ProbeStreams(out, "codec_type,codec_name", tmp),
                  std::string(c.VideoCodec) + ",video\n" + c.AudioCodec + ",audio\n");
        EXPECT_EQ(ProbeStreams(out, "r_frame_rate,nb_read_frames", tmp, true).substr(0, 8), "25/1,50\n");
        const TChildRun frame = RunChild("ffmpeg",
                                         {"-v", "error", "-y", "-i", out, "-vf", "select=eq(n\\,10)",
                                          "-frames:v", "1", "-pix_fmt", "bgr24", tmp.File("decoded.bmp")},
                                         tmp);
        ASSERT_EQ(frame.Status, 0) << frame.Err;
        const double difference = MeanDifference(LoadBmp(tmp.File("decoded.bmp")), reference);
        EXPECT_LT(difference, c.Tolerance);
    }
}

TEST(VideoFile, ARangeOfFramesWithoutSoundAndTheEncoderOptions) {
    TTempFolder tmp;
    const std::string clip = MakeTestClip(tmp, "clip.avi", 96, 64, 25, 1.0, false);
    ASSERT_FALSE(clip.empty());
    struct TCase {
        std::vector<std::string> Options;
        const char* Output;
        const char* Streams;
        const char* Frames;
    };
    const TCase cases[] = {
        {{"--frames", "5-14"}, "range.mp4", "h264,video\n", "10"},
        {{"--codec", "mpeg4", "--bitrate", "800k"}, "mpeg4.mkv", "mpeg4,video\n", "25"},
        {{"--crf", "40"}, "crf.webm", "vp9,video\n", "25"},
        {{"--size", "51x33"}, "odd.mov", "h264,video\n", "25"},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Output);
        std::vector<std::string> args{"--root", Root()};
        args.insert(args.end(), c.Options.begin(), c.Options.end());
        args.insert(args.end(), {clip, tmp.File(c.Output)});
        const TChildRun run = RunRender(args, tmp);
        ASSERT_EQ(run.Status, 0) << run.Err;
        EXPECT_EQ(ProbeStreams(tmp.File(c.Output), "codec_name,codec_type", tmp), c.Streams);
        EXPECT_EQ(ProbeStreams(tmp.File(c.Output), "nb_read_frames", tmp, true),
                  std::string(c.Frames) + "\n");
    }
    // 4:2:0 takes even edges only: the odd size loses its last column and row.
    EXPECT_EQ(ProbeStreams(tmp.File("odd.mov"), "width,height", tmp), "50,32\n");
}

TEST(VideoFile, BadInputsAndFailedRendersLeaveNoFile) {
    TTempFolder tmp;
    const std::string clip = MakeTestClip(tmp, "clip.avi", 64, 48, 25, 0.4, false);
    ASSERT_FALSE(clip.empty());
    WriteTextFile(tmp.File("still.bmp"), "");
    struct TCase {
        std::vector<std::string> Args;
        int Status;
        const char* Says;
    };
    const TCase cases[] = {
        {{clip, tmp.File("no/such/folder/x.mp4")}, 4, "no such folder"},
        {{"--codec", "nosuchcodec", clip, tmp.File("x.mp4")}, 2, "no encoder named 'nosuchcodec'"},
        {{"--codec", "aac", clip, tmp.File("x.mp4")}, 2, "no video encoder"},
        {{"--crf", "99", clip, tmp.File("x.mp4")}, 2, "--crf must be 0..63"},
        {{"--crf", "60", clip, tmp.File("x.mp4")}, 2, "out of range for libx264"},
        {{"--codec", "mpeg4", "--crf", "5", clip, tmp.File("x.avi")}, 2, "takes no --crf"},
        {{"--crf", "20", "--bitrate", "1M", clip, tmp.File("x.mp4")}, 2, "cannot be combined"},
        {{"--bitrate", "fast", clip, tmp.File("x.mp4")}, 2, "--bitrate must be"},
        {{"--crf", "20", clip, tmp.File("x%d.bmp")}, 2, "are for a video OUTPUT"},
        {{tmp.File("still.bmp"), tmp.File("x.mp4")}, 2, "needs a video INPUT"},
        // The range runs past the clip's ten frames: the encoded part goes with the failure.
        {{"--frames", "5-20", clip, tmp.File("x.mp4")},
         3,
         "the video ends after frame 9; nothing was written"},
    };
    const std::vector<std::string> before = FilesIn(tmp);
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Says);
        std::vector<std::string> args{"--root", Root()};
        args.insert(args.end(), c.Args.begin(), c.Args.end());
        const TChildRun run = RunRender(args, tmp);
        EXPECT_EQ(run.Status, c.Status) << run.Err;
        EXPECT_NE(run.Err.find(c.Says), std::string::npos) << run.Err;
        EXPECT_EQ(FilesIn(tmp), before);
    }
}

TEST(VideoFile, ARenderStoppedHalfWayLeavesNothing) {
    TTempFolder tmp;
    const std::string clip = MakeTestClip(tmp, "long.avi", 320, 240, 25, 20.0, false);
    ASSERT_FALSE(clip.empty());
    const std::vector<std::string> before = FilesIn(tmp);
    std::vector<std::string> args{LUMATEX_RENDER_EXE, "--root", Root(), "--preset", "Gain Invert", clip,
                                  tmp.File("out.mp4")};
    std::vector<char*> argv;
    for (std::string& a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    pid_t pid = 0;
    ASSERT_EQ(posix_spawn(&pid, argv[0], nullptr, nullptr, argv.data(), environ), 0);
    // Stopped a second after its scratch file appeared: frames are being encoded, far from the end.
    bool started = false;
    for (int i = 0; i < 2000 && !started; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
        for (const std::string& name : FilesIn(tmp))
            started = started || name.rfind("lumatex-", 0) == 0;
    }
    EXPECT_TRUE(started);
    std::this_thread::sleep_for(std::chrono::seconds(1));
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, WNOHANG), 0) << "still rendering";
    kill(pid, SIGINT);
    waitpid(pid, &status, 0);
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGINT);
    EXPECT_EQ(FilesIn(tmp), before);
}

// A small file system of its own (tmpfs, mounted by root) that fills while the frames go in: the message
// names what could not be written, the exit status is the render's, and no scratch file or half file is left;
// of a run of single pictures the ones written before stay whole.
TEST(VideoFile, ADiskThatFillsMidRenderLeavesNoHalfFile) {
    TTempFolder tmp;
    const std::string clip = MakeTestClip(tmp, "clip.avi", 320, 240, 25, 4.0, false);
    ASSERT_FALSE(clip.empty());
    struct TCase {
        const char* Output;
        const char* Size; // the file system's, below what the render needs (mp4 about 100 KiB)
        const char* Says;
        size_t FilesLeft;
    };
    const TCase cases[] = {
        {"out.mp4", "64k", "cannot write ", 0},
        {"out.y4m", "512k", "cannot write ", 0},
        {"f%03d.bmp", "512k", "Write error in \"", 1}, // 300 KiB a picture: the first fits
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Output);
        TTempFolder disk;
        const std::string mount =
            "mount -t tmpfs -o size=" + std::string(c.Size) + " tmpfs '" + disk.Path() + "'";
        if (std::system((mount + " 2>/dev/null").c_str()) != 0) GTEST_SKIP() << "cannot mount a tmpfs here";
        const TChildRun run =
            RunRender({"--root", Root(), "--frames", "all", clip, disk.File(c.Output)}, tmp);
        const std::vector<std::string> left = FilesIn(disk);
        EXPECT_EQ(std::system(("umount '" + disk.Path() + "'").c_str()), 0);
        EXPECT_EQ(run.Status, 4) << run.Err;
        EXPECT_NE(
            run.Err.find(c.Says + disk.File(std::string(c.Output) == "f%03d.bmp" ? "f001.bmp" : c.Output)),
            std::string::npos)
            << run.Err;
        EXPECT_NE(run.Err.find("No space left on device"), std::string::npos) << run.Err;
        ASSERT_EQ(left.size(), c.FilesLeft) << (left.empty() ? "" : left[0]);
        if (c.FilesLeft) {
            EXPECT_EQ(left[0], "f000.bmp");
        }
    }
}
