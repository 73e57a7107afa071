// AppFonts.h: the faces the windows were laid out for ("Tahoma", "MS Sans Serif"). Where the system's font
// configuration does not list them, the metric-compatible faces that come with fonts-wine are registered
// with the application, so that text widths match the layout. GUI thread, after the QApplication exists.
#pragma once

#include <QFont>

inline constexpr const char* kWindowFontFace = "Tahoma";
inline constexpr const char* kDialogFontFace = "MS Sans Serif";
// The windows' font height in pixels.
constexpr int kWindowFontPixels = 11;

// Registers the faces that are missing and can be found; answers how many of the two families are usable
// afterwards.
int RegisterWindowFonts();

// Tahoma at the windows' height (falls back to the application font's family when Tahoma is missing).
QFont WindowFont();
