// AppFonts.h: the window fonts live in ui/WindowFonts.h, shared with the chain window and the preset
// manager; this include stays only until the main window and main() name that header themselves.
#pragma once

#include "ui/WindowFonts.h"
