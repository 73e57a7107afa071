// The video graph on generated clips: frames, layout, size, duration, seeking, pacing, pause, stop and the
// end of the stream. Pacing runs on a manual clock, so every expectation here is exact.
#include "platform/ELumatex.h"
#include "video/FilterGraph.h"
#include "video/FrameHandOff.h"
#include "video/PlaybackHelpers.h"
#include "video/VideoTestClips.h"
#include "video/VideoWindow.h"

#include <gtest/gtest.h>

extern "C" {
#include <libavutil/error.h>
}

#include <algorithm>
#include <cstring>
#include <memory>
#include <thread>

namespace {

constexpr int64_t kFrameMs = 40; // the clips run at 25 frames a second

struct TGraphFixture {
    explicit TGraphFixture(std::shared_ptr<IVideoClock> clock) : Graph(clock) {
        Graph.SetDispatcher(Owner.Dispatcher());
        Graph.OnGraphComplete = [this](TFilterGraph* sender, int32_t result, void* renderer) {
            EXPECT_EQ(sender, &Graph);
            EXPECT_EQ(renderer, nullptr);
            CompleteThreads.push_back(std::this_thread::get_id());
            CompleteResults.push_back(result);
        };
        Recorder.Grabber.SetFilterGraph(&Graph);
        Window.SetFilterGraph(&Graph);
        Graph.SetActive(true);
    }
    void Open(const TTestClip& clip) { Graph.RenderFile(clip.Path); }
    // Runs the posted calls until the end of the stream was reported.
    bool RunToEnd() {
        while (CompleteThreads.empty())
            if (!Owner.RunOne()) return false;
        return true;
    }
    void Settle() { ASSERT_TRUE(Graph.WaitForIdle()); }
    int LastNumber() const {
        const std::vector<int> numbers = Recorder.Numbers();
        return numbers.empty() ? -2 : numbers.back();
    }

    TOwnerQueue Owner;
    TFilterGraph Graph;
    TRecordingGrabber Recorder;
    TVideoWindow Window;
    std::vector<std::thread::id> CompleteThreads;
    std::vector<int32_t> CompleteResults;
};

std::vector<int> Sequence(int from, int to) {
    std::vector<int> v;
    for (int i = from; i <= to; ++i) v.push_back(i);
    return v;
}

struct TClipCase {
    const char* Name;
    const TTestClip& (*Clip)();
};

class FilterGraphClips : public ::testing::TestWithParam<TClipCase> {};

} // namespace

TEST_P(FilterGraphClips, EveryFrameArrivesOnceInOrderInTheBitmapLayout) {
    const TTestClip& clip = GetParam().Clip();
    TGraphFixture f(std::make_shared<TFreeRunVideoClock>());
    f.Open(clip);
    f.Graph.Play();
    ASSERT_TRUE(f.RunToEnd());
    EXPECT_EQ(f.Recorder.Numbers(), Sequence(0, clip.Frames - 1));
    const std::vector<double> times = f.Recorder.Times();
    ASSERT_EQ(times.size(), static_cast<size_t>(clip.Frames));
    for (int i = 0; i < clip.Frames; ++i) EXPECT_NEAR(times[i], i * 0.04, 1e-9) << i;
    const size_t stride = (static_cast<size_t>(clip.Width) * 3 + 3) / 4 * 4;
    for (int32_t length : f.Recorder.Lengths()) ASSERT_EQ(static_cast<size_t>(length), stride * clip.Height);
    const std::vector<uint8_t> last = f.Recorder.LastBuffer();
    // Colours in blue, green, red order, rows bottom-up, the last pixel of every row written.
    EXPECT_TRUE(HasTestPattern(last.data(), clip.Width, clip.Height));
    // Padding bytes at the end of each row are zero.
    for (int y = 0; y < clip.Height; ++y)
        for (size_t x = static_cast<size_t>(clip.Width) * 3; x < stride; ++x) ASSERT_EQ(last[y * stride + x], 0);
    // The video view got every frame too, the same pixels.
    EXPECT_EQ(f.Window.FrameCount(), static_cast<uint64_t>(clip.Frames));
    TBitmap shown;
    ASSERT_TRUE(f.Window.CopyFrame(shown));
    ASSERT_EQ(shown.DataSize(), last.size());
    EXPECT_EQ(0, std::memcmp(shown.Data(), last.data(), last.size()));
    EXPECT_EQ(f.CompleteResults, std::vector<int32_t>{0});
}

