#include "video/FilterGraph.h"

#include "platform/ELumatex.h"
#include "video/DSTrackBar.h"
#include "video/SampleGrabber.h"
#include "video/VideoDecoder.h"
#include "video/VideoWindow.h"

extern "C" {
#include <libavutil/error.h>
}

#include <pthread.h>

#include <algorithm>
#include <exception>
#include <limits>

namespace {

constexpr const char* kGraphNotActiveText = "The video graph is not active";
constexpr int64_t kNsPerMs = 1000000;

} // namespace

TFilterGraph::TFilterGraph(std::shared_ptr<IVideoClock> clock)
    : FClock(clock ? std::move(clock) : std::make_shared<TSteadyVideoClock>()),
      FAlive(std::make_shared<char>()) {}

TFilterGraph::~TFilterGraph() {
    ClearGraph();
    if (FGrabber) {
        FGrabber->FGraph = nullptr;
        FGrabber->Disconnect();
    }
    if (FVideoWindow) FVideoWindow->FGraph = nullptr;
    if (FTrackBar) FTrackBar->FGraph = nullptr;
}

std::string TFilterGraph::ErrorText(int code) {
    return FFmpegErrorText(code);
}

void TFilterGraph::SetDispatcher(TDispatcher dispatcher) {
    std::lock_guard<std::mutex> guard(FMutex);
    FDispatcher = std::move(dispatcher);
}

void TFilterGraph::SetActive(bool active) {
    if (!active) ClearGraph();
    FActive = active;
}

bool TFilterGraph::OnStreamingThread() const {
    return std::this_thread::get_id() == FStreamThreadId;
}

void TFilterGraph::WakeLocked() {
    FIdle = false;
    FWake.notify_all();
}

void TFilterGraph::WaitWhileDelivering(std::unique_lock<std::mutex>& lock) {
    // A callback that calls back into the graph runs on the streaming thread: it must not wait for itself.
    if (OnStreamingThread()) return;
    FOwnerCv.wait(lock, [this] { return !FDelivering; });
}

void TFilterGraph::StopThread() {
    if (!FThread.joinable()) return;
    if (std::this_thread::get_id() == FThread.get_id())
        throw ELumatex("The video graph cannot be cleared from its own streaming thread");
    {
        std::lock_guard<std::mutex> guard(FMutex);
        FQuit = true;
        WakeLocked();
    }
    // A live source may be blocked in a read that nothing will ever answer.
    if (FDecoder) FDecoder->Abort();
    FThread.join();
}

void TFilterGraph::ClearGraph() {
    StopThread();
    FDecoder.reset();
    FFormat = TVideoFormat{};
    FDurationNs = 0;
    FFrameDurationNs = 0;
    FLive = false;
    FPending = TBitmap();
    std::lock_guard<std::mutex> guard(FMutex);
    FClock->MediaHalted();
    FState = TGraphState::Stopped;
    FStreamThreadId = std::thread::id();
    ++FGeneration;
    FQuit = false;
    FSeekRequested = false;
    FHavePending = false;
    FCue = false;
    FEndReached = false;
    FEndDueNs = 0;
    FCompletePosted = false;
    FLoopFailed = false;
    FLoopCount = 0;
    FIdle = false;
    FMediaBaseNs = 0;
    if (FGrabber) FGrabber->Disconnect();
}

void TFilterGraph::RenderFile(const std::string& path) {
    RenderSource(TVideoSource{TSourceKind::File, path});
}

void TFilterGraph::RenderSource(const TVideoSource& source) {
    if (!FActive)
        throw ELumatex(FormatText("%s ($%x).", kGraphNotActiveText, static_cast<unsigned>(AVERROR(EINVAL))));
    ClearGraph();
    auto decoder = std::make_unique<TVideoDecoder>();
    const int rc = decoder->Open(source);
    if (rc < 0) throw ELumatex(decoder->ErrorText(rc));
    RenderDecoder(std::move(decoder));
}

void TFilterGraph::RenderDecoder(std::unique_ptr<TVideoDecoder> decoder) {
    if (!FActive)
        throw ELumatex(FormatText("%s ($%x).", kGraphNotActiveText, static_cast<unsigned>(AVERROR(EINVAL))));
    ClearGraph();
    FFormat = decoder->Format();
    FDurationNs = decoder->DurationNs();
    FFrameDurationNs = decoder->FrameDurationNs();
    FLive = decoder->Live();
    FPending.SetSize(FFormat.Width, FFormat.Height, 24);
    FDecoder = std::move(decoder);
    {
        std::lock_guard<std::mutex> guard(FMutex);
        ++FGeneration;
        FClockBaseNs = FClock->NowNs();
        if (FGrabber) FGrabber->Connect(FFormat);
    }
    FThread = std::thread(&TFilterGraph::StreamLoop, this);
}

