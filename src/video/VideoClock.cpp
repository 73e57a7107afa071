#include "video/VideoClock.h"

#include <algorithm>
#include <chrono>

int64_t TSteadyVideoClock::NowNs() const {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

void TSteadyVideoClock::WaitUntil(std::unique_lock<std::mutex>& lock, std::condition_variable& wake,
                                  int64_t deadlineNs) {
    const std::chrono::steady_clock::time_point deadline{std::chrono::nanoseconds(deadlineNs)};
    wake.wait_until(lock, deadline);
}

void TManualVideoClock::WaitUntil(std::unique_lock<std::mutex>& lock, std::condition_variable& wake,
                                  int64_t deadlineNs) {
    {
        // Registering under FMutex after checking the time closes the gap in which an Advance could be
        // missed: either it happened before (the check sees it) or it finds this sleeper in the list and
        // has to take the sleeper's mutex, which the sleeper only gives up inside wait().
        std::lock_guard<std::mutex> guard(FMutex);
        if (FNow.load() >= deadlineNs) return;
        FSleepers.emplace_back(lock.mutex(), &wake);
    }
    wake.wait(lock);
    std::lock_guard<std::mutex> guard(FMutex);
    auto it = std::find(FSleepers.begin(), FSleepers.end(), std::make_pair(lock.mutex(), &wake));
    if (it != FSleepers.end()) FSleepers.erase(it);
}

void TManualVideoClock::Advance(int64_t ns) {
    std::vector<std::pair<std::mutex*, std::condition_variable*>> sleepers;
    {
        std::lock_guard<std::mutex> guard(FMutex);
        FNow.fetch_add(ns);
        sleepers = FSleepers;
    }
    // FMutex is released first: sleepers take it while holding their own mutex.
    for (auto& [mutex, wake] : sleepers) {
        std::lock_guard<std::mutex> guard(*mutex);
        wake->notify_all();
    }
}

void TFreeRunVideoClock::WaitUntil(std::unique_lock<std::mutex>&, std::condition_variable&,
                                   int64_t deadlineNs) {
    int64_t now = FNow.load();
    while (now < deadlineNs && !FNow.compare_exchange_weak(now, deadlineNs)) {
    }
}
