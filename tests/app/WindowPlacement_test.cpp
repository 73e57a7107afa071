// The stored placement brought onto the screen, without a display.
#include "app/WindowPlacement.h"

#include <gtest/gtest.h>

#include <climits>

TEST(ClampToScreen, NegativeStartsBecomeZero) {
    EXPECT_EQ(ClampToScreen({-300, -5, 800, 600}, 1280, 1024), (TWindowPlacement{0, 0, 800, 600}));
}

TEST(ClampToScreen, AWindowPastTheEdgeMovesBackOrShrinks) {
    // Ending exactly at the edges still fits.
    EXPECT_EQ(ClampToScreen({256, 424, 1024, 600}, 1280, 1024), (TWindowPlacement{256, 424, 1024, 600}));
    // Fits in width but starts too far right: moved to end at the edge.
    EXPECT_EQ(ClampToScreen({900, 20, 1024, 600}, 1280, 1024), (TWindowPlacement{256, 20, 1024, 600}));
    // Wider than the screen: screen width - 10, starting 10 in.
    EXPECT_EQ(ClampToScreen({20, 20, 2000, 600}, 1280, 1024), (TWindowPlacement{10, 20, 1270, 600}));
    // The same rules downwards.
    EXPECT_EQ(ClampToScreen({20, 700, 1024, 600}, 1280, 1024), (TWindowPlacement{20, 424, 1024, 600}));
    EXPECT_EQ(ClampToScreen({20, 20, 1024, 5000}, 1280, 1024), (TWindowPlacement{20, 10, 1024, 1014}));
}

TEST(ClampToScreen, StoredValuesAtTheIntegerLimitsDoNotWrapAround) {
    const TWindowPlacement p = ClampToScreen({INT_MAX, INT_MAX, INT_MAX, INT_MAX}, 1280, 1024);
    EXPECT_EQ(p, (TWindowPlacement{10, 10, 1270, 1014}));
    const TWindowPlacement q = ClampToScreen({INT_MIN, 20, 800, 600}, 1280, 1024);
    EXPECT_EQ(q.Left, 0);
}