void TFilterGraph::SetLoop(bool loop) {
    std::lock_guard<std::mutex> guard(FMutex);
    FLoop = loop;
    FLoopFailed = false;
    WakeLocked();
}

bool TFilterGraph::Loop() const {
    std::lock_guard<std::mutex> guard(FMutex);
    return FLoop;
}

uint64_t TFilterGraph::LoopCount() const {
    std::lock_guard<std::mutex> guard(FMutex);
    return FLoopCount;
}

void TFilterGraph::Play() {
    std::lock_guard<std::mutex> guard(FMutex);
    if (FState == TGraphState::Running) return;
    FClockBaseNs = FClock->NowNs();
    FState = TGraphState::Running;
    FClock->MediaStarted(FMediaBaseNs, FClockBaseNs);
    // A run that starts at the end meets the end again and reports it again; a live source's end, once.
    if (FEndReached && !FHavePending && !FLive) FCompletePosted = false;
    WakeLocked();
}

void TFilterGraph::Pause() {
    std::unique_lock<std::mutex> lock(FMutex);
    if (FState == TGraphState::Running) FMediaBaseNs = MediaNowNs();
    FState = TGraphState::Paused;
    FClock->MediaHalted();
    WakeLocked();
    WaitWhileDelivering(lock);
}

void TFilterGraph::Stop() {
    std::unique_lock<std::mutex> lock(FMutex);
    if (FState == TGraphState::Running) FMediaBaseNs = MediaNowNs();
    FState = TGraphState::Stopped;
    FCue = false;
    FClock->MediaHalted();
    WakeLocked();
    WaitWhileDelivering(lock);
}

TGraphState TFilterGraph::State() const {
    std::lock_guard<std::mutex> guard(FMutex);
    return FState;
}

int64_t TFilterGraph::MediaNowNs() const {
    if (FState != TGraphState::Running) return FMediaBaseNs;
    int64_t now = FMediaBaseNs + (FClock->NowNs() - FClockBaseNs);
    if (now < 0) now = 0;
    if (FDurationNs > 0 && now > FDurationNs) now = FDurationNs;
    return now;
}

int64_t TFilterGraph::Position() const {
    if (!FDecoder) return 0;
    std::lock_guard<std::mutex> guard(FMutex);
    return MediaNowNs() / kNsPerMs;
}

int64_t TFilterGraph::Duration() const {
    return FDurationNs / kNsPerMs;
}

bool TFilterGraph::NativeVideoSize(int& width, int& height) const {
    if (!FDecoder) return false;
    width = FFormat.Width;
    height = FFormat.Height;
    return true;
}

void TFilterGraph::SetPosition(int64_t ms) {
    if (!Seekable()) return;
    std::unique_lock<std::mutex> lock(FMutex);
    const int64_t maxMs = std::numeric_limits<int64_t>::max() / kNsPerMs;
    int64_t targetNs = std::clamp<int64_t>(ms, 0, maxMs) * kNsPerMs;
    if (FDurationNs > 0 && targetNs > FDurationNs) targetNs = FDurationNs;
    FSeekRequested = true;
    FSeekTargetNs = targetNs;
    const uint64_t serial = ++FSeekSerial;
    ++FGeneration;
    // The position reads as the target at once; the clock restarts there.
    FMediaBaseNs = targetNs;
    FClockBaseNs = FClock->NowNs();
    if (FState == TGraphState::Running) FClock->MediaStarted(targetNs, FClockBaseNs);
    WakeLocked();
    if (OnStreamingThread()) return;
    FOwnerCv.wait(lock, [&] { return FSeekDoneSerial >= serial || FQuit; });
    const int rc = FSeekResult;
    if (FSeekDoneSerial == serial && rc < 0 && rc != AVERROR_EOF) throw ELumatex(ErrorText(rc));
}

bool TFilterGraph::WaitForIdle(std::chrono::milliseconds timeout) {
    std::unique_lock<std::mutex> lock(FMutex);
    if (!FThread.joinable()) return true;
    return FOwnerCv.wait_for(lock, timeout, [this] {
        return FIdle && !FSeekRequested && !FDelivering && FIdleDeadlineNs > FClock->NowNs();
    });
}

