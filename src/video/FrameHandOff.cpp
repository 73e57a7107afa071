#include "video/FrameHandOff.h"

#include "video/SampleGrabber.h"

#include <algorithm>
#include <exception>

TFrameHandOff::TFrameHandOff(int width, int height)
    : FShown(width, height, 24), FFirstFrameBitmap(width, height, 24) {}

void TFrameHandOff::SampleGrabberBuffer(TSampleGrabber* sender, double sampleTime, const uint8_t* buffer,
                                        int32_t length) {
    if (!FAdmits.load() || !sender) return;
    std::lock_guard<std::mutex> producer(FProducerMutex);
    try {
        // The copies go into buffers the GUI never reads, so the lock below is held only for the swaps.
        if (!sender->CopyToBitmap(FBack, buffer, length)) return;
        const bool first = CaptureFirstFrame.exchange(false);
        if (first && !sender->CopyToBitmap(FFirstBack, buffer, length)) return;
        // Reserved before the lock, so that queueing the frame cannot fail halfway.
        TQueuedFrame queued{TBitmap(), sampleTime, TClock::now()};
        std::lock_guard<std::mutex> guard(FMutex);
        while (int(FQueue.size()) >= FDepth)
            DropFront();
        queued.Bitmap.Swap(FBack);
        FQueue.push_back(std::move(queued));
        if (!FSpare.empty()) {
            FBack.Swap(FSpare.back());
            FSpare.pop_back();
        }
        if (first) FFirstFrameBitmap.Swap(FFirstBack);
        FNewFrameReady.store(true);
    } catch (const std::exception&) {
        // A frame that cannot be copied or queued (no memory, no size) is dropped; the next may fare better.
    }
}

void TFrameHandOff::DropLateFrames() {
    if (FLateLimit.count() <= 0 || FQueue.size() < 2) return;
    const TClock::time_point oldest = TClock::now() - FLateLimit;
    while (FQueue.size() > 1 && FQueue.front().HandedOver < oldest)
        DropFront();
}

void TFrameHandOff::ShowFront() {
    FShown.Swap(FQueue.front().Bitmap);
    FShownTime = FQueue.front().SampleTime;
    FSpare.push_back(std::move(FQueue.front().Bitmap));
    FQueue.pop_front();
    FNewFrameReady.store(!FQueue.empty());
}

void TFrameHandOff::DropFront() {
    FSpare.push_back(std::move(FQueue.front().Bitmap));
    FQueue.pop_front();
    FDropped.fetch_add(1);
    FNewFrameReady.store(!FQueue.empty());
}

void TFrameHandOff::ClearQueue() {
    while (!FQueue.empty()) {
        FSpare.push_back(std::move(FQueue.front().Bitmap));
        FQueue.pop_front();
    }
    FNewFrameReady.store(false);
}

void TFrameHandOff::SetQueueDepth(int depth, std::chrono::nanoseconds lateLimit) {
    std::lock_guard<std::mutex> guard(FMutex);
    FDepth = std::max(1, depth);
    FLateLimit = lateLimit;
    while (int(FQueue.size()) > FDepth)
        DropFront();
    // The spares never need to outnumber the frames that can wait.
    if (int(FSpare.size()) > FDepth) FSpare.resize(size_t(FDepth));
}

int TFrameHandOff::QueueDepth() const {
    std::lock_guard<std::mutex> guard(FMutex);
    return FDepth;
}

int TFrameHandOff::FramesWaiting() const {
    std::lock_guard<std::mutex> guard(FMutex);
    return int(FQueue.size());
}

double TFrameHandOff::ShownSampleTime() const {
    std::lock_guard<std::mutex> guard(FMutex);
    return FShownTime;
}

void TFrameHandOff::Reset(int width, int height) {
    TBitmap frame(width, height, 24);
    TBitmap first(width, height, 24);
    {
        std::lock_guard<std::mutex> guard(FMutex);
        ClearQueue();
        FShown.Swap(frame);
        FShownTime = 0;
        FFirstFrameBitmap.Swap(first);
        FDropped.store(0);
    }
    CaptureFirstFrame.store(true);
}

void TFrameHandOff::ClearNewFrameReady() {
    std::lock_guard<std::mutex> guard(FMutex);
    ClearQueue();
}

void TFrameHandOff::AssignFrameBitmap(const TBitmap& bitmap) {
    TBitmap copy = bitmap;
    std::lock_guard<std::mutex> guard(FMutex);
    ClearQueue();
    FShown.Swap(copy);
    FShownTime = 0;
}
