// uPluginClock.h: TPluginClock, the clock plugins see in the program: the source's own time, the frames
// rendered since the source was opened and the time between two rendered frames. Plain values in, plain
// values out, so the main window's clock is tested without a window. GUI thread.
#pragma once

#include "render/uPluginInputs.h"

class TPluginClock {
public:
    // A new source: the next frame is frame 0 with a timeDelta of 0.
    void Reset();
    // The inputs of the frame about to be rendered: sourceSeconds is the source's time (a video's position,
    // or the seconds since a picture or live source was opened), nowSeconds a steady clock's reading. The
    // pointer is left as it was.
    const TPluginFrameInputs& Next(double sourceSeconds, double nowSeconds);
    const TPluginFrameInputs& Inputs() const { return Current; }

private:
    TPluginFrameInputs Current;
    double LastNow = 0.0;
    bool Started = false;
};
