// ThreadCpu.h: the CPU time one of the process's threads has run, found by the name it gave itself. Header
// only, for the benchmarks that split a process's CPU by thread.
#pragma once

#include <filesystem>
#include <fstream>
#include <string>

namespace bench_cpu {

// Exactly (schedstat, not the sampled ticks of stat); -1 when no thread has this name.
inline double NamedThreadCpuSeconds(const std::string& name) {
    for (const auto& task : std::filesystem::directory_iterator("/proc/self/task")) {
        std::string comm;
        std::getline(std::ifstream(task.path() / "comm"), comm);
        if (comm != name) continue;
        unsigned long long ns = 0;
        std::ifstream(task.path() / "schedstat") >> ns;
        return double(ns) / 1e9;
    }
    return -1.0;
}

} // namespace bench_cpu
