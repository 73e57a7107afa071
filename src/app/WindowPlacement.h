// WindowPlacement.h: the placement clamp lives in platform/WindowPlacement.h, shared with the chain window
// and the preset manager; this include stays only until the main window names that header itself.
#pragma once

#include "platform/WindowPlacement.h"
