#include "platform/WindowPlacement.h"

#include <cstdint>

namespace {

void ClampAxis(int& start, int& length, int screen, bool shrink, int endGap) {
    if (start < 0) start = 0;
    // In 64 bits: a stored start and length near the int limits must not wrap into "fits".
    if (int64_t(screen) < int64_t(start) + int64_t(length)) {
        if (shrink && screen < length) length = screen - 10;
        start = screen - length - endGap;
    }
}

} // namespace

TWindowPlacement ClampToScreen(TWindowPlacement placement, int screenWidth, int screenHeight,
                               TScreenFit fit) {
    ClampAxis(placement.Left, placement.Width, screenWidth, fit.Shrink, 0);
    ClampAxis(placement.Top, placement.Height, screenHeight, fit.Shrink, fit.BottomGap);
    return placement;
}
