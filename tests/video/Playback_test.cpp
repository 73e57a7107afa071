// Which sources the playback plays with their sound: a file's own audio stream only; a file without one,
// a refused file, a decoder opened elsewhere (the way live sources come) and a playback given its own clock
// play silent.
#include "VideoTestClips.h"
#include "video/Playback.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>

namespace {

std::string ToneClip() {
    static TTempFolder folder;
    static const std::string path = [] {
        const std::string p = folder.File("tone.avi");
        const std::string cmd =
            "ffmpeg -nostdin -v error -y -f lavfi -i testsrc=s=64x48:r=25:d=1 -f lavfi -i "
            "sine=d=1 -c:v mjpeg -c:a pcm_s16le -shortest \"" +
            p + "\"";
        EXPECT_EQ(std::system(cmd.c_str()), 0) << cmd;
        return p;
    }();
    return path;
}

TEST(PlaybackSound, OnlyAFilesOwnAudioStreamIsPlayed) {
    // No server: the sound's thread fails at once and the tests never reach the desktop's.
    setenv("PULSE_SERVER", "unix:/nonexistent/lumatex-no-server", 1);
    TPlayback playback;
    playback.RenderFile(ToneClip());
    EXPECT_TRUE(playback.HasSound());
    playback.RenderFile(Avi640Clip().Path);
    EXPECT_FALSE(playback.HasSound()) << "no audio stream";

    playback.RenderFile(ToneClip());
    EXPECT_THROW(playback.RenderFile(AudioOnlyClip().Path), std::exception);
    EXPECT_FALSE(playback.HasSound()) << "a file whose picture is refused";

    auto decoder = std::make_unique<TVideoDecoder>();
    ASSERT_GE(decoder->Open(TVideoSource{TSourceKind::File, ToneClip()}), 0);
    playback.RenderDecoder(std::move(decoder));
    EXPECT_FALSE(playback.HasSound()) << "a decoder opened elsewhere";

    playback.RenderFile(ToneClip());
    playback.Close();
    EXPECT_FALSE(playback.HasSound());
    EXPECT_TRUE(playback.SoundStatusText().empty());

    TPlayback paced(std::make_shared<TManualVideoClock>());
    paced.RenderFile(ToneClip());
    EXPECT_FALSE(paced.HasSound()) << "a clock given paces a silent playback";
}

} // namespace
