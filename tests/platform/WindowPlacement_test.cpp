// The stored placement brought onto the screen, without a display.
#include "platform/WindowPlacement.h"

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

TEST(ClampToScreen, ChainWindowKeepsItsSizeAndStops20AboveTheBottom) {
    EXPECT_EQ(ClampToScreen({-50, -50, 197, 551}, 1024, 768, kFitChainWindow),
              (TWindowPlacement{0, 0, 197, 551}));
    EXPECT_EQ(ClampToScreen({2000, 10, 197, 551}, 1024, 768, kFitChainWindow),
              (TWindowPlacement{1024 - 197, 10, 197, 551}));
    EXPECT_EQ(ClampToScreen({10, 500, 197, 551}, 1024, 768, kFitChainWindow),
              (TWindowPlacement{10, 768 - 551 - 20, 197, 551}));
    // Wider than the screen it is not shrunk: it starts left of the screen and ends at its right edge.
    EXPECT_EQ(ClampToScreen({0, 0, 1100, 551}, 1024, 768, kFitChainWindow),
              (TWindowPlacement{-76, 0, 1100, 551}));
}

// Each window's stored placement at the ends of the int range: left (and top) 2147483637, whose sum with
// any width overflows an int, and -2147483648. The main window (1280 x 1024 test screen, its default
// 800 x 600 size), the preset manager (356 x 424) and the chain window (197 x 551 and its frame).
TEST(ClampToScreen, StoredEdgesAtTheIntLimitsLandOnTheScreenForEveryWindow) {
    constexpr int kFar = 2147483637;
    constexpr int kNear = INT_MIN;
    const struct {
        const char* Window;
        TWindowPlacement Stored;
        TScreenFit Fit;
        TWindowPlacement Shown;
    } cases[] = {
        {"main window", {kFar, kFar, 800, 600}, kFitResizable, {480, 424, 800, 600}},
        {"main window", {kNear, kNear, 800, 600}, kFitResizable, {0, 0, 800, 600}},
        {"main window", {kFar, kNear, 800, 600}, kFitResizable, {480, 0, 800, 600}},
        {"preset manager", {kFar, kFar, 356, 424}, kFitResizable, {924, 600, 356, 424}},
        {"preset manager", {kNear, kNear, 356, 424}, kFitResizable, {0, 0, 356, 424}},
        {"preset manager", {kFar, 20, 2000, 300}, kFitResizable, {10, 20, 1270, 300}},
        {"chain window", {kFar, kFar, 199, 575}, kFitChainWindow, {1081, 429, 199, 575}},
        {"chain window", {kNear, kNear, 199, 575}, kFitChainWindow, {0, 0, 199, 575}},
        {"chain window", {kNear, kFar, 199, 575}, kFitChainWindow, {0, 429, 199, 575}},
    };
    for (const auto& c : cases) {
        const TWindowPlacement shown = ClampToScreen(c.Stored, 1280, 1024, c.Fit);
        EXPECT_EQ(shown, c.Shown) << c.Window << " stored at " << c.Stored.Left << ", " << c.Stored.Top
                                  << ": " << shown.Left << ", " << shown.Top << " " << shown.Width << " x "
                                  << shown.Height;
    }
}
