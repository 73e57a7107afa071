// FrameHandOff.h: the one piece of data the streaming thread and the GUI thread share: the newest video
// frame (FrameBitmap), the first frame after an open (FirstFrameBitmap), the NewFrameReady flag, and the
// admission the grabber callback reads. The streaming thread fills a back buffer of its own and swaps it in
// under the lock; the GUI thread uploads under the same lock. So the GUI never sees a half-written or
// resized bitmap, only the newest frame waits, and the order "write, then flag" / "upload, then clear"
// holds. No window toolkit here; the playback model owns the one instance.
#pragma once

#include "platform/Bitmap.h"
#include "video/FrameAdmission.h"

#include <atomic>
#include <cstdint>
#include <mutex>

class TSampleGrabber;

class TFrameHandOff {
public:
    // The next frame is also kept as FirstFrameBitmap; the callback clears it when it does so.
    std::atomic<bool> CaptureFirstFrame{false};

    // Both bitmaps width x height at 24 bits, black (the size of the video view at start).
    explicit TFrameHandOff(int width = 0, int height = 0);
    TFrameHandOff(const TFrameHandOff&) = delete;
    TFrameHandOff& operator=(const TFrameHandOff&) = delete;

    // GUI thread: both bitmaps black at the new size, no frame waiting, the next frame also the first.
    void Reset(int width, int height);

    // Whether frames are kept; the GUI thread sets it whenever one of its parts changes.
    void SetAdmission(const TFrameAdmission& admission) { FAdmits.store(admission.Admits()); }
    bool AdmitsFrames() const { return FAdmits.load(); }

    // The grabber's buffer event, on the streaming thread: drops the frame unless the admission lets it
    // through; copies it with the sender's copy-to-bitmap (and into
    // FirstFrameBitmap when asked), then sets NewFrameReady. A failing copy drops the frame.
    void SampleGrabberBuffer(TSampleGrabber* sender, double sampleTime, const uint8_t* buffer,
                             int32_t length);

    bool NewFrameReady() const { return FNewFrameReady.load(); }

    // GUI thread. If a new frame waits: upload(FrameBitmap), then clear NewFrameReady; returns true. The
    // streaming thread cannot swap in a newer frame meanwhile, and one that arrives right after is flagged
    // again. If upload throws, the flag stays set (the frame is tried again) and the exception passes on.
    template <class F> bool UploadNewFrame(F&& upload) {
        std::lock_guard<std::mutex> guard(FMutex);
        if (!FNewFrameReady.load()) return false;
        upload(static_cast<const TBitmap&>(FFrameBitmap));
        FNewFrameReady.store(false);
        return true;
    }
    // Reads a bitmap under the lock (export, status texts, the stop button's upload).
    template <class F> decltype(auto) WithFrameBitmap(F&& read) const {
        std::lock_guard<std::mutex> guard(FMutex);
        return read(static_cast<const TBitmap&>(FFrameBitmap));
    }
    template <class F> decltype(auto) WithFirstFrameBitmap(F&& read) const {
        std::lock_guard<std::mutex> guard(FMutex);
        return read(static_cast<const TBitmap&>(FFirstFrameBitmap));
    }

    void ClearNewFrameReady();
    // A still image takes the frame's place: FrameBitmap := a copy of bitmap, NewFrameReady := false.
    void AssignFrameBitmap(const TBitmap& bitmap);

private:
    mutable std::mutex FMutex; // guards FFrameBitmap, FFirstFrameBitmap and the writes of FNewFrameReady
    TBitmap FFrameBitmap;
    TBitmap FFirstFrameBitmap;
    std::atomic<bool> FNewFrameReady{false};
    std::atomic<bool> FAdmits{false};
    std::mutex FProducerMutex; // the back buffers; held for a whole callback
    TBitmap FBack;
    TBitmap FFirstBack;
};