TEST_P(FilterGraphClips, NativeSizeAndDurationComeFromTheFile) {
    const TTestClip& clip = GetParam().Clip();
    TGraphFixture f(std::make_shared<TManualVideoClock>());
    int32_t width = 512, height = 512;
    GetVideoSize(f.Graph, width, height);
    EXPECT_EQ(width, 512); // no file: the values stay
    f.Open(clip);
    GetVideoSize(f.Graph, width, height);
    EXPECT_EQ(width, clip.Width);
    EXPECT_EQ(height, clip.Height);
    EXPECT_EQ(f.Graph.Duration(), clip.Frames * kFrameMs);
    EXPECT_EQ(f.Recorder.Grabber.ConnectedType(), (TVideoFormat{clip.Width, clip.Height}));
    EXPECT_EQ(f.Graph.Position(), 0);
    EXPECT_EQ(f.Graph.State(), TGraphState::Stopped);
}

TEST_P(FilterGraphClips, SeekLandsOnTheFrameAtOrBeforeThePosition) {
    const TTestClip& clip = GetParam().Clip();
    TGraphFixture f(std::make_shared<TManualVideoClock>());
    f.Open(clip);
    f.Graph.Pause();
    const int64_t last = (clip.Frames - 1) * kFrameMs;
    // Forwards, backwards, to frame times and just before them, before the start, past the end.
    const std::vector<int64_t> targets = {1000, 1039, 1040, 519, 520, 0, 39, last, 41, 480, last - 1,
                                          -5, 100000, 40};
    for (int64_t ms : targets) {
        f.Graph.SetPosition(ms);
        f.Settle();
        const int64_t clamped = std::clamp<int64_t>(ms, 0, f.Graph.Duration());
        const int frame = static_cast<int>(std::min<int64_t>(clamped / kFrameMs, clip.Frames - 1));
        EXPECT_EQ(f.LastNumber(), frame) << "seek to " << ms;
        EXPECT_EQ(f.Graph.Position(), clamped);
    }
    // One cued picture per seek while paused, nothing else.
    EXPECT_EQ(f.Recorder.Count(), targets.size());
}

INSTANTIATE_TEST_SUITE_P(Clips, FilterGraphClips,
                         ::testing::Values(TClipCase{"Avi640", &Avi640Clip}, TClipCase{"Mpg720", &Mpg720Clip},
                                           TClipCase{"OddWidth", &OddWidthClip}),
                         [](const auto& info) { return std::string(info.param.Name); });

TEST(FilterGraphPacing, FramesArriveExactlyAtTheirPresentationTimes) {
    auto clock = std::make_shared<TManualVideoClock>(123456789);
    TGraphFixture f(clock);
    f.Open(Avi640Clip());
    f.Graph.Play();
    f.Settle();
    EXPECT_EQ(f.Recorder.Numbers(), Sequence(0, 0)); // the first frame is due at once
    clock->AdvanceMs(39);
    f.Settle();
    EXPECT_EQ(f.Recorder.Count(), 1u);
    EXPECT_EQ(f.Graph.Position(), 39);
    clock->AdvanceMs(1);
    f.Settle();
    EXPECT_EQ(f.Recorder.Numbers(), Sequence(0, 1));
    clock->AdvanceMs(400); // at 440 ms: frames 0 .. 11
    f.Settle();
    EXPECT_EQ(f.Recorder.Numbers(), Sequence(0, 11));
    EXPECT_EQ(f.Graph.Position(), 440);
}

