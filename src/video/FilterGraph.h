// FilterGraph.h: the video graph: one file, decoded on a streaming thread of its own and delivered frame by
// frame at the frames' presentation times to the attached sample grabber and video window. The owner's
// thread (the GUI thread in the program) makes every call; the graph-complete event comes back to it
// through the dispatcher it supplies. Failing calls raise ELumatex with FFmpeg's text and the code.
#pragma once

#include "platform/Bitmap.h"
#include "video/VideoClock.h"
#include "video/VideoFormat.h"
#include "video/VideoSource.h"

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

class TSampleGrabber;
class TVideoWindow;
class TDSTrackBar;
class TVideoDecoder;

enum class TGraphState { Stopped, Paused, Running };

class TFilterGraph {
public:
    // Runs a call on the owner's thread later (the program: a queued call into the GUI thread). Called on
    // the streaming thread; it must not run the call synchronously nor wait for the owner's thread.
    using TDispatcher = std::function<void(std::function<void()>)>;
    // result: 0 at the end of the stream, or the FFmpeg error that ended it early. renderer: always null.
    using TGraphCompleteEvent = std::function<void(TFilterGraph* sender, int32_t result, void* renderer)>;

    // Without a clock the graph paces frames by the steady clock.
    explicit TFilterGraph(std::shared_ptr<IVideoClock> clock = nullptr);
    ~TFilterGraph(); // clears the graph (the streaming thread is joined) and detaches every component
    TFilterGraph(const TFilterGraph&) = delete;
    TFilterGraph& operator=(const TFilterGraph&) = delete;

    void SetDispatcher(TDispatcher dispatcher);
    TGraphCompleteEvent OnGraphComplete; // delivered once each time a running stream reaches its end

    bool Active() const { return FActive; }
    void SetActive(bool active); // going inactive clears the graph

    // Stops and joins the streaming thread and closes the file; attached components stay attached.
    void ClearGraph();
    // Opens the file and its first video stream (audio is ignored) and starts the streaming thread,
    // Stopped at position 0. Raises ELumatex when the graph is inactive or FFmpeg cannot open the file.
    void RenderFile(const std::string& path);
    // The same for any source; a stream or camera that does not answer in time is refused.
    void RenderSource(const TVideoSource& source);
    // Plays a decoder opened elsewhere (on a thread of its own, so that a slow address cannot hold the
    // owner's thread). Raises when the graph is inactive.
    void RenderDecoder(std::unique_ptr<TVideoDecoder> decoder);

    // With the loop on, the end of a file goes on at its first frame, paced on from where the last frame's
    // time ended: no end is reported. Live sources have no end to loop.
    void SetLoop(bool loop);
    bool Loop() const;
    // A live source: no duration, no seeking (SetPosition does nothing), its position counts the time it
    // has been playing, its frames are shown as soon as they are decoded, and while it is paused or stopped
    // the newest frame replaces the one waiting. Its end (the source stopped) is reported with the cause.
    bool Live() const { return FLive; }
    bool Seekable() const { return FDecoder && !FLive; }
    // How often the end of the file has been passed by looping since the source was opened.
    uint64_t LoopCount() const;

    // State changes. Pause and Stop return once no frame is being delivered, so none arrives after them
    // (a seek while paused still shows the frame it lands on, as a cued picture).
    void Play();
    void Pause();
    void Stop();
    TGraphState State() const;
    bool HasFile() const { return FDecoder != nullptr; }

    // Milliseconds from the start of the stream. Without a file the position is 0 and seeks do nothing.
    int64_t Position() const;
    // Lands on the frame at or before ms (clamped to 0 .. Duration()) and restarts the clock there; returns
    // once the frame is decoded. Raises ELumatex when the file cannot seek.
    void SetPosition(int64_t ms);
    int64_t Duration() const;                                    // ms; 0 when unknown or without a file
    int64_t FrameDurationNs() const { return FFrameDurationNs; } // 0 without a file
    // The video's native size; false (width and height untouched) without a file.
    bool NativeVideoSize(int& width, int& height) const;

