#include "render/uTimer.h"

#include <gtest/gtest.h>

#include <cstdint>

namespace {

// A counter the test moves by hand, in microseconds.
struct TManualCounter {
    int64_t Now = 5'000'000; // the machine has been up 5 s when the first frame is drawn
    TGameTimer Timer{[this] { return Now; }, 1'000'000};

    void TickAfterMs(double ms) {
        Now += int64_t(ms * 1000.0);
        Timer.Update();
    }
};

} // namespace

TEST(TGameTimer, FirstTickMeasuresTheCounterRunningTime) {
    TManualCounter c;
    c.Timer.Update();
    EXPECT_DOUBLE_EQ(c.Timer.FrameTimeMs, 5000.0);
    EXPECT_EQ(c.Timer.LastCount, 5'000'000);
    EXPECT_DOUBLE_EQ(c.Timer.FPSSum, 0.2);
}

TEST(TGameTimer, PublishesOnlyOnEveryFiftiethTick) {
    TManualCounter c;
    for (int i = 1; i <= 49; ++i) {
        c.TickAfterMs(20);
        EXPECT_EQ(c.Timer.FPS, 0) << "tick " << i;
    }
    c.TickAfterMs(20);
    // 49 rates of 50 plus the first frame's 1/5.02 s: mean 49.0..., truncated.
    EXPECT_EQ(c.Timer.FPS, 49);
    EXPECT_EQ(c.Timer.FrameCounter, 0);
    EXPECT_DOUBLE_EQ(c.Timer.FPSSum, 0.0);
    for (int i = 1; i <= 49; ++i) {
        c.TickAfterMs(10);
        EXPECT_EQ(c.Timer.FPS, 49) << "tick " << i;
    }
    c.TickAfterMs(10);
    EXPECT_EQ(c.Timer.FPS, 100);
}

TEST(TGameTimer, SteadyTwentyMillisecondFramesGiveFifty) {
    TManualCounter c;
    for (int i = 0; i < 50; ++i) c.TickAfterMs(20);
    for (int i = 0; i < 50; ++i) c.TickAfterMs(20);
    EXPECT_DOUBLE_EQ(c.Timer.FrameTimeMs, 20.0);
    EXPECT_EQ(c.Timer.FPS, 50);
}

TEST(TGameTimer, PublishesTheMeanOfRatesNotTheRateOfTheMeanTime) {
    TManualCounter c;
    for (int i = 0; i < 50; ++i) c.TickAfterMs(20);
    for (int i = 0; i < 25; ++i) {
        c.TickAfterMs(10);
        c.TickAfterMs(30);
    }
    EXPECT_EQ(c.Timer.FPS, 66); // (100 + 33.3) / 2, truncated; 50 frames in 1 s would have said 50
}

TEST(TGameTimer, ATickWithinTheSameCounterValueIsSkipped) {
    TManualCounter c;
    for (int i = 0; i < 50; ++i) c.TickAfterMs(20);
    c.TickAfterMs(20);
    const double sum = c.Timer.FPSSum;
    const int32_t frames = c.Timer.FrameCounter;
    c.Timer.Update(); // no time has passed
    EXPECT_DOUBLE_EQ(c.Timer.FrameTimeMs, 0.0);
    EXPECT_DOUBLE_EQ(c.Timer.FPSSum, sum);
    EXPECT_EQ(c.Timer.FrameCounter, frames);
    // The window then completes with 50 real rates: still 50, not a mean diluted or blown up by the skip.
    for (int i = 0; i < 49; ++i) c.TickAfterMs(20);
    EXPECT_EQ(c.Timer.FPS, 50);
}

TEST(TGameTimer, ACounterThatStepsBackIsNotARate) {
    TManualCounter c;
    c.TickAfterMs(20);
    c.Now -= 1000;
    c.Timer.Update();
    EXPECT_LT(c.Timer.FrameTimeMs, 0.0);
    EXPECT_EQ(c.Timer.FrameCounter, 1);
}

TEST(TGameTimer, MonthsOfUptimeDoNotOverflowTheFirstInterval) {
    int64_t now = int64_t(200) * 24 * 3600 * 1'000'000'000; // 200 days in nanoseconds
    TGameTimer timer([&now] { return now; }, 1'000'000'000);
    timer.Update();
    EXPECT_DOUBLE_EQ(timer.FrameTimeMs, 200.0 * 24 * 3600 * 1000);
    now += 16'666'667;
    timer.Update();
    EXPECT_NEAR(timer.FrameTimeMs, 16.666667, 1e-9);
}

TEST(TGameTimer, DefaultCounterIsTheSteadyClockInNanoseconds) {
    TGameTimer timer;
    EXPECT_EQ(timer.Frequency, 1'000'000'000);
    timer.Update();
    const int64_t first = timer.LastCount;
    EXPECT_GT(first, 0);
    timer.Update();
    EXPECT_GE(timer.LastCount, first);
    EXPECT_GE(timer.FrameTimeMs, 0.0);
}
