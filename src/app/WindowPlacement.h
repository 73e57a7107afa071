// WindowPlacement.h: the stored placement of the main window brought onto the screen before it is shown.
// Plain arithmetic, no window system.
#pragma once

struct TWindowPlacement {
    int Left = 0;
    int Top = 0;
    int Width = 0;
    int Height = 0;

    bool operator==(const TWindowPlacement&) const = default;
};

// A negative left or top becomes 0. A window reaching past the right edge moves left until it ends at the
// edge, after shrinking to the screen width - 10 when it is wider than the screen; the same downwards.
TWindowPlacement ClampToScreen(TWindowPlacement placement, int screenWidth, int screenHeight);