void TFilterGraph::AttachGrabber(TSampleGrabber* grabber) {
    std::unique_lock<std::mutex> lock(FMutex);
    if (FGrabber && FGrabber != grabber) {
        FGrabber->FGraph = nullptr;
        FGrabber->Disconnect();
    }
    FGrabber = grabber;
    if (FDecoder) grabber->Connect(FFormat);
    WaitWhileDelivering(lock);
}

void TFilterGraph::DetachGrabber(TSampleGrabber* grabber) {
    std::unique_lock<std::mutex> lock(FMutex);
    if (FGrabber != grabber) return;
    FGrabber = nullptr;
    grabber->Disconnect();
    // The streaming thread may be inside the grabber's callback with the pointer it took before.
    WaitWhileDelivering(lock);
}

void TFilterGraph::AttachVideoWindow(TVideoWindow* window) {
    std::unique_lock<std::mutex> lock(FMutex);
    if (FVideoWindow && FVideoWindow != window) FVideoWindow->FGraph = nullptr;
    FVideoWindow = window;
    WaitWhileDelivering(lock);
}

void TFilterGraph::DetachVideoWindow(TVideoWindow* window) {
    std::unique_lock<std::mutex> lock(FMutex);
    if (FVideoWindow != window) return;
    FVideoWindow = nullptr;
    WaitWhileDelivering(lock);
}

void TFilterGraph::AttachTrackBar(TDSTrackBar* bar) {
    if (FTrackBar && FTrackBar != bar) FTrackBar->FGraph = nullptr;
    FTrackBar = bar;
}

void TFilterGraph::DetachTrackBar(TDSTrackBar* bar) {
    if (FTrackBar == bar) FTrackBar = nullptr;
}

void TFilterGraph::DeliverPending(std::unique_lock<std::mutex>& lock) {
    TSampleGrabber* grabber = FGrabber;
    TVideoWindow* window = FVideoWindow;
    const double sampleTime = static_cast<double>(FPendingNs) / 1e9;
    FEndDueNs = FPendingNs + FFrameDurationNs;
    FHavePending = false;
    FCue = false;
    FDelivering = true;
    lock.unlock();
    // The receivers are the owner's code: whatever they throw must not end the streaming thread.
    try {
        if (grabber)
            grabber->DeliverSample(sampleTime, FPending.Data(), static_cast<int32_t>(FPending.DataSize()));
    } catch (...) {
    }
    try {
        // The view takes the frame itself and hands back its previous one to be filled next: no copy.
        if (window) window->TakeFrame(FPending);
    } catch (...) {
    }
    lock.lock();
    FDelivering = false;
    FOwnerCv.notify_all();
}

void TFilterGraph::PostComplete(std::unique_lock<std::mutex>& lock) {
    FCompletePosted = true;
    if (!FDispatcher) return;
    TDispatcher dispatcher = FDispatcher;
    const uint64_t generation = FGeneration;
    const int32_t result = FEndResult;
    std::weak_ptr<char> alive = FAlive;
    FDelivering = true;
    lock.unlock();
    try {
        dispatcher([this, alive, generation, result] {
            if (alive.expired()) return;
            {
                // A clear, a new file or a seek since the end makes this end stale.
                std::lock_guard<std::mutex> guard(FMutex);
                if (generation != FGeneration) return;
            }
            if (OnGraphComplete) OnGraphComplete(this, result, nullptr);
        });
    } catch (...) {
    }
    lock.lock();
    FDelivering = false;
    FOwnerCv.notify_all();
}

int TFilterGraph::ConvertPending() {
    // After a hand-over the view may have given back an empty frame (it had none yet).
    if (FPending.Width() != FFormat.Width || FPending.Height() != FFormat.Height ||
        FPending.BitsPerPixel() != 24) {
        try {
            FPending.SetSize(FFormat.Width, FFormat.Height, 24);
        } catch (const std::exception&) {
            return AVERROR(ENOMEM); // the frame is skipped; nothing may escape the streaming thread
        }
    }
    return FDecoder->Convert(FPending.Data());
}

bool TFilterGraph::WaitForMediaTime(std::unique_lock<std::mutex>& lock, int64_t mediaNs) {
    const int64_t dueNs = FClockBaseNs + (mediaNs - FMediaBaseNs);
    if (FClock->NowNs() >= dueNs) return false;
    FIdle = true;
    FIdleDeadlineNs = dueNs;
    FOwnerCv.notify_all();
    FClock->WaitUntil(lock, FWake, dueNs);
    FIdle = false;
    return true;
}

