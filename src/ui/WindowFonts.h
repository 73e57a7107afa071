// WindowFonts.h: the faces the windows were laid out for ("Tahoma", "MS Sans Serif"), and the font every
// window, menu and tool window of the program takes. Where the system's font configuration does not list
// the faces, the metric-compatible ones that come with fonts-wine are registered with the application, so
// that text widths match the layout. GUI thread, after the QApplication exists.
#pragma once

#include <QFont>

inline constexpr const char* kWindowFontFace = "Tahoma";
inline constexpr const char* kDialogFontFace = "MS Sans Serif";
// The windows' font height in pixels.
constexpr int kWindowFontPixels = 11;

// Registers the faces that are missing and can be found; answers how many of the two families are usable
// afterwards.
int RegisterWindowFonts();

// Tahoma at the windows' height, neither bold nor italic (falls back to the application font's family when
// Tahoma is missing). A menu is a window of its own and needs it set as well.
QFont WindowFont();
// "MS Sans Serif" at the same height, the face of the about window's texts.
QFont DialogFont();