TEST(FilterGraphPacing, PauseHoldsTheClockAndStopsDelivery) {
    auto clock = std::make_shared<TManualVideoClock>();
    TGraphFixture f(clock);
    f.Open(Avi640Clip());
    f.Graph.Play();
    clock->AdvanceMs(100); // frames 0, 1, 2
    f.Settle();
    f.Graph.Pause();
    EXPECT_EQ(f.Graph.State(), TGraphState::Paused);
    EXPECT_EQ(f.Graph.Position(), 100);
    clock->AdvanceMs(5000);
    f.Settle();
    EXPECT_EQ(f.Recorder.Numbers(), Sequence(0, 2));
    EXPECT_EQ(f.Graph.Position(), 100);
    f.Graph.Play(); // the clock goes on from 100 ms: frame 3 is due 20 ms later
    f.Settle();
    EXPECT_EQ(f.Recorder.Count(), 3u);
    clock->AdvanceMs(19);
    f.Settle();
    EXPECT_EQ(f.Recorder.Count(), 3u);
    clock->AdvanceMs(1);
    f.Settle();
    EXPECT_EQ(f.Recorder.Numbers(), Sequence(0, 3));
}

TEST(FilterGraphPacing, SeekWhilePlayingRestartsTheClockAtTheTarget) {
    auto clock = std::make_shared<TManualVideoClock>();
    TGraphFixture f(clock);
    f.Open(Mpg720Clip());
    f.Graph.Play();
    clock->AdvanceMs(60);
    f.Settle();
    f.Graph.SetPosition(1010); // lands on frame 25 (1000 ms) at once; frame 26 is due 30 ms later
    f.Settle();
    EXPECT_EQ(f.Recorder.Numbers(), (std::vector<int>{0, 1, 25}));
    clock->AdvanceMs(29);
    f.Settle();
    EXPECT_EQ(f.Recorder.Count(), 3u);
    clock->AdvanceMs(1);
    f.Settle();
    EXPECT_EQ(f.LastNumber(), 26);
    EXPECT_EQ(f.Graph.Position(), 1040);
}

TEST(FilterGraphPacing, StopHoldsThePositionAndPlayGoesOnFromThere) {
    auto clock = std::make_shared<TManualVideoClock>();
    TGraphFixture f(clock);
    f.Open(Avi640Clip());
    f.Graph.Play();
    clock->AdvanceMs(80);
    f.Settle();
    f.Graph.Stop();
    EXPECT_EQ(f.Graph.State(), TGraphState::Stopped);
    clock->AdvanceMs(1000);
    f.Graph.SetPosition(400); // no picture while stopped
    f.Settle();
    EXPECT_EQ(f.Recorder.Numbers(), Sequence(0, 2));
    EXPECT_EQ(f.Graph.Position(), 400);
    f.Graph.Play();
    f.Settle();
    EXPECT_EQ(f.Recorder.Numbers(), (std::vector<int>{0, 1, 2, 10}));
}

TEST(FilterGraphEnd, ReportedOnceOnTheOwnersThread) {
    auto clock = std::make_shared<TManualVideoClock>();
    TGraphFixture f(clock);
    f.Open(Avi640Clip());
    f.Graph.Play();
    clock->AdvanceMs(1960); // the last frame
    f.Settle();
    EXPECT_EQ(f.LastNumber(), 49);
    ASSERT_TRUE(f.RunToEnd());
    EXPECT_EQ(f.CompleteThreads, std::vector<std::thread::id>{std::this_thread::get_id()});
    EXPECT_EQ(f.CompleteResults, std::vector<int32_t>{0});
    clock->AdvanceMs(10000);
    f.Settle();
    EXPECT_EQ(f.Owner.Pending(), 0u);
    EXPECT_EQ(f.Graph.Position(), 2000);
    EXPECT_EQ(f.Graph.State(), TGraphState::Running); // the owner decides what happens at the end
    EXPECT_EQ(f.Recorder.Count(), 50u);
}

