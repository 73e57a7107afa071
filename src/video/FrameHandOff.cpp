#include "video/FrameHandOff.h"

#include "video/SampleGrabber.h"

#include <exception>

TFrameHandOff::TFrameHandOff(int width, int height)
    : FFrameBitmap(width, height, 24), FFirstFrameBitmap(width, height, 24) {}

void TFrameHandOff::SampleGrabberBuffer(TSampleGrabber* sender, double, const uint8_t* buffer,
                                        int32_t length) {
    if (!FAdmits.load() || !sender) return;
    std::lock_guard<std::mutex> producer(FProducerMutex);
    try {
        // The copies go into buffers the GUI never reads, so the lock below is held only for the swaps.
        if (!sender->CopyToBitmap(FBack, buffer, length)) return;
        const bool first = CaptureFirstFrame.exchange(false);
        if (first && !sender->CopyToBitmap(FFirstBack, buffer, length)) return;
        std::lock_guard<std::mutex> guard(FMutex);
        FFrameBitmap.Swap(FBack);
        if (first) FFirstFrameBitmap.Swap(FFirstBack);
        FNewFrameReady.store(true);
    } catch (const std::exception&) {
        // A frame that cannot be copied (no memory, no size) is dropped; the next one may fare better.
    }
}

void TFrameHandOff::Reset(int width, int height) {
    TBitmap frame(width, height, 24);
    TBitmap first(width, height, 24);
    {
        std::lock_guard<std::mutex> guard(FMutex);
        FFrameBitmap.Swap(frame);
        FFirstFrameBitmap.Swap(first);
        FNewFrameReady.store(false);
    }
    CaptureFirstFrame.store(true);
}

void TFrameHandOff::ClearNewFrameReady() {
    std::lock_guard<std::mutex> guard(FMutex);
    FNewFrameReady.store(false);
}

void TFrameHandOff::AssignFrameBitmap(const TBitmap& bitmap) {
    TBitmap copy = bitmap;
    std::lock_guard<std::mutex> guard(FMutex);
    FFrameBitmap.Swap(copy);
    FNewFrameReady.store(false);
}
