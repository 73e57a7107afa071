#include "render/uPluginClock.h"

#include <algorithm>

void TPluginClock::Reset() {
    Current.Time = 0.0;
    Current.TimeDelta = 0.0;
    Current.Frame = 0;
    Started = false;
}

const TPluginFrameInputs& TPluginClock::Next(double sourceSeconds, double nowSeconds) {
    Current.Time = std::max(0.0, sourceSeconds);
    // A clock that went backwards (a changed system clock cannot, a steady one may be replaced) gives 0,
    // never a negative step an effect would run backwards with.
    Current.TimeDelta = Started ? std::max(0.0, nowSeconds - LastNow) : 0.0;
    if (Started) ++Current.Frame;
    Started = true;
    LastNow = nowSeconds;
    return Current;
}