TEST(FilterGraphEnd, RewindAndPlayReportsTheNextEndAgain) {
    TGraphFixture f(std::make_shared<TFreeRunVideoClock>());
    f.Graph.OnGraphComplete = [&](TFilterGraph* sender, int32_t result, void*) {
        // What the main window does at the end: pause, rewind, stop.
        f.CompleteResults.push_back(result);
        sender->Pause();
        sender->SetPosition(0);
        ASSERT_TRUE(sender->WaitForIdle()); // the picture cued by the rewind
        sender->Stop();
    };
    f.Open(Avi640Clip());
    f.Graph.Play();
    ASSERT_TRUE(f.Owner.RunOne());
    EXPECT_EQ(f.Graph.State(), TGraphState::Stopped);
    EXPECT_EQ(f.Graph.Position(), 0);
    f.Graph.Play();
    ASSERT_TRUE(f.Owner.RunOne());
    EXPECT_EQ(f.CompleteResults.size(), 2u);
    const std::vector<int> numbers = f.Recorder.Numbers();
    // Through once, the first picture cued by the rewind, on from the second frame to the end, and the
    // first picture cued by the second rewind.
    ASSERT_EQ(numbers.size(), 101u);
    EXPECT_EQ(numbers[49], 49);
    EXPECT_EQ(numbers[50], 0);
    EXPECT_EQ(numbers[51], 1);
    EXPECT_EQ(numbers[99], 49);
    EXPECT_EQ(numbers[100], 0);
}

TEST(FilterGraphEnd, AnEndOvertakenByAClearOrAGoneGraphIsNotReported) {
    TOwnerQueue owner;
    int reported = 0;
    {
        TFilterGraph graph(std::make_shared<TFreeRunVideoClock>());
        graph.SetDispatcher(owner.Dispatcher());
        graph.OnGraphComplete = [&](TFilterGraph*, int32_t, void*) { ++reported; };
        graph.SetActive(true);
        graph.RenderFile(Avi640Clip().Path);
        graph.Play();
        ASSERT_TRUE(graph.WaitForIdle());
        ASSERT_EQ(owner.Pending(), 1u);
        graph.ClearGraph();
        EXPECT_TRUE(owner.RunOne());
        EXPECT_EQ(reported, 0);

        graph.RenderFile(Avi640Clip().Path);
        graph.Play();
        ASSERT_TRUE(graph.WaitForIdle());
        ASSERT_EQ(owner.Pending(), 1u);
    }
    EXPECT_TRUE(owner.RunOne()); // the graph is gone by now
    EXPECT_EQ(reported, 0);
}

TEST(FilterGraphOutputs, VideoViewIsFedWithoutTheGrabberAndDetachingStopsTheGrabber) {
    auto clock = std::make_shared<TManualVideoClock>();
    TGraphFixture f(clock);
    f.Open(Avi640Clip());
    f.Graph.Play();
    clock->AdvanceMs(40);
    f.Settle();
    f.Recorder.Grabber.SetFilterGraph(nullptr);
    EXPECT_FALSE(f.Recorder.Grabber.ConnectedType().Valid());
    clock->AdvanceMs(400);
    f.Settle();
    EXPECT_EQ(f.Recorder.Count(), 2u);
    EXPECT_EQ(f.Window.FrameCount(), 12u);
    TBitmap shown;
    ASSERT_TRUE(f.Window.CopyFrame(shown));
    EXPECT_EQ(FrameNumberOf(shown), 11);
    // Attached again while the file is open: connected at once, frames flow again.
    f.Recorder.Grabber.SetFilterGraph(&f.Graph);
    clock->AdvanceMs(40);
    f.Settle();
    EXPECT_EQ(f.LastNumber(), 12);
    f.Window.SetFilterGraph(nullptr);
    clock->AdvanceMs(40);
    f.Settle();
    EXPECT_EQ(f.Window.FrameCount(), 13u);
    EXPECT_EQ(f.LastNumber(), 13);
}

