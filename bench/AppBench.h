// AppBench.h: the few helpers the desktop program's benchmarks share: wall time, medians, and letting the
// program's event loop run for a while. Header only; each bench program is a single source.
#pragma once

#include <QEventLoop>
#include <QTimer>

#include <algorithm>
#include <chrono>
#include <vector>

namespace app_bench {

using Clock = std::chrono::steady_clock;

inline double MsSince(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

inline double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values.empty() ? 0.0 : values[values.size() / 2];
}

// Runs the event loop for ms milliseconds: timers, repaints and idle frames go on meanwhile.
inline void RunLoop(int ms) {
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

} // namespace app_bench
