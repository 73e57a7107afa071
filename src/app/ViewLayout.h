// ViewLayout.h: where the video view and the OpenGL view sit in the main window's client area for a source
// of a given size: side by side (dual view) or one alone, letter- or pillar-boxed when the aspect ratio is
// forced. Plain arithmetic on client pixels, no window system.
#pragma once

struct TViewLayoutInput {
    int ClientWidth = 0;
    int ClientHeight = 0;
    int MenuBarHeight = 0; // the menu bar's real height
    int BottomPanelHeight = 0;
    int StatusBarHeight = 0;
    int VideoWidth = 0; // source size; no aspect forcing unless both are above 0
    int VideoHeight = 0;
    bool ShowVideo = true;
    bool ShowGL = true;
    bool ForceAspectRatio = true;
};

struct TViewLayout {
    bool Dual = false;
    // Both panels (video view and image view), top counted from the top of the client area.
    int PanelLeft = 0;
    int PanelTop = 0;
    int PanelWidth = 0;
    int PanelHeight = 0;
    // The OpenGL viewport, y counted from the bottom of the client area as GL counts.
    int GLX = 0;
    int GLY = 0;
    int GLWidth = 0;
    int GLHeight = 0;

    bool operator==(const TViewLayout&) const = default;
};

// The view area is what the menu bar, the bottom panel and the status bar leave. Dual view: the video view
// on the left, the OpenGL view 2 pixels to its right at the same size. Single view: one rectangle over the
// whole width. With the aspect ratio forced both are centred vertically (by the half of the height they
// leave, truncated toward zero) and a single view is centred horizontally when the height limits it. A
// client too small for the bars gives empty views, never negative sizes.
TViewLayout ComputeViewLayout(const TViewLayoutInput& in);