    // Waits until the streaming thread has nothing to do before some later time: it sleeps until a frame
    // is due, or waits for a command. False when that did not happen within timeout (real time). Lets tests
    // and shutdown paths step a manual clock exactly.
    bool WaitForIdle(std::chrono::milliseconds timeout = std::chrono::seconds(20));

    // "<FFmpeg's text for code> ($<code in hex>)."
    static std::string ErrorText(int code);

private:
    friend class TSampleGrabber;
    friend class TVideoWindow;
    friend class TDSTrackBar;
    void AttachGrabber(TSampleGrabber* grabber);
    void DetachGrabber(TSampleGrabber* grabber);
    void AttachVideoWindow(TVideoWindow* window);
    void DetachVideoWindow(TVideoWindow* window);
    void AttachTrackBar(TDSTrackBar* bar);
    void DetachTrackBar(TDSTrackBar* bar);

    void StopThread();
    void StreamLoop();
    int ConvertPending();
    void DeliverPending(std::unique_lock<std::mutex>& lock);
    void PostComplete(std::unique_lock<std::mutex>& lock);
    void LoopToStart(std::unique_lock<std::mutex>& lock);
    void DecodeNext(std::unique_lock<std::mutex>& lock);
    // Sleeps until the clock reaches mediaNs, or a command wakes the thread; false when it was due already.
    bool WaitForMediaTime(std::unique_lock<std::mutex>& lock, int64_t mediaNs);
    void WakeLocked();
    void WaitWhileDelivering(std::unique_lock<std::mutex>& lock);
    bool OnStreamingThread() const;
    int64_t MediaNowNs() const; // FMutex held

    const std::shared_ptr<IVideoClock> FClock;
    const std::shared_ptr<char> FAlive; // posted events check it: they may run after the graph is gone
    bool FActive = false;
    // Owner's thread only (the streaming thread uses FDecoder and FPending while it runs).
    std::unique_ptr<TVideoDecoder> FDecoder;
    TVideoFormat FFormat;
    int64_t FDurationNs = 0;
    int64_t FFrameDurationNs = 0;
    bool FLive = false; // set before the streaming thread starts
    std::thread FThread;
    TDSTrackBar* FTrackBar = nullptr;
    TBitmap FPending; // the next frame, converted, waiting for its time

    mutable std::mutex FMutex;
    std::condition_variable FWake;    // the streaming thread waits on it
    std::condition_variable FOwnerCv; // callers wait on it for seeks, deliveries and idleness
    // Guarded by FMutex:
    TDispatcher FDispatcher;
    TGraphState FState = TGraphState::Stopped;
    TSampleGrabber* FGrabber = nullptr;
    TVideoWindow* FVideoWindow = nullptr;
    std::thread::id FStreamThreadId;
    uint64_t FGeneration = 0; // bumped by clear, render and seek: an older end is not reported
    bool FQuit = false;
    bool FLoop = false;
    bool FLoopFailed = false; // the rewind at the end failed: the end is reported instead
    uint64_t FLoopCount = 0;
    bool FSeekRequested = false;
    int64_t FSeekTargetNs = 0;
    uint64_t FSeekSerial = 0;
    uint64_t FSeekDoneSerial = 0;
    int FSeekResult = 0;
    bool FHavePending = false; // FPending holds a frame
    int64_t FPendingNs = 0;
    bool FCue = false; // deliver the frame a seek landed on at once, even while paused
    bool FEndReached = false;
    int FEndResult = 0;
    // The end is reported once the last frame delivered has had its time on screen: media time.
    int64_t FEndDueNs = 0;
    bool FCompletePosted = false;
    bool FDelivering = false; // a frame or event is on its way out with FMutex released
    bool FIdle = false;
    int64_t FIdleDeadlineNs = 0;
    // Stream time FMediaBaseNs is due at clock time FClockBaseNs; paused and stopped hold FMediaBaseNs.
    int64_t FMediaBaseNs = 0;
    int64_t FClockBaseNs = 0;
};
