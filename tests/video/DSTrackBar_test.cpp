// The position bar: range and whole seconds from the running graph, the held thumb, the seek on release;
// and the play time shown beside it.
#include "video/DSTrackBar.h"
#include "video/PlaybackHelpers.h"
#include "video/VideoTestClips.h"

#include <gtest/gtest.h>

namespace {

struct TBarFixture : TGraphFixture {
    TBarFixture() {
        Bar.OnChange = [this](TDSTrackBar* sender) {
            EXPECT_EQ(sender, &Bar);
            Changes.push_back(sender->Position());
        };
        Open(Avi640Clip());
        Bar.SetFilterGraph(&Graph);
    }
    TDSTrackBar Bar;
    std::vector<int> Changes;
};

} // namespace

TEST(DSTrackBar, TimerFollowsTheRunningGraphInWholeSeconds) {
    TBarFixture f;
    f.Bar.TimerTick(); // stopped: nothing moves
    EXPECT_EQ(f.Bar.Max(), 10);
    f.Graph.Play();
    f.Bar.TimerTick();
    EXPECT_EQ(f.Bar.Max(), 2); // 2000 ms
    EXPECT_EQ(f.Bar.Position(), 0);
    EXPECT_TRUE(f.Changes.empty());
    for (const auto& [ms, second] : {std::pair{999, 0}, {1, 1}, {1500, 2}}) { // past the end: stops at 2
        f.Advance(ms);
        f.Bar.TimerTick();
        EXPECT_EQ(f.Bar.Position(), second) << ms;
    }
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
    f.Advance(400);
    f.Bar.TimerTick();
    EXPECT_EQ(f.Bar.Position(), 1); // not pulled back to 0 while held
    EXPECT_EQ(f.Graph.Position(), 400);
    f.Bar.MouseUp(); // 1 / 2 of 2000 ms
    EXPECT_EQ(f.Graph.Position(), 1000);
    f.Advance(0);
    EXPECT_EQ(f.LastNumber(), 25);
    f.Bar.MouseUp(); // not held any more: no second seek
    EXPECT_EQ(f.Graph.Position(), 1000);
    EXPECT_EQ(f.Changes, (std::vector<int>{1}));
}

TEST(DSTrackBar, PositionIsClampedAndADisabledBarIgnoresTheMouse) {
    TBarFixture f;
    f.Bar.SetPosition(50);
    f.Bar.SetPosition(-3);
    f.Bar.SetEnabled(false);
    f.Bar.MouseDown();
    EXPECT_FALSE(f.Bar.Held());
    f.Bar.UserMove(5);
    f.Bar.SetEnabled(true); // shrinking the range pulls the thumb in and says so
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
    }
    EXPECT_EQ(bar->FilterGraph(), nullptr);
    bar->MouseDown();
    bar->MouseUp();
    bar->TimerTick();
    EXPECT_EQ(bar->Position(), 0);
}

TEST(PlaybackHelpers, PlayTimeIsMinutesAndTwoDigitSecondsWithoutHours) {
    for (const auto& [seconds, text] :
         {std::pair{0, "0:00"}, {9, "0:09"}, {60, "1:00"}, {7265, "121:05"}, {-5, "0:00"}})
        EXPECT_EQ(FormatPlayTime(seconds), text) << seconds;
}

TEST(PlaybackHelpers, VideoSizeComesFromTheOpenFileAndIsLeftAloneWithout) {
    TGraphFixture f;
    int32_t width = 512, height = 512;
    GetVideoSize(f.Graph, width, height);
    EXPECT_EQ(width, 512);
    f.Open(Avi640Clip());
    GetVideoSize(f.Graph, width, height);
    EXPECT_EQ(width, 640);
    EXPECT_EQ(height, 480);
}
