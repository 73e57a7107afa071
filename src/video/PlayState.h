// PlayState.h: the main window's playing state, which the streaming thread reads as well. The values are
// those the status bar and the stored state have always used.
#pragma once

#include <cstdint>

enum class TPlayState : uint8_t { Ready = 0, Playing = 1, Paused = 2, Stopped = 3 };
