#include "pipeline/LiveSender.h"

#include "pipeline/V4L2Writer.h"
#include "pipeline/VideoEncoder.h"
#include "platform/Bitmap.h"
#include "platform/ELumatex.h"
#include "platform/Files.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>

#include <pthread.h>
#include <sched.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace {

constexpr size_t kSpareCount = TLiveSender::kQueueDepth + 2;

int64_t NowNs() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

struct TQueued {
    TBitmap Picture;
    int64_t MediaNs = 0;
};

} // namespace

bool IsLiveTarget(const std::string& target) {
    return IsOutputAddress(target) || IsY4mName(target) || IsV4L2DevicePath(target);
}

std::string LiveTargetProblem(const std::string& target) {
    if (IsV4L2DevicePath(target)) return V4L2OutputProblem(target);
    if (IsOutputAddress(target) || target == "-") return {};
    if (!IsY4mName(target))
        return "cannot send to " + target +
               ": give an address (udp://, srt://, rtmp://, rtsp://), a .y4m file, - or /dev/videoN";
    const size_t slash = target.find_last_of('/');
    const std::string folder = slash == std::string::npos ? std::string() : target.substr(0, slash + 1);
    if (!folder.empty() && !DirectoryExists(folder))
        return "cannot write " + target + ": no such folder " + folder;
    return {};
}

struct TLiveSender::TState {
    std::string Target;
    TPixelSize Size;
    int64_t FrameDurationNs = 0;
    std::thread Worker;
    std::atomic<bool> StopAsked{false};
    std::atomic<int64_t> OpenDeadlineNs{0}; // 0 once open
    mutable std::mutex Lock;                // guards everything below
    std::condition_variable Wake;
    std::deque<TQueued> Queue;
    std::vector<TBitmap> Spares;
    TSendStatus Status;
    // The worker's own: only one of them is open.
    std::unique_ptr<TVideoEncoder> Encoder;
    std::unique_ptr<TV4L2Writer> Device;

    void Run() {
        YieldToTheDrawingThread();
        if (!Attempt([this] { OpenTarget(); })) return;
        SetState(TSendState::Sending);
        for (;;) {
            TQueued next;
            {
                std::unique_lock<std::mutex> hold(Lock);
                Wake.wait(hold, [this] { return StopAsked.load() || !Queue.empty(); });
                if (StopAsked) break;
                next = std::move(Queue.front());
                Queue.pop_front();
            }
            if (!Attempt([&] { WriteOne(next); })) return;
            std::lock_guard<std::mutex> hold(Lock);
            ++Status.Written;
            if (Spares.size() < kSpareCount) Spares.push_back(std::move(next.Picture));
        }
        if (Attempt([this] { Finish(); })) SetState(TSendState::Stopped);
    }

    // Runs step; a failure ends the sending with its message (or quietly when a stop caused it).
    template <class TStep> bool Attempt(TStep step) {
        try {
            step();
            return true;
        } catch (const std::exception& e) {
            Encoder.reset(); // a file's scratch name goes with it
            Device.reset();
            std::lock_guard<std::mutex> hold(Lock);
            Queue.clear();
            Status.State = StopAsked && OpenDeadlineNs != 0 ? TSendState::Stopped : TSendState::Failed;
            if (Status.State == TSendState::Failed) Status.Error = e.what();
            return false;
        }
    }

    // Woken by each picture, the worker would otherwise take the core from the thread that handed it over
    // (the GUI's, in the middle of its frame) for the whole encoding. A batch thread is never preferred on
    // waking, and a little nicer: it encodes in the time the drawing leaves. Best effort, no privilege
    // needed.
    static void YieldToTheDrawingThread() {
        sched_param none{};
        pthread_setschedparam(pthread_self(), SCHED_BATCH, &none);
        setpriority(PRIO_PROCESS, pid_t(syscall(SYS_gettid)), 5);
    }

    void SetState(TSendState state) {
        std::lock_guard<std::mutex> hold(Lock);
        Status.State = state;
    }

    void OpenTarget() {
        OpenDeadlineNs = NowNs() + kOpenLimitNs;
        if (IsV4L2DevicePath(Target)) {
            Device = std::make_unique<TV4L2Writer>();
            Device->Open(Target, Size, FrameDurationNs);
        } else {
            TVideoEncodeOptions options;
            options.LowLatency = IsOutputAddress(Target);
            // An open that waits on the network gives up at the time limit or when the sending is stopped;
            // once open, the encoder's own time limit on writes holds, so that a stop still finishes the
            // stream properly.
            options.Interrupt = [this] {
                const int64_t deadline = OpenDeadlineNs;
                return deadline != 0 && (StopAsked.load() || NowNs() > deadline);
            };
            Encoder = std::make_unique<TVideoEncoder>();
            if (Target == "-" || IsOutputAddress(Target))
                Encoder->OpenAddress(Target, MuxerForAddress(Target), Size, FrameDurationNs, options);
            else
                Encoder->Open(Target, Size, FrameDurationNs, options);
        }
        OpenDeadlineNs = 0;
    }

    void WriteOne(const TQueued& queued) {
        if (Device)
            Device->WriteFrame(queued.Picture);
        else
            Encoder->WriteFrame(queued.Picture, queued.MediaNs);
    }

    void Finish() {
        if (Encoder) Encoder->Finish();
        Encoder.reset();
        Device.reset();
    }
};

TLiveSender::TLiveSender() : S(std::make_unique<TState>()) {}

TLiveSender::~TLiveSender() {
    Stop();
}

void TLiveSender::Start(const std::string& target, TPixelSize size, int64_t frameDurationNs) {
    if (S->Worker.joinable()) return;
    S->Target = target;
    S->Size = size;
    S->FrameDurationNs = frameDurationNs;
    S->Worker = std::thread([state = S.get()] { state->Run(); });
}

void TLiveSender::Push(TBitmap&& picture, int64_t mediaNs) {
    {
        std::lock_guard<std::mutex> hold(S->Lock);
        const TSendState state = S->Status.State;
        if (state == TSendState::Failed || state == TSendState::Stopped || S->StopAsked) return;
        if (S->Queue.size() >= kQueueDepth) {
            // The newest picture matters most to whoever watches: the oldest goes.
            if (S->Spares.size() < kSpareCount) S->Spares.push_back(std::move(S->Queue.front().Picture));
            S->Queue.pop_front();
            ++S->Status.Dropped;
        }
        S->Queue.push_back(TQueued{std::move(picture), mediaNs});
    }
    S->Wake.notify_one();
}

TBitmap TLiveSender::TakeSpare() {
    std::lock_guard<std::mutex> hold(S->Lock);
    if (S->Spares.empty()) return TBitmap();
    TBitmap spare = std::move(S->Spares.back());
    S->Spares.pop_back();
    return spare;
}

TSendStatus TLiveSender::Status() const {
    std::lock_guard<std::mutex> hold(S->Lock);
    return S->Status;
}

void TLiveSender::Stop() {
    if (!S || !S->Worker.joinable()) return;
    {
        std::lock_guard<std::mutex> hold(S->Lock);
        S->StopAsked = true;
        S->Queue.clear();
    }
    S->Wake.notify_one();
    S->Worker.join();
}
