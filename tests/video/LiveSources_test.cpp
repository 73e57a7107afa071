// Sources beyond one pass through a file: the loop at the end, lavfi test sources, a UDP stream from a
// local ffmpeg process, addresses that never answer, and the ways opening them can fail.
#include "platform/ELumatex.h"
#include "support/TestSupport.h"
#include "video/SourceOpener.h"
#include "video/VideoDecoder.h"
#include "video/VideoSource.h"
#include "video/VideoTestClips.h"

#include <gtest/gtest.h>

extern "C" {
#include <libavutil/error.h>
}

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <thread>

using namespace std::chrono_literals;

namespace {

constexpr const char* kTestSource = "lavfi:testsrc2=size=320x240:rate=25";

template <class TCondition> bool WaitFor(TCondition condition, std::chrono::milliseconds limit) {
    const auto end = std::chrono::steady_clock::now() + limit;
    while (!condition()) {
        if (std::chrono::steady_clock::now() > end) return false;
        std::this_thread::sleep_for(5ms);
    }
    return true;
}

std::vector<int> Passes(int frames, int count) {
    std::vector<int> numbers;
    for (int i = 0; i < count; ++i)
        numbers.push_back(i % frames);
    return numbers;
}

} // namespace

TEST(SourceAddress, TheAddressNamesTheKindOfSource) {
    struct TCase {
        const char* Text;
        TSourceKind Kind;
        const char* Address;
    } cases[] = {
        {"lavfi:testsrc2=size=640x480:rate=25", TSourceKind::TestSource, "testsrc2=size=640x480:rate=25"},
        {"rtsp://cam.local/live", TSourceKind::Stream, "rtsp://cam.local/live"},
        {"HTTPS://example.org/a.mp4", TSourceKind::Stream, "HTTPS://example.org/a.mp4"},
        {"udp://127.0.0.1:5000", TSourceKind::Stream, "udp://127.0.0.1:5000"},
        {"srt://host:9000?mode=caller", TSourceKind::Stream, "srt://host:9000?mode=caller"},
        {"/dev/video0", TSourceKind::Camera, "/dev/video0"},
        {"/home/me/clip.mp4", TSourceKind::File, "/home/me/clip.mp4"},
        {"file:///home/me/clip.mp4", TSourceKind::File, "file:///home/me/clip.mp4"}, // not a stream
        {"pipe://0", TSourceKind::File, "pipe://0"},                                 // read as a name only
        {"://nothing", TSourceKind::File, "://nothing"},
    };
    for (const TCase& c : cases) {
        const TVideoSource source = SourceFromAddress(c.Text);
        EXPECT_EQ(source.Kind, c.Kind) << c.Text;
        EXPECT_EQ(source.Address, c.Address) << c.Text;
    }
}

TEST(FilterGraphLoop, ALoopedClipGoesOnAtItsFirstFrameWithoutAPauseOrAnEnd) {
    for (const TTestClip* clip : {&Avi640Clip(), &Mpg720Clip()}) {
        TGraphFixture f;
        f.Open(*clip);
        f.Graph.SetLoop(true);
        f.Graph.Play();
        f.Advance(0);
        // 5 s of a 2-s clip, one frame time after another: exactly one new frame at every step.
        constexpr int kSteps = 5000 / 40;
        for (int step = 1; step <= kSteps; ++step) {
            f.Advance(40);
            ASSERT_EQ(f.Recorder.Count(), static_cast<size_t>(step + 1)) << clip->Path << " at " << step * 40;
        }
        EXPECT_EQ(f.Recorder.Numbers(), Passes(clip->Frames, kSteps + 1)) << clip->Path;
        EXPECT_EQ(f.Graph.LoopCount(), 2u);
        EXPECT_EQ(f.Owner.Pending(), 0u) << "no end while looping";
        EXPECT_EQ(f.Graph.Position(), 1000) << "the position starts over with the stream";

        // Switched off, the loop lets the current pass end as usual.
        f.Graph.SetLoop(false);
        f.Advance(1000);
        ASSERT_TRUE(f.RunToEnd());
        EXPECT_EQ(f.CompleteResults, std::vector<int32_t>{0});
        EXPECT_EQ(f.LastNumber(), clip->Frames - 1);
    }
}