TEST(FilterGraphOutputs, GrabberCallbackFillsFrameBitmapAndKeepsTheFirstFrame) {
    auto clock = std::make_shared<TManualVideoClock>();
    TGraphFixture f(clock);
    TFrameHandOff handOff(64, 64);
    handOff.PlayState = 1;
    handOff.RenderSuspended = false;
    f.Recorder.Grabber.OnBuffer = [&](TSampleGrabber* sender, double time, const uint8_t* buffer, int32_t length) {
        handOff.SampleGrabberBuffer(sender, time, buffer, length);
    };
    f.Open(Mpg720Clip());
    handOff.CaptureFirstFrame = true;
    f.Graph.Play();
    clock->AdvanceMs(200);
    f.Settle();
    int uploaded = -1;
    EXPECT_TRUE(handOff.UploadNewFrame([&](const TBitmap& b) {
        EXPECT_EQ(b.Width(), 720);
        EXPECT_EQ(b.Height(), 576);
        uploaded = FrameNumberOf(b);
    }));
    EXPECT_EQ(uploaded, 5);
    EXPECT_EQ(handOff.WithFirstFrameBitmap([](const TBitmap& b) { return FrameNumberOf(b); }), 0);
    EXPECT_FALSE(handOff.CaptureFirstFrame);
}

TEST(FilterGraphCalls, WithoutAFileCallsAreHarmlessAndRenderNeedsAnActiveGraph) {
    TFilterGraph graph(std::make_shared<TManualVideoClock>());
    graph.Play();
    graph.Pause();
    graph.SetPosition(1000);
    graph.Stop();
    EXPECT_EQ(graph.Position(), 0);
    EXPECT_EQ(graph.Duration(), 0);
    EXPECT_FALSE(graph.HasFile());
    EXPECT_TRUE(graph.WaitForIdle());
    try {
        graph.RenderFile(Avi640Clip().Path);
        FAIL() << "an inactive graph rendered a file";
    } catch (const ELumatex& e) {
        EXPECT_STREQ(e.what(), "The video graph is not active ($ffffffea).");
    }
    graph.SetActive(true);
    graph.RenderFile(Avi640Clip().Path);
    EXPECT_TRUE(graph.HasFile());
    graph.SetActive(false);
    EXPECT_FALSE(graph.HasFile());
    EXPECT_FALSE(graph.Active());
}

TEST(FilterGraphCalls, ErrorsCarryFFmpegsTextAndTheCodeInHex) {
    EXPECT_EQ(TFilterGraph::ErrorText(AVERROR(ENOENT)), "No such file or directory ($fffffffe).");
    EXPECT_EQ(TFilterGraph::ErrorText(AVERROR_INVALIDDATA), "Invalid data found when processing input ($bebbb1b7).");
}

TEST(FilterGraphCalls, ReRenderingReplacesTheFileAndTheThread) {
    auto clock = std::make_shared<TManualVideoClock>();
    TGraphFixture f(clock);
    f.Open(Avi640Clip());
    f.Graph.Play();
    f.Settle();
    f.Graph.ClearGraph();
    f.Graph.SetActive(true);
    f.Open(Mpg720Clip());
    EXPECT_EQ(f.Recorder.Grabber.ConnectedType(), (TVideoFormat{720, 576}));
    EXPECT_EQ(f.Graph.State(), TGraphState::Stopped);
    f.Graph.Play();
    f.Settle();
    EXPECT_EQ(f.Recorder.Numbers(), (std::vector<int>{0, 0}));
    EXPECT_EQ(f.Recorder.Lengths().back(), 720 * 3 * 576);
}
