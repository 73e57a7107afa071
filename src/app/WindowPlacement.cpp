#include "app/WindowPlacement.h"

#include <cstdint>

namespace {

void ClampAxis(int& start, int& length, int screen) {
    if (start < 0) start = 0;
    // In 64 bits: a stored start and length near the int limits must not wrap into "fits".
    if (int64_t(screen) < int64_t(start) + int64_t(length)) {
        if (screen < length) length = screen - 10;
        start = screen - length;
    }
}

} // namespace

TWindowPlacement ClampToScreen(TWindowPlacement placement, int screenWidth, int screenHeight) {
    ClampAxis(placement.Left, placement.Width, screenWidth);
    ClampAxis(placement.Top, placement.Height, screenHeight);
    return placement;
}
