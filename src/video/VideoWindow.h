// VideoWindow.h: the frame output of the plain video view. While attached to a graph it keeps the newest
// frame the graph decoded (whether or not a sample grabber is attached) and calls OnNewFrame on the
// streaming thread; the view paints from CopyFrame or ReadFrame on its own thread.
#pragma once

#include "platform/Bitmap.h"

#include <cstdint>
#include <functional>
#include <mutex>

class TFilterGraph;

class TVideoWindow {
public:
    TVideoWindow() = default;
    ~TVideoWindow(); // detaches
    TVideoWindow(const TVideoWindow&) = delete;
    TVideoWindow& operator=(const TVideoWindow&) = delete;

    // Streaming thread, after the frame is stored: post a repaint; never wait for the owner's thread.
    // Set before attaching.
    std::function<void()> OnNewFrame;

    void SetFilterGraph(TFilterGraph* graph); // nullptr detaches; returns once no delivery is in progress

    // The newest frame (24-bit, bottom-up); false while none has arrived.
    bool CopyFrame(TBitmap& out) const;
    // Calls paint(frame) with the frame locked, sparing the copy; false (paint not called) without a frame.
    template <class F> bool ReadFrame(F&& paint) const {
        std::lock_guard<std::mutex> guard(FMutex);
        if (FFrame.Empty()) return false;
        paint(static_cast<const TBitmap&>(FFrame));
        return true;
    }
    uint64_t FrameCount() const; // frames received since construction

    // The streaming thread's entry: keeps frame (24 bits, the delivered layout) and gives the previous
    // frame's storage back in its place (empty when there was none), so no frame is copied.
    void TakeFrame(TBitmap& frame);

private:
    friend class TFilterGraph;
    TFilterGraph* FGraph = nullptr;
    mutable std::mutex FMutex; // guards FFrame and FCount
    TBitmap FFrame;
    uint64_t FCount = 0;
};
