// VideoClock.h: the time base the streaming thread paces frames against. The program uses the steady
// clock; tests drive a manual clock so that pacing is exact, and the benchmark a free-running one that
// never sleeps. Clocks are shared between the owner's thread and the streaming thread.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <utility>
#include <vector>

class IVideoClock {
public:
    virtual ~IVideoClock() = default;
    virtual int64_t NowNs() const = 0;
    // Called with `lock` held; returns once NowNs() >= deadlineNs or when `wake` is notified (the caller
    // re-checks its state either way). Releases the lock while it sleeps, never spins.
    virtual void WaitUntil(std::unique_lock<std::mutex>& lock, std::condition_variable& wake,
                           int64_t deadlineNs) = 0;
    // The graph tells a clock that follows the sound where the stream goes: from mediaNs at clock time
    // clockNs (a play, a seek while playing, a loop's restart), or nowhere (paused, stopped, cleared).
    virtual void MediaStarted(int64_t /*mediaNs*/, int64_t /*clockNs*/) {}
    virtual void MediaHalted() {}
};

// std::chrono::steady_clock in nanoseconds.
class TSteadyVideoClock : public IVideoClock {
public:
    int64_t NowNs() const override;
    void WaitUntil(std::unique_lock<std::mutex>& lock, std::condition_variable& wake,
                   int64_t deadlineNs) override;
};

// Time moves only when Advance is called, which wakes every sleeper. Advance must not run concurrently with
// the destruction of an object that sleeps on this clock (in tests both happen on the test thread).
class TManualVideoClock : public IVideoClock {
public:
    explicit TManualVideoClock(int64_t startNs = 0) : FNow(startNs) {}
    int64_t NowNs() const override { return FNow.load(); }
    void WaitUntil(std::unique_lock<std::mutex>& lock, std::condition_variable& wake,
                   int64_t deadlineNs) override;
    void Advance(int64_t ns);
    void AdvanceMs(int64_t ms) { Advance(ms * 1000000); }

private:
    std::atomic<int64_t> FNow;
    std::mutex FMutex; // guards FSleepers; always taken after a sleeper's own mutex, never before it
    std::vector<std::pair<std::mutex*, std::condition_variable*>> FSleepers;
};

// Never sleeps: every wait moves the time to its deadline at once, so frames flow as fast as they decode
// while their times stay those of the stream.
class TFreeRunVideoClock : public IVideoClock {
public:
    int64_t NowNs() const override { return FNow.load(); }
    void WaitUntil(std::unique_lock<std::mutex>& lock, std::condition_variable& wake,
                   int64_t deadlineNs) override;

private:
    std::atomic<int64_t> FNow{0};
};
