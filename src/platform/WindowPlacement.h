// WindowPlacement.h: a stored window placement brought onto the screen before the window is shown, for the
// main window, the chain window and the preset manager alike. Plain arithmetic, no window system; the
// sums are taken in 64 bits, so stored values anywhere in the int range cannot wrap into "fits".
#pragma once

struct TWindowPlacement {
    int Left = 0;
    int Top = 0;
    int Width = 0;
    int Height = 0;

    bool operator==(const TWindowPlacement&) const = default;
};

// How a window that reaches past an edge is brought back.
struct TScreenFit {
    bool Shrink = true; // a window larger than the screen first becomes the screen's size - 10
    int BottomGap = 0;  // room left below a window pulled up from the bottom edge
};
// The main window and the preset manager shrink to fit; the chain window keeps its fixed size and stops
// 20 pixels above the bottom.
inline constexpr TScreenFit kFitResizable{true, 0};
inline constexpr TScreenFit kFitChainWindow{false, 20};

// A negative left or top becomes 0. A window reaching past the right edge moves left until it ends at the
// edge (after shrinking, with fit.Shrink, to the screen width - 10 when it is wider than the screen); the
// same downwards, ending fit.BottomGap above the bottom edge.
TWindowPlacement ClampToScreen(TWindowPlacement placement, int screenWidth, int screenHeight,
                               TScreenFit fit = kFitResizable);