void TFilterGraph::DecodeNext(std::unique_lock<std::mutex>& lock) {
    lock.unlock();
    int64_t mediaNs = 0;
    const int rc = FDecoder->Decode(mediaNs);
    // A frame that cannot be converted is skipped like a broken one.
    const bool converted = rc == 0 && ConvertPending() == 0;
    lock.lock();
    if (FSeekRequested) return; // the frame belongs before the seek
    if (rc < 0) {
        FEndReached = true;
        FEndResult = rc == AVERROR_EOF ? 0 : rc;
    } else if (converted) {
        FHavePending = true;
        FPendingNs = mediaNs;
    }
}

void TFilterGraph::LoopToStart(std::unique_lock<std::mutex>& lock) {
    // The first frame is due when the last one's time is over, as if the file went on: no pause, and the
    // pacing of every later frame follows from there.
    const int64_t restartClockNs = FClockBaseNs + (FEndDueNs - FMediaBaseNs);
    const uint64_t generation = FGeneration;
    lock.unlock();
    int64_t landedNs = 0;
    const int rc = FDecoder->Seek(0, landedNs);
    const bool converted = rc == 0 && ConvertPending() == 0;
    lock.lock();
    // A seek or a new file of the owner's came in between: it decides where the stream goes on.
    if (FSeekRequested || generation != FGeneration) return;
    if (rc < 0) {
        FLoopFailed = true; // reported as the end on the next turn
        return;
    }
    ++FLoopCount;
    FEndReached = false;
    FEndResult = 0;
    FHavePending = converted;
    FPendingNs = landedNs;
    FEndDueNs = landedNs + FFrameDurationNs;
    if (FState == TGraphState::Running) {
        FClockBaseNs = restartClockNs;
        FClock->MediaStarted(0, restartClockNs);
    }
    FMediaBaseNs = 0;
}

void TFilterGraph::StreamLoop() {
    pthread_setname_np(pthread_self(), "lumatex-video");
    std::unique_lock<std::mutex> lock(FMutex);
    FStreamThreadId = std::this_thread::get_id();
    while (!FQuit) {
        if (FSeekRequested) {
            const int64_t targetNs = FSeekTargetNs;
            const uint64_t serial = FSeekSerial;
            FSeekRequested = false;
            lock.unlock();
            int64_t landedNs = 0;
            int rc = FDecoder->Seek(targetNs, landedNs);
            const bool converted = rc == 0 && ConvertPending() == 0;
            lock.lock();
            FSeekDoneSerial = serial;
            FSeekResult = rc;
            FHavePending = converted;
            FPendingNs = landedNs;
            FCue = converted;
            FEndReached = rc < 0;
            FEndResult = rc == AVERROR_EOF ? 0 : rc;
            FEndDueNs = rc < 0 ? 0 : landedNs + FFrameDurationNs;
            FCompletePosted = false;
            FOwnerCv.notify_all();
            continue;
        }
        const bool running = FState == TGraphState::Running;
        // A live source is read on while it waits: the newest frame replaces the one waiting, and nothing
        // piles up in the source's buffers.
        if (!FEndReached && (!FHavePending || (FLive && !running))) {
            DecodeNext(lock);
            continue;
        }
        if (FHavePending && (running || (FState == TGraphState::Paused && FCue))) {
            // A live frame is shown as soon as it is there: it is late already.
            if (running && !FCue && !FLive && WaitForMediaTime(lock, FPendingNs)) continue;
            DeliverPending(lock);
            continue;
        }
        if (FLive && FEndReached && !FCompletePosted) {
            // A live source ends only when it fails or stops sending: told at once, paused or not.
            PostComplete(lock);
            continue;
        }
        if (running && FEndReached && !FHavePending && !FCompletePosted) {
            if (FLoop && !FLoopFailed && FEndResult == 0) {
                LoopToStart(lock);
                continue;
            }
            // Reported at once, the end would overtake the last frame on its way to the screen.
            if (WaitForMediaTime(lock, FEndDueNs)) continue;
            PostComplete(lock);
            continue;
        }
        FIdle = true;
        FIdleDeadlineNs = std::numeric_limits<int64_t>::max();
        FOwnerCv.notify_all();
        FWake.wait(lock);
        FIdle = false;
    }
    FIdle = false;
    FOwnerCv.notify_all();
}
