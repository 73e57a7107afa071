#include "render/uTimer.h"

#include <algorithm>
#include <cassert>
#include <chrono>
#include <limits>
#include <utility>

namespace {

int64_t SteadyNanoseconds() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

} // namespace

TGameTimer::TGameTimer() : TGameTimer(&SteadyNanoseconds, 1'000'000'000) {}

TGameTimer::TGameTimer(TCounter counter, int64_t frequency)
    : Frequency(frequency), Counter(std::move(counter)) {
    assert(Frequency > 0 && "a counter needs a positive frequency");
}

void TGameTimer::Update() {
    const int64_t elapsed = Counter() - LastCount;
    // Whole seconds and remainder apart: the first tick's interval is the counter's whole running time, and
    // that times 1000 would overflow 64 bits after a few months of uptime at nanosecond resolution.
    FrameTimeMs =
        double(elapsed / Frequency) * 1000.0 + double((elapsed % Frequency) * 1000) / double(Frequency);
    LastCount = Counter();

    // Two ticks within one counter value (or a counter that went back) stand for no measurable rate: such a
    // tick neither adds an infinite rate nor counts towards the window.
    if (FrameTimeMs <= 0.0) return;

    FPSSum += 1000.0 / FrameTimeMs;
    ++FrameCounter;
    if (FrameCounter >= AverageFrames) {
        FrameCounter = 0;
        FPS = int32_t(std::min(FPSSum / AverageFrames, double(std::numeric_limits<int32_t>::max())));
        FPSSum = 0;
    }
}
