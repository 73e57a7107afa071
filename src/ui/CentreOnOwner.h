// CentreOnOwner.h: where the program's small windows (about, export options) open: centred on the window
// that owns them, where the user works, kept on its screen.
#pragma once

class QWidget;

// Moves window so that its frame is centred on its owner's frame (on the screen when it has no visible
// owner), clamped to the screen's available area. QDialog would guess the size of a title bar it has not
// seen yet, so the owner's own decoration stands in for the window's.
void CentreOnOwner(QWidget& window);
