#include "render/uTimer.h"

#include <gtest/gtest.h>

namespace {

// A counter the test moves by hand, in microseconds; the machine has been up 5 s at the first frame.
struct TManualCounter {
    int64_t Now = 5'000'000;
    TGameTimer Timer{[this] { return Now; }, 1'000'000};

    void Ticks(int count, double ms) {
        for (int i = 0; i < count; ++i) {
            Now += int64_t(ms * 1000.0);
            Timer.Update();
        }
    }
};

} // namespace

TEST(TGameTimer, PublishesTheMeanRateOfEachFiftyTicksOnTheFiftieth) {
    TManualCounter c;
    c.Timer.Update();
    EXPECT_DOUBLE_EQ(c.Timer.FrameTimeMs, 5000.0) << "the first tick measures the counter's running time";
    EXPECT_DOUBLE_EQ(c.Timer.FPSSum, 0.2);
    c.Ticks(48, 20);
    EXPECT_EQ(c.Timer.FPS, 0);
    c.Ticks(1, 20);
    EXPECT_EQ(c.Timer.FPS, 49); // 49 rates of 50 plus the first frame's 1/5 s: mean 49.0..., truncated
    // The mean of rates, not the rate of the mean time: 50 frames in 1 s would have said 50.
    for (int i = 0; i < 25; ++i)
        c.Ticks(1, 10), c.Ticks(1, 30);
    EXPECT_EQ(c.Timer.FPS, 66);
}

TEST(TGameTimer, ATickWithoutTimePassingOrWithTheCounterSteppingBackIsNotARate) {
    TManualCounter c;
    c.Ticks(51, 20);
    const double sum = c.Timer.FPSSum;
    c.Timer.Update(); // no time has passed
    EXPECT_DOUBLE_EQ(c.Timer.FrameTimeMs, 0.0);
    EXPECT_DOUBLE_EQ(c.Timer.FPSSum, sum);
    EXPECT_EQ(c.Timer.FrameCounter, 1);
    c.Now -= 1000;
    c.Timer.Update();
    EXPECT_LT(c.Timer.FrameTimeMs, 0.0);
    EXPECT_EQ(c.Timer.FrameCounter, 1);
    // The window then completes with 50 real rates: still 50, not diluted or blown up by the skips.
    c.Ticks(49, 20);
    EXPECT_EQ(c.Timer.FPS, 50);
}

TEST(TGameTimer, MonthsOfUptimeInNanosecondsDoNotOverflow) {
    int64_t now = int64_t(200) * 24 * 3600 * 1'000'000'000;
    TGameTimer timer([&now] { return now; }, 1'000'000'000);
    timer.Update();
    EXPECT_DOUBLE_EQ(timer.FrameTimeMs, 200.0 * 24 * 3600 * 1000);
    now += 16'666'667;
    timer.Update();
    EXPECT_NEAR(timer.FrameTimeMs, 16.666667, 1e-9);
}
