// The layout arithmetic of the two views, without a display.
#include "app/ViewLayout.h"

#include <gtest/gtest.h>

namespace {

// A client whose view area (between menu bar m = 27, bottom panel 54 and status bar 19) is viewHeight.
TViewLayoutInput Client(int width, int viewHeight, int videoWidth, int videoHeight) {
    TViewLayoutInput in;
    in.ClientWidth = width;
    in.MenuBarHeight = 27;
    in.BottomPanelHeight = 54;
    in.StatusBarHeight = 19;
    in.ClientHeight = viewHeight + 27 + 54 + 19;
    in.VideoWidth = videoWidth;
    in.VideoHeight = videoHeight;
    return in;
}

TEST(ComputeViewLayout, DualViewWithAspectLetterBoxesBothViewsAroundTheMiddle) {
    const TViewLayout l = ComputeViewLayout(Client(1030, 600, 640, 480));
    EXPECT_TRUE(l.Dual);
    // w = 514, hh = Trunc(385.5) = 385, off = Trunc(-107.5) = -107.
    EXPECT_EQ(l.PanelLeft, 0);
    EXPECT_EQ(l.PanelTop, 27 + 107);
    EXPECT_EQ(l.PanelWidth, 514);
    EXPECT_EQ(l.PanelHeight, 385);
    EXPECT_EQ(l.GLX, 516);
    EXPECT_EQ(l.GLWidth, 514);
    EXPECT_EQ(l.GLHeight, 385);
    // From the client's bottom: status bar and bottom panel (73), then the 108 pixels below the view.
    EXPECT_EQ(l.GLY, 73 + 108);
}

TEST(ComputeViewLayout, DualViewLimitedByHeightNarrowsBothViewsAndKeepsThemAtTheTop) {
    const TViewLayout l = ComputeViewLayout(Client(1030, 300, 640, 480));
    EXPECT_EQ(l.PanelWidth, 400); // Trunc(300 * 4 / 3)
    EXPECT_EQ(l.PanelHeight, 300);
    EXPECT_EQ(l.PanelLeft, 0);
    EXPECT_EQ(l.PanelTop, 27);
    EXPECT_EQ(l.GLX, 402); // next to the narrowed video view, not centred
    EXPECT_EQ(l.GLY, 73);
}

TEST(ComputeViewLayout, SingleViewLetterBoxKeepsTheFullWidth) {
    TViewLayoutInput in = Client(640, 600, 640, 480);
    in.ShowVideo = false;
    const TViewLayout l = ComputeViewLayout(in);
    EXPECT_FALSE(l.Dual);
    EXPECT_EQ(l.PanelLeft, 0);
    EXPECT_EQ(l.PanelWidth, 640);
    EXPECT_EQ(l.PanelHeight, 480);
    EXPECT_EQ(l.PanelTop, 27 + 60);
    EXPECT_EQ(l.GLX, 0);
    EXPECT_EQ(l.GLY, 73 + 60);
}

TEST(ComputeViewLayout, DegenerateInputGivesEmptyViewsNeverNegativeOnes) {
    // A client smaller than its bars.
    TViewLayoutInput in = Client(1, 0, 640, 480);
    in.ClientHeight = 50;
    TViewLayout l = ComputeViewLayout(in);
    EXPECT_EQ(l.PanelWidth, 0);
    EXPECT_EQ(l.PanelHeight, 0);
    EXPECT_EQ(l.GLWidth, 0);
    EXPECT_EQ(l.GLHeight, 0);

    // A source without a size has no ratio: the whole area, no division by zero.
    l = ComputeViewLayout(Client(1030, 600, 0, 0));
    EXPECT_EQ(l.PanelWidth, 514);
    EXPECT_EQ(l.PanelHeight, 600);

    // An absurdly wide source: a view of no height, centred, nothing wraps around.
    l = ComputeViewLayout(Client(1030, 600, 100000, 1));
    EXPECT_EQ(l.PanelWidth, 514);
    EXPECT_EQ(l.PanelHeight, 0);
    EXPECT_EQ(l.PanelTop, 27 + 300);
    // An absurdly tall one: full height, a sliver of width.
    l = ComputeViewLayout(Client(1030, 600, 1, 100000));
    EXPECT_EQ(l.PanelHeight, 600);
    EXPECT_EQ(l.PanelWidth, 0);
}

} // namespace
