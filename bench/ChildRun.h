// ChildRun.h: one run of another program for the benchmarks that compare against it: its wall time, its
// peak resident size (the kernel's count, so nothing of the bench's own process is mixed in) and its exit
// status. Header only; each bench program is a single source.
#pragma once

#include <chrono>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

struct TChildRun {
    double Ms = -1.0;
    double PeakKiB = -1.0;
    int Status = -1; // the exit status; -1 when it did not start or did not end normally
};

// Runs arguments[0] (a path) with the rest as its arguments and waits for it.
inline TChildRun RunChild(const std::vector<std::string>& arguments) {
    std::vector<char*> argv;
    for (const std::string& a : arguments)
        argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    const auto start = std::chrono::steady_clock::now();
    TChildRun run;
    const pid_t child = fork();
    if (child == 0) {
        execv(argv[0], argv.data());
        _exit(127);
    }
    if (child < 0) return run;
    int status = 0;
    rusage usage{};
    if (wait4(child, &status, 0, &usage) != child) return run;
    run.Ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    run.PeakKiB = double(usage.ru_maxrss);
    run.Status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return run;
}
