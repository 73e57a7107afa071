// SideBySide.h: the placement --side-by-side asks for: the main window at the screen's top left and the chain
// window right of it, both on the screen. It changes the placement values of this start only as moving the
// windows by hand would; the stored defaults stay as they are.
#pragma once

struct TSettings;

// A gap for the window frame's border between the two windows.
constexpr int kSideBySideGap = 12;

// screenWidth: the available width; chainWidth: the chain window's outer width. The main window keeps its
// stored width when both fit, else it is narrowed (never below half the screen) so that the chain window
// fits.
void PlaceSideBySide(TSettings& settings, int screenWidth, int chainWidth);