TEST(FilterGraphLoop, ASeekNearTheEndOrAPauseAcrossTheEndKeepsTheLoopGoing) {
    TGraphFixture f;
    f.Open(Avi640Clip());
    f.Graph.SetLoop(true);
    f.Graph.Play();
    f.Graph.SetPosition(1960); // the last frame
    f.Advance(0);
    EXPECT_EQ(f.LastNumber(), 49);
    f.Advance(40);
    EXPECT_EQ(f.LastNumber(), 0);
    f.Graph.Pause();
    f.Advance(5000);
    EXPECT_EQ(f.LastNumber(), 0);
    f.Graph.Play();
    f.Advance(40);
    EXPECT_EQ(f.LastNumber(), 1);
    EXPECT_EQ(f.Owner.Pending(), 0u);
}

TEST(LiveSource, ATestSourcePlaysLiveCountsUpAndRefusesSeeking) {
    TGraphFixture f(std::make_shared<TSteadyVideoClock>());
    f.Graph.RenderSource(SourceFromAddress(kTestSource));
    EXPECT_TRUE(f.Graph.Live());
    EXPECT_FALSE(f.Graph.Seekable());
    EXPECT_EQ(f.Graph.Duration(), 0);
    int width = 0, height = 0;
    ASSERT_TRUE(f.Graph.NativeVideoSize(width, height));
    EXPECT_EQ(width, 320);
    EXPECT_EQ(height, 240);
    f.Graph.Play();
    ASSERT_TRUE(WaitFor([&] { return f.Recorder.Count() >= 10; }, 5s));
    f.Graph.SetPosition(60000);
    EXPECT_LT(f.Graph.Position(), 60000) << "a live source does not seek";
    const int64_t before = f.Graph.Position();
    std::this_thread::sleep_for(200ms);
    EXPECT_GT(f.Graph.Position(), before) << "the time counts up";
    // Stopped, no frame is delivered, and the source is read on (so playing again shows the newest).
    f.Graph.Stop();
    const size_t stopped = f.Recorder.Count();
    std::this_thread::sleep_for(200ms);
    EXPECT_EQ(f.Recorder.Count(), stopped);
    f.Graph.SetLoop(true); // nothing to loop: harmless
    f.Graph.Play();
    ASSERT_TRUE(WaitFor([&] { return f.Recorder.Count() > stopped; }, 2s));
    EXPECT_EQ(f.Owner.Pending(), 0u) << "no end while it delivers";
}

TEST(LiveSource, ATestSourceThatEndsIsReportedOnceAsItsEnd) {
    TGraphFixture f(std::make_shared<TSteadyVideoClock>());
    f.Graph.RenderSource(SourceFromAddress("lavfi:testsrc2=size=160x120:rate=25:d=0.4"));
    ASSERT_TRUE(f.Graph.Live());
    f.Graph.Play();
    ASSERT_TRUE(f.RunToEnd());
    EXPECT_EQ(f.CompleteResults, std::vector<int32_t>{0});
    // Frames made before Play were replaced by newer ones while stopped: at most the source's 10.
    EXPECT_GE(f.Recorder.Count(), 5u);
    EXPECT_LE(f.Recorder.Count(), 10u);
    f.Graph.Pause();
    f.Graph.Play();
    EXPECT_FALSE(f.Owner.RunOne(300)) << "told once";
}

