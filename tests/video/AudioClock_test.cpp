// The sound of a file through a private sound server with a null sink: what it plays (recorded from the
// sink's monitor), and how far the picture is from the sound heard.
#include "support/PrivateSoundServer.h"
#include "support/TestSupport.h"
#include "video/AudioClock.h"
#include "video/AudioDecoder.h"
#include "video/FilterGraph.h"
#include "video/SampleGrabber.h"

#include <gtest/gtest.h>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <mutex>
#include <thread>
#include <vector>

namespace {

using namespace std::chrono_literals;
using sound_test::TPrivateSoundServer;

TTempFolder& Folder() {
    static TTempFolder folder;
    return folder;
}

// A 25 fps picture with the sound made by the lavfi source `audio` (seconds long).
std::string MakeClip(const std::string& name, const std::string& audio, double seconds,
                     const std::string& audioCodec = "pcm_s16le") {
    const std::string path = Folder().File(name);
    const std::string cmd =
        "ffmpeg -nostdin -v error -y -f lavfi -i testsrc=s=64x48:r=25:d=" + std::to_string(seconds) +
        " -f lavfi -i \"" + audio + "\" -c:v mjpeg -c:a " + audioCodec + " -shortest \"" + path + "\"";
    EXPECT_EQ(std::system(cmd.c_str()), 0) << cmd;
    return path;
}

// Every frame's time against the stream time heard when it was delivered.
struct TSyncProbe {
    // A looping clip's end and start are the same moment: offsets are taken modulo its length.
    explicit TSyncProbe(TFilterGraph& graph, TAudioClock& clock, double loopMs = 0) {
        Grabber.OnBuffer = [this, &clock, loopMs](TSampleGrabber*, double sampleTime, const uint8_t*,
                                                  int32_t) {
            const int64_t heard = clock.HeardMediaNs();
            std::lock_guard<std::mutex> guard(Mutex);
            double offset = sampleTime * 1e3 - heard / 1e6;
            if (loopMs > 0) offset = std::remainder(offset, loopMs);
            if (heard >= 0) OffsetsMs.push_back(offset);
            ++Frames;
        };
        Grabber.SetFilterGraph(&graph);
    }
    double MaxAbsMs() {
        std::lock_guard<std::mutex> guard(Mutex);
        double m = 0;
        for (double o : OffsetsMs)
            m = std::max(m, std::abs(o));
        return m;
    }
    TSampleGrabber Grabber;
    std::mutex Mutex;
    std::vector<double> OffsetsMs;
    int Frames = 0;
};

// One server for the whole run: waking its sink costs seconds.
TPrivateSoundServer& Server() {
    static TPrivateSoundServer server(Folder().File("pulse"));
    server.Select();
    return server;
}

struct TSoundGraph {
    TSoundGraph() : Clock(std::make_shared<TAudioClock>()), Graph(Clock) { Graph.SetActive(true); }
    std::shared_ptr<TAudioClock> Clock;
    TFilterGraph Graph;
};

TEST(AudioClockTest, ToneIsHeardInSyncAndMuteIsSilent) {
    TPrivateSoundServer& server = Server();
    ASSERT_TRUE(server.Ready);
    const std::string clip = MakeClip("tone2.avi", "sine=f=1000:d=5", 5);
    TSoundGraph g;
    TSyncProbe probe(g.Graph, *g.Clock);
    g.Graph.RenderFile(clip);
    ASSERT_TRUE(g.Clock->Open(clip));
    server.StartRecording();
    using Clock = std::chrono::steady_clock;
    g.Graph.Play();
    const auto t0 = Clock::now();
    std::this_thread::sleep_for(2000ms);
    g.Clock->SetMute(true);
    const auto t1 = Clock::now();
    std::this_thread::sleep_for(800ms);
    g.Graph.Stop();
    server.StopRecording();
    const auto [toneRms, toneRate] = server.Between(t0 + 400ms, t1);
    EXPECT_GT(toneRms, 1000);
    EXPECT_NEAR(toneRate, 2000, 100); // two zero crossings a period
    EXPECT_LT(server.Between(t1 + 300ms, t1 + 800ms).first, 50) << "muted";
    EXPECT_TRUE(g.Clock->StatusText().empty());
    EXPECT_GT(probe.Frames, 60); // 2.8 s at 25 fps, less the server's start
    EXPECT_LT(probe.MaxAbsMs(), 40.0);
}

TEST(AudioClockTest, ToneIsHeardInSyncAndPauseAndMuteAreSilent) {
    TPrivateSoundServer& server = Server();
    ASSERT_TRUE(server.Ready);
    const std::string clip = MakeClip("tone.avi", "sine=f=1000:d=8", 8);
    TSoundGraph g;
    TSyncProbe probe(g.Graph, *g.Clock);
    g.Graph.RenderFile(clip);
    ASSERT_TRUE(g.Clock->Open(clip));
    server.StartRecording();
    using Clock = std::chrono::steady_clock;
    g.Graph.Play();
    const auto t0 = Clock::now();
    std::this_thread::sleep_for(2500ms);
    g.Graph.Pause();
    const auto t1 = Clock::now();
    std::this_thread::sleep_for(800ms);
    g.Graph.Play();
    const auto t2 = Clock::now();
    std::this_thread::sleep_for(1000ms);
    g.Clock->SetMute(true);
    const auto t3 = Clock::now();
    std::this_thread::sleep_for(800ms);
    g.Graph.Stop();
    server.StopRecording();

    const auto [toneRms, toneRate] = server.Between(t0 + 400ms, t1);
    EXPECT_GT(toneRms, 1000);
    EXPECT_NEAR(toneRate, 2000, 100); // two zero crossings a period
    EXPECT_LT(server.Between(t1 + 300ms, t2).first, 50) << "paused";
    EXPECT_GT(server.Between(t2 + 400ms, t3).first, 1000) << "resumed";
    EXPECT_LT(server.Between(t3 + 300ms, t3 + 800ms).first, 50) << "muted";
    EXPECT_TRUE(g.Clock->StatusText().empty());
    EXPECT_GT(probe.Frames, 70);
    EXPECT_LT(probe.MaxAbsMs(), 40.0);
}

TEST(AudioClockTest, SeekAndLoopKeepThePictureOnTheSound) {
    TPrivateSoundServer& server = Server();
    ASSERT_TRUE(server.Ready);
    const std::string clip = MakeClip("loop.avi", "sine=f=440:d=2", 2);
    TSoundGraph g;
    TSyncProbe probe(g.Graph, *g.Clock, 2000);
    g.Graph.RenderFile(clip);
    ASSERT_TRUE(g.Clock->Open(clip));
    g.Graph.SetLoop(true);
    g.Graph.Play();
    std::this_thread::sleep_for(700ms);
    g.Graph.SetPosition(1500);
    std::this_thread::sleep_for(2500ms); // past the end, round the loop
    g.Graph.Stop();
    EXPECT_GE(g.Graph.LoopCount(), 1u);
    {
        std::lock_guard<std::mutex> guard(probe.Mutex);
        ASSERT_GT(probe.OffsetsMs.size(), 60u);
        // No drift: the last second as close as the first.
        double last = 0;
        for (size_t i = probe.OffsetsMs.size() - 25; i < probe.OffsetsMs.size(); ++i)
            last = std::max(last, std::abs(probe.OffsetsMs[i]));
        EXPECT_LT(last, 40.0);
    }
    EXPECT_LT(probe.MaxAbsMs(), 40.0);
}

// A click and a white flash every second: the click heard (the recording) and the flash handed to the
// screen are within 40 ms of each other all along the clip.
TEST(AudioClockTest, ClickAndFlashArriveTogether) {
    TPrivateSoundServer& server = Server();
    ASSERT_TRUE(server.Ready);
    const std::string path = Folder().File("click.avi");
    const std::string cmd = "ffmpeg -nostdin -v error -y -f lavfi -i \"color=c=black:s=64x48:r=25:d=8,"
                            "geq=lum='if(lt(mod(T,1),0.02),255,16)':cb=128:cr=128\" -f lavfi -i "
                            "\"aevalsrc='if(lt(mod(t,1),0.01),0.8*sin(2*PI*1000*t),0)':s=48000:d=8\" "
                            "-c:v mjpeg -q:v 2 -c:a pcm_s16le -shortest \"" +
                            path + "\"";
    ASSERT_EQ(std::system(cmd.c_str()), 0) << cmd;
    TSoundGraph g;
    std::mutex mutex;
    std::vector<std::chrono::steady_clock::time_point> flashes;
    bool lit = false;
    TSampleGrabber grabber;
    grabber.OnBuffer = [&](TSampleGrabber*, double, const uint8_t* data, int32_t) {
        const bool bright = data[0] > 128;
        std::lock_guard<std::mutex> guard(mutex);
        if (bright && !lit) flashes.push_back(std::chrono::steady_clock::now());
        lit = bright;
    };
    grabber.SetFilterGraph(&g.Graph);
    g.Graph.RenderFile(path);
    ASSERT_TRUE(g.Clock->Open(path));
    server.StartRecording();
    g.Graph.Play();
    std::this_thread::sleep_for(7800ms);
    g.Graph.Stop();
    server.StopRecording();
    const auto clicks = server.Onsets(2000);
    std::lock_guard<std::mutex> guard(mutex);
    ASSERT_GE(flashes.size(), 7u);
    std::vector<double> offsets;
    for (auto flash : flashes) {
        double best = 1e9;
        for (auto click : clicks) {
            const double ms = std::chrono::duration<double, std::milli>(click - flash).count();
            if (std::abs(ms) < std::abs(best)) best = ms;
        }
        offsets.push_back(best);
    }
    // A click more than half a second from every flash was not heard: a machine held up long enough makes
    // the sound skip what it fell behind by, and a click may go with it. At most one may go; every click
    // heard comes with its flash.
    const auto unheard =
        std::count_if(offsets.begin(), offsets.end(), [](double ms) { return std::abs(ms) > 500; });
    EXPECT_LE(unheard, 1);
    for (size_t i = 0; i < offsets.size(); ++i)
        if (std::abs(offsets[i]) <= 500) {
            EXPECT_LT(std::abs(offsets[i]), 40.0) << "flash " << i;
        }
    std::sort(offsets.begin(), offsets.end());
    std::printf("click after flash: median %.1f ms, min %.1f ms, max %.1f ms over %zu flashes\n",
                offsets[offsets.size() / 2], offsets.front(), offsets.back(), offsets.size());
}

// A sink just woken holds the sound for about two seconds: the picture runs on and the sound catches up.
TEST(AudioClockTest, ADeviceSlowToStartDoesNotHoldThePicture) {
    TPrivateSoundServer server(Folder().File("pulse-slow"), false);
    ASSERT_TRUE(server.Ready);
    const std::string clip = MakeClip("slow.avi", "sine=f=1000:d=4", 4);
    TSoundGraph g;
    TSyncProbe probe(g.Graph, *g.Clock);
    g.Graph.RenderFile(clip);
    ASSERT_TRUE(g.Clock->Open(clip));
    g.Graph.Play();
    std::this_thread::sleep_for(3000ms);
    g.Graph.Stop();
    EXPECT_GT(probe.Frames, 60); // 3 s at 25 fps, less one stall
    std::lock_guard<std::mutex> guard(probe.Mutex);
    ASSERT_GT(probe.OffsetsMs.size(), 25u);
    // Once the sound plays, it has caught up with the picture.
    for (size_t i = probe.OffsetsMs.size() - 10; i < probe.OffsetsMs.size(); ++i)
        EXPECT_LT(std::abs(probe.OffsetsMs[i]), 40.0) << i;
}

TEST(AudioClockTest, WithoutADeviceThePicturePlaysSilentWithOneStatus) {
    setenv("PULSE_SERVER", ("unix:" + Folder().File("no-server")).c_str(), 1);
    const std::string clip = MakeClip("nodevice.avi", "sine=d=2", 2);
    TSoundGraph g;
    TSyncProbe probe(g.Graph, *g.Clock);
    g.Graph.RenderFile(clip);
    ASSERT_TRUE(g.Clock->Open(clip));
    g.Graph.Play();
    std::this_thread::sleep_for(1000ms);
    g.Graph.Stop();
    EXPECT_EQ(g.Clock->StatusText(), "No sound device: the video plays silent");
    EXPECT_GE(probe.Frames, 20); // paced by the steady clock: about 25 in the second
    EXPECT_LE(probe.Frames, 30);
}

TEST(AudioDecoderTest, BadSoundIsRefusedOrReadWithoutHarm) {
    struct TCase {
        const char* Name;
        const char* Audio;
        const char* Codec;
        bool Opens;
    } cases[] = {
        {"ok.avi", "sine=d=1", "pcm_s16le", true},
        {"wide.avi", "sine=d=1:sample_rate=384000", "pcm_s16le", true},
        {"one-hz.avi", "aevalsrc=0:s=1:d=3", "pcm_s16le", false},
        {"many.mkv", "aevalsrc='sin(440*t)':c=64c:d=1", "pcm_s16le", false},
        {"short.avi", "sine=d=0.2", "pcm_s16le", true},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        const std::string path = Folder().File(c.Name);
        const std::string cmd =
            std::string("ffmpeg -nostdin -v error -y -f lavfi -i testsrc=s=64x48:r=25:d=1 "
                        "-f lavfi -i \"") +
            c.Audio + "\" -c:v mjpeg -c:a " + c.Codec + " \"" + path + "\"";
        if (std::system(cmd.c_str()) != 0) continue; // a container that refuses the case has nothing to test
        TAudioDecoder decoder;
        const int rc = decoder.Open(path);
        EXPECT_EQ(rc >= 0, c.Opens) << rc;
        if (rc < 0) continue;
        std::vector<int16_t> samples;
        while (decoder.Read(samples) && samples.size() < 10'000'000) {
        }
        EXPECT_GT(samples.size(), 0u);
        // Seeking lands on the sample: the rest of the stream from 0.1 s is 0.1 s shorter.
        const size_t whole = samples.size();
        ASSERT_EQ(decoder.Seek(100'000'000), 0);
        samples.clear();
        while (decoder.Read(samples)) {
        }
        EXPECT_NEAR(double(whole - samples.size()) / kAudioChannels, kAudioRate / 10.0, kAudioRate / 40.0);
    }
}

} // namespace
