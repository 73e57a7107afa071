// The position bar: range and whole seconds from the running graph, the held thumb, the seek on release.
#include "video/DSTrackBar.h"
#include "video/FilterGraph.h"
#include "video/VideoTestClips.h"

#include <gtest/gtest.h>

namespace {

struct TBarFixture {
    TBarFixture() : Graph(Clock) {
        Bar.OnChange = [this](TDSTrackBar* sender) {
            EXPECT_EQ(sender, &Bar);
            Changes.push_back(sender->Position());
        };
        Recorder.Grabber.SetFilterGraph(&Graph);
        Graph.SetActive(true);
        Graph.RenderFile(Avi640Clip().Path);
        Bar.SetFilterGraph(&Graph);
    }
    void PlayFor(int64_t ms) {
        Clock->AdvanceMs(ms);
        ASSERT_TRUE(Graph.WaitForIdle());
    }
    std::shared_ptr<TManualVideoClock> Clock = std::make_shared<TManualVideoClock>();
    TFilterGraph Graph;
    TRecordingGrabber Recorder;
    TDSTrackBar Bar;
    std::vector<int> Changes;
};

} // namespace

TEST(DSTrackBar, TimerFollowsTheRunningGraphInWholeSeconds) {
    TBarFixture f;
    EXPECT_EQ(TDSTrackBar::kTimerIntervalMs, 1000);
    f.Bar.TimerTick(); // stopped: nothing moves
    EXPECT_EQ(f.Bar.Max(), 10);
    f.Graph.Play();
    f.Bar.TimerTick();
    EXPECT_EQ(f.Bar.Max(), 2); // 2000 ms
    EXPECT_EQ(f.Bar.Position(), 0);
    EXPECT_TRUE(f.Changes.empty());
    f.PlayFor(999);
    f.Bar.TimerTick();
    EXPECT_EQ(f.Bar.Position(), 0);
    f.PlayFor(1);
    f.Bar.TimerTick();
    EXPECT_EQ(f.Bar.Position(), 1);
    f.PlayFor(1500); // past the end: the position stops at the duration
    f.Bar.TimerTick();
    EXPECT_EQ(f.Bar.Position(), 2);
    EXPECT_EQ(f.Changes, (std::vector<int>{1, 2}));
    f.Graph.Pause();
    f.Bar.SetPosition(0); // the program rewinds the bar; a paused graph leaves it there
    f.Bar.TimerTick();
    EXPECT_EQ(f.Bar.Position(), 0);
    EXPECT_EQ(f.Changes, (std::vector<int>{1, 2, 0}));
}

TEST(DSTrackBar, HeldThumbIsLeftAloneAndReleaseSeeks) {
    TBarFixture f;
    f.Graph.Play();
    f.Bar.TimerTick();
    f.Bar.MouseDown();
    f.Bar.UserMove(1);
    f.PlayFor(400);
    f.Bar.TimerTick();
    EXPECT_EQ(f.Bar.Position(), 1); // not pulled back to 0 while held
    EXPECT_EQ(f.Graph.Position(), 400);
    f.Bar.MouseUp(); // 1 / 2 of 2000 ms
    EXPECT_EQ(f.Graph.Position(), 1000);
    ASSERT_TRUE(f.Graph.WaitForIdle());
    EXPECT_EQ(FrameNumberOf(f.Recorder.LastBuffer().data(), 640, 480), 25);
    f.Bar.MouseUp(); // not held any more: no second seek
    EXPECT_EQ(f.Graph.Position(), 1000);
    EXPECT_EQ(f.Changes, (std::vector<int>{1}));
}

TEST(DSTrackBar, PositionIsClampedAndADisabledBarIgnoresTheMouse) {
    TBarFixture f;
    f.Bar.SetPosition(50);
    EXPECT_EQ(f.Bar.Position(), 10);
    f.Bar.SetPosition(-3);
    EXPECT_EQ(f.Bar.Position(), 0);
    f.Bar.SetEnabled(false);
    f.Bar.MouseDown();
    EXPECT_FALSE(f.Bar.Held());
    f.Bar.UserMove(5);
    EXPECT_EQ(f.Bar.Position(), 0);
    // Shrinking the range pulls the thumb in and says so.
    f.Bar.SetEnabled(true);
    f.Bar.SetPosition(7);
    f.Graph.Play();
    f.Bar.TimerTick();
    EXPECT_EQ(f.Bar.Max(), 2);
    EXPECT_EQ(f.Changes, (std::vector<int>{10, 0, 7, 2, 0}));
}

TEST(DSTrackBar, DetachedBarOrGoneGraphDoesNothing) {
    auto bar = std::make_unique<TDSTrackBar>();
    {
        TFilterGraph graph(std::make_shared<TManualVideoClock>());
        bar->SetFilterGraph(&graph);
        EXPECT_EQ(bar->FilterGraph(), &graph);
    }
    EXPECT_EQ(bar->FilterGraph(), nullptr);
    bar->MouseDown();
    bar->MouseUp();
    bar->TimerTick();
    EXPECT_EQ(bar->Position(), 0);
}
