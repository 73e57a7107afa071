// FrameHandOff.h: the one piece of data the streaming thread and the GUI thread share: the frames waiting
// for the OpenGL view, the frame it shows (FrameBitmap when none waits), the first frame after an open
// (FirstFrameBitmap), the NewFrameReady flag, and the admission the grabber callback reads. The streaming
// thread fills a back buffer of its own and queues it under the lock; the GUI thread uploads the oldest
// waiting frame under the same lock. So the GUI never sees a half-written or resized bitmap, and the order
// "write, then flag" / "upload, then clear" holds. No window toolkit here; the playback model owns the one
// instance.
//
// Up to QueueDepth() frames wait, oldest first: a file's frames are handed over at their presentation
// times, so a render turn that takes longer than one frame interval leaves two waiting, and the view shows
// both, one turn after the other, instead of losing the first. A full queue drops its oldest frame, which
// keeps the delay bounded. A frame that has waited longer than the lateness limit while a newer one waits
// too is passed over: a machine that cannot keep up at all shows frames late by at most that limit instead
// of a queue's worth. With a depth of 1 (live sources) the newest frame always wins.
#pragma once

#include "platform/Bitmap.h"
#include "video/FrameAdmission.h"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <deque>
#include <mutex>
#include <vector>

class TSampleGrabber;

class TFrameHandOff {
public:
    // Enough for a render turn of up to two frame intervals without a loss; the delay stays under three.
    static constexpr int kFileQueueDepth = 3;

    // The next frame is also kept as FirstFrameBitmap; the callback clears it when it does so.
    std::atomic<bool> CaptureFirstFrame{false};

    // Both bitmaps width x height at 24 bits, black (the size of the video view at start); depth 1.
    explicit TFrameHandOff(int width = 0, int height = 0);
    TFrameHandOff(const TFrameHandOff&) = delete;
    TFrameHandOff& operator=(const TFrameHandOff&) = delete;

    // GUI thread: both bitmaps black at the new size, no frame waiting, the next frame also the first.
    void Reset(int width, int height);

    // How many frames may wait (at least 1). A smaller depth drops the oldest frames waiting beyond it.
    // lateLimit: how long a frame may wait while a newer one waits too (zero or less: no limit).
    void SetQueueDepth(int depth, std::chrono::nanoseconds lateLimit = std::chrono::nanoseconds(0));
    int QueueDepth() const;
    int FramesWaiting() const;

    // Whether frames are kept; the GUI thread sets it whenever one of its parts changes.
    void SetAdmission(const TFrameAdmission& admission) { FAdmits.store(admission.Admits()); }
    bool AdmitsFrames() const { return FAdmits.load(); }

    // The grabber's buffer event, on the streaming thread: drops the frame unless the admission lets it
    // through; copies it with the sender's copy-to-bitmap (and into FirstFrameBitmap when asked), queues it
    // and sets NewFrameReady. A failing copy drops the frame.
    void SampleGrabberBuffer(TSampleGrabber* sender, double sampleTime, const uint8_t* buffer,
                             int32_t length);

    bool NewFrameReady() const { return FNewFrameReady.load(); }
    // Frames dropped from a full queue since the last Reset (a live source's replaced frames count too).
    uint64_t FramesDropped() const { return FDropped.load(); }

    // GUI thread. If a frame waits: upload(the oldest), which then becomes FrameBitmap and leaves the queue;
    // NewFrameReady stays set while more wait. Returns true. The streaming thread cannot touch the frame
    // meanwhile. If upload throws, the frame stays first in the queue and the exception passes on.
    template <class F> bool UploadNewFrame(F&& upload) {
        std::lock_guard<std::mutex> guard(FMutex);
        DropLateFrames();
        if (FQueue.empty()) return false;
        upload(static_cast<const TBitmap&>(FQueue.front().Bitmap));
        ShowFront();
        return true;
    }
    // The presentation time (seconds) of the frame last taken by UploadNewFrame; 0 before the first.
    double ShownSampleTime() const;

    // Reads the newest frame under the lock: the newest waiting, else the one shown (export, status texts,
    // the stop button's upload).
    template <class F> decltype(auto) WithFrameBitmap(F&& read) const {
        std::lock_guard<std::mutex> guard(FMutex);
        return read(static_cast<const TBitmap&>(FQueue.empty() ? FShown : FQueue.back().Bitmap));
    }
    template <class F> decltype(auto) WithFirstFrameBitmap(F&& read) const {
        std::lock_guard<std::mutex> guard(FMutex);
        return read(static_cast<const TBitmap&>(FFirstFrameBitmap));
    }

    // Drops every frame waiting; FrameBitmap is the one shown last.
    void ClearNewFrameReady();
    // A still image takes the frame's place: FrameBitmap := a copy of bitmap, nothing waiting.
    void AssignFrameBitmap(const TBitmap& bitmap);

private:
    using TClock = std::chrono::steady_clock;
    struct TQueuedFrame {
        TBitmap Bitmap;
        double SampleTime = 0;
        TClock::time_point HandedOver;
    };
    // FMutex held for all four.
    void DropLateFrames();
    void ShowFront();
    void DropFront();
    void ClearQueue();

    mutable std::mutex FMutex; // guards everything below up to FProducerMutex, and the writes of the flag
    TBitmap FShown;
    double FShownTime = 0;
    std::deque<TQueuedFrame> FQueue;
    std::vector<TBitmap> FSpare; // storage of frames gone, reused so that playing allocates nothing
    TBitmap FFirstFrameBitmap;
    int FDepth = 1;
    std::chrono::nanoseconds FLateLimit{0};
    std::atomic<bool> FNewFrameReady{false};
    std::atomic<bool> FAdmits{false};
    std::atomic<uint64_t> FDropped{0};
    std::mutex FProducerMutex; // the back buffers; held for a whole callback
    TBitmap FBack;
    TBitmap FFirstBack;
};