TEST(LiveSource, BadAddressesAreRefusedQuicklyWithAReasonAndLeaveNoSource) {
    const std::string port = std::to_string(FreeUdpPort());
    for (const char* address :
         {"lavfi:nosuchfilter=1", "lavfi:testsrc2=size=abc", "lavfi:testsrc2,,,", "/dev/null", "/dev/video99",
          "udp://no-such-host.invalid:5000", "rtsp://127.0.0.1:1/none", "http://127.0.0.1:1/none.mp4"}) {
        TGraphFixture f(std::make_shared<TSteadyVideoClock>());
        const auto start = std::chrono::steady_clock::now();
        try {
            f.Graph.RenderSource(SourceFromAddress(address));
            ADD_FAILURE() << address << " opened";
        } catch (const ELumatex& e) {
            EXPECT_NE(std::string(e.what()).find("($"), std::string::npos) << address << ": " << e.what();
        }
        EXPECT_LT(std::chrono::steady_clock::now() - start, 5s) << address;
        EXPECT_FALSE(f.Graph.HasFile()) << address;
    }
}

TEST(SourceOpener, AnAddressThatNeverAnswersEndsAtItsLimitOrWhenCancelled) {
    const TVideoSource silent = SourceFromAddress("udp://127.0.0.1:" + std::to_string(FreeUdpPort()));
    {
        TSourceOpener opener;
        opener.Start(silent, 300'000'000);
        ASSERT_TRUE(WaitFor([&] { return opener.Finished(); }, 3s));
        EXPECT_EQ(opener.Result(), AVERROR_EXIT);
        EXPECT_FALSE(opener.Cancelled());
        EXPECT_EQ(opener.Take(), nullptr);
    }
    TSourceOpener opener;
    opener.Start(silent, 60'000'000'000);
    std::this_thread::sleep_for(100ms);
    EXPECT_FALSE(opener.Finished());
    const auto cancelled = std::chrono::steady_clock::now();
    opener.Cancel();
    ASSERT_TRUE(WaitFor([&] { return opener.Finished(); }, 1s));
    EXPECT_LT(std::chrono::steady_clock::now() - cancelled, 1s);
    EXPECT_TRUE(opener.Cancelled());
    EXPECT_EQ(opener.Result(), AVERROR_EXIT);
}

TEST(LiveSource, AUdpStreamFromALocalSenderPlaysAndItsEndIsSurvived) {
    const std::string url = "udp://127.0.0.1:" + std::to_string(FreeUdpPort());
    TSourceOpener opener;
    opener.Start(SourceFromAddress(url), 20'000'000'000);
    // Three seconds of test picture in MPEG-TS, sent at its own pace, then nothing.
    std::thread sender([url] {
        std::system(
            ("ffmpeg -nostdin -v error -re -f lavfi -i testsrc2=size=320x240:rate=25:d=3 -c:v mpeg2video "
             "-q:v 4 -f mpegts \"" +
             url + "?pkt_size=1316\"")
                .c_str());
    });
    ASSERT_TRUE(WaitFor([&] { return opener.Finished(); }, 15s));
    ASSERT_EQ(opener.Result(), 0) << opener.ErrorText();
    std::unique_ptr<TVideoDecoder> decoder = opener.Take();
    ASSERT_TRUE(decoder && decoder->Live());
    decoder->SetStallLimit(500'000'000);

    TGraphFixture f(std::make_shared<TSteadyVideoClock>());
    f.Graph.RenderDecoder(std::move(decoder));
    f.Graph.Play();
    ASSERT_TRUE(WaitFor([&] { return f.Recorder.Count() >= 5; }, 5s));
    sender.join();
    // The sender is gone: after the stall limit the stream ends, and the graph can be cleared at once.
    ASSERT_TRUE(f.RunToEnd());
    EXPECT_EQ(f.CompleteResults, std::vector<int32_t>{AVERROR_EXIT});
    const auto start = std::chrono::steady_clock::now();
    f.Graph.ClearGraph();
    EXPECT_LT(std::chrono::steady_clock::now() - start, 1s);
}

namespace {

void SendTestStream(const std::string& url, double seconds) {
    std::system(("ffmpeg -nostdin -v error -re -f lavfi -i testsrc2=size=320x240:rate=25:d=" +
                 std::to_string(seconds) + " -c:v mpeg2video -q:v 4 -f mpegts \"" + url + "?pkt_size=1316\"")
                    .c_str());
}

// Datagrams of random bytes, some cut short, at about the rate of the stream, to the local port.
void SendGarbage(int port, std::chrono::milliseconds length) {
    const int fd = socket(AF_INET, SOCK_DGRAM, 0);
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(uint16_t(port));
    to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    std::vector<uint8_t> bytes(1316);
    unsigned seed = 12345;
    const auto end = std::chrono::steady_clock::now() + length;
    for (int n = 0; std::chrono::steady_clock::now() < end; ++n) {
        for (uint8_t& b : bytes)
            b = uint8_t(rand_r(&seed));
        if (n % 3 == 0) bytes[0] = 0x47; // looks like the start of a transport packet
        const size_t size = n % 5 == 0 ? 100 + n % 700 : bytes.size();
        sendto(fd, bytes.data(), size, 0, reinterpret_cast<const sockaddr*>(&to), sizeof to);
        std::this_thread::sleep_for(1ms);
    }
    close(fd);
}

} // namespace

// A stream that turns to garbage for a while and then sends pictures again: the source plays on after it,
// and it ends once, when the sender is gone for good.
TEST(LiveSource, AStreamThatSendsGarbageForAWhilePlaysOnAfterIt) {
    const int port = FreeUdpPort();
    const std::string url = "udp://127.0.0.1:" + std::to_string(port);
    TSourceOpener opener;
    opener.Start(SourceFromAddress(url), 20'000'000'000);
    std::atomic<int> phase{0};
    std::thread sender([&] {
        SendTestStream(url, 1.5);
        phase = 1;
        SendGarbage(port, 700ms);
        phase = 2;
        SendTestStream(url, 2.0);
        phase = 3;
    });
    ASSERT_TRUE(WaitFor([&] { return opener.Finished(); }, 15s));
    ASSERT_EQ(opener.Result(), 0) << opener.ErrorText();
    std::unique_ptr<TVideoDecoder> decoder = opener.Take();
    ASSERT_TRUE(decoder);
    decoder->SetStallLimit(1'500'000'000); // more than the pause between two senders
    TGraphFixture f(std::make_shared<TSteadyVideoClock>());
    f.Graph.RenderDecoder(std::move(decoder));
    f.Graph.Play();
    ASSERT_TRUE(WaitFor([&] { return phase.load() >= 2; }, 15s));
    const size_t afterGarbage = f.Recorder.Count();
    EXPECT_TRUE(WaitFor([&] { return f.Recorder.Count() >= afterGarbage + 10; }, 5s))
        << afterGarbage << " frames before, " << f.Recorder.Count() << " now";
    EXPECT_TRUE(f.CompleteResults.empty()); // the garbage did not end the source
    sender.join();
    ASSERT_TRUE(f.RunToEnd());
    EXPECT_EQ(f.CompleteResults.size(), 1u);
}

TEST(LiveSource, ClearingAPlayingTestSourceReturnsAtOnce) {
    TSourceOpener opener;
    // The realtime filter holds each read until the next frame's time: the clear must not wait for it.
    opener.Start(SourceFromAddress(kTestSource), 5'000'000'000);
    ASSERT_TRUE(WaitFor([&] { return opener.Finished(); }, 5s));
    TGraphFixture f(std::make_shared<TSteadyVideoClock>());
    f.Graph.RenderDecoder(opener.Take());
    f.Graph.Play();
    ASSERT_TRUE(WaitFor([&] { return f.Recorder.Count() >= 2; }, 5s));
    const auto start = std::chrono::steady_clock::now();
    f.Graph.ClearGraph();
    EXPECT_LT(std::chrono::steady_clock::now() - start, 1s);
    EXPECT_FALSE(f.Graph.HasFile());
}
