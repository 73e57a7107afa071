// uTimer.h: TGameTimer, the frame timer of the HUD. It turns the time between two ticks into a
// per-frame rate and publishes the mean of AverageFrames such rates as FPS. GUI thread only; no GL.
#pragma once

#include <cstdint>
#include <functional>

class TGameTimer {
public:
    // A monotonic counter and its counts per second.
    using TCounter = std::function<int64_t()>;

    TGameTimer(); // the steady clock in nanoseconds
    TGameTimer(TCounter counter, int64_t frequency);

    // One tick per rendered frame.
    void Update();

    int64_t Frequency = 0;
    int64_t LastCount = 0;  // counter at the end of the previous tick; 0 before the first
    double FrameTimeMs = 0; // between the previous tick and this one
    double FPSSum = 0;      // per-frame rates of the current averaging window
    int32_t FrameCounter = 0;
    int32_t FPS = 0; // last published value; 0 until the first window completes
    int32_t AverageFrames = 50;

private:
    TCounter Counter;
};
