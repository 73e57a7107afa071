#include "render/uPluginClock.h"

#include <gtest/gtest.h>

TEST(TPluginClock, CountsFramesAndStepsFromTheSourceOpenedAndStartsAgainOnReset) {
    TPluginClock clock;
    clock.Reset();
    struct TStep {
        double Source, Now;
        int64_t Frame;
        double Delta;
    } steps[] = {{0.0, 100.0, 0, 0.0},
                 {0.04, 100.04, 1, 0.04},
                 {0.04, 100.10, 2, 0.06}, // paused: time stays
                 {-1.0, 100.05, 3, 0.0}}; // never negative
    for (const TStep& s : steps) {
        const TPluginFrameInputs& in = clock.Next(s.Source, s.Now);
        EXPECT_EQ(in.Frame, s.Frame);
        EXPECT_NEAR(in.TimeDelta, s.Delta, 1e-9) << s.Frame;
        EXPECT_DOUBLE_EQ(in.Time, std::max(0.0, s.Source));
    }
    clock.Reset();
    const TPluginFrameInputs& first = clock.Next(5.0, 200.0);
    EXPECT_EQ(first.Frame, 0);
    EXPECT_EQ(first.TimeDelta, 0.0);
}
