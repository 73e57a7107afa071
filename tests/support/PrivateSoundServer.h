// PrivateSoundServer.h: a sound server of a test's own (PulseAudio with a null sink, private socket, no
// autospawn, stopped by process id) whose sink's monitor is recorded by parec, for tests that must hear what
// the program plays.
#pragma once

#include <gtest/gtest.h>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace sound_test {

using namespace std::chrono_literals;

inline pid_t Spawn(const std::vector<std::string>& args, int stdoutFd = -1) {
    const pid_t pid = fork();
    if (pid == 0) {
        if (stdoutFd >= 0) dup2(stdoutFd, 1);
        std::vector<char*> argv;
        for (const std::string& a : args)
            argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        execvp(argv[0], argv.data());
        _exit(127);
    }
    return pid;
}

inline void StopProcess(pid_t pid) {
    if (pid <= 0) return;
    kill(pid, SIGTERM);
    waitpid(pid, nullptr, 0);
}

// A sound server of the test's own, its null sink's monitor read by parec into time-stamped blocks.
class TPrivateSoundServer {
public:
    // dir: a folder of the test's own for the server's socket and state.
    explicit TPrivateSoundServer(const std::string& dir, bool keepAwake = true) {
        std::filesystem::create_directories(dir);
        const std::string socket = dir + "/native";
        setenv("XDG_RUNTIME_DIR", dir.c_str(), 1);
        setenv("HOME", dir.c_str(), 1);
        FAddress = "unix:" + socket;
        setenv("PULSE_SERVER", FAddress.c_str(), 1);
        FServer = Spawn({"pulseaudio", "-n", "--daemonize=no", "--exit-idle-time=-1", "--log-target=stderr",
                         "-L", "module-null-sink sink_name=lumatex_null", "-L",
                         "module-native-protocol-unix auth-anonymous=1 socket=" + socket});
        for (int i = 0; i < 100 && !std::filesystem::exists(socket); ++i)
            std::this_thread::sleep_for(50ms);
        Ready = std::filesystem::exists(socket);
        // A null sink that has just been woken holds its first stream for about two seconds; kept busy with
        // silence, it takes every later stream at once.
        if (!Ready || !keepAwake) return;
        FKeepAwake = Spawn({"pacat", "--raw", "--latency-msec=20", "/dev/zero"});
        std::this_thread::sleep_for(2500ms);
    }
    ~TPrivateSoundServer() {
        StopRecording();
        StopProcess(FKeepAwake);
        StopProcess(FServer);
        unsetenv("PULSE_SERVER");
    }
    // PULSE_SERVER again after a test that pointed it elsewhere.
    void Select() const { setenv("PULSE_SERVER", FAddress.c_str(), 1); }
    void StartRecording() {
        {
            std::lock_guard<std::mutex> guard(FMutex);
            FBlocks.clear();
        }
        int fds[2];
        ASSERT_EQ(pipe(fds), 0);
        FRecorder = Spawn({"parec", "-d", "lumatex_null.monitor", "--raw", "--format=s16le", "--rate=48000",
                           "--channels=1", "--latency-msec=10"},
                          fds[1]);
        close(fds[1]);
        FReader = std::thread([this, fd = fds[0]] {
            int16_t block[480];
            ssize_t got = 0;
            while ((got = read(fd, block, sizeof block)) > 0) {
                double sum = 0;
                int crossings = 0;
                const int n = static_cast<int>(got / 2);
                for (int i = 0; i < n; ++i) {
                    sum += double(block[i]) * block[i];
                    if (i > 0 && (block[i - 1] < 0) != (block[i] < 0)) ++crossings;
                }
                std::lock_guard<std::mutex> guard(FMutex);
                FBlocks.push_back(
                    {std::chrono::steady_clock::now(), std::sqrt(sum / std::max(n, 1)), crossings, n});
            }
            close(fd);
        });
    }
    void StopRecording() {
        StopProcess(FRecorder);
        FRecorder = -1;
        if (FReader.joinable()) FReader.join();
    }
    // The loudness (RMS) and the zero crossings a second recorded between two moments.
    std::pair<double, double> Between(std::chrono::steady_clock::time_point from,
                                      std::chrono::steady_clock::time_point to) {
        std::lock_guard<std::mutex> guard(FMutex);
        double sum = 0, crossings = 0, samples = 0;
        for (const TBlock& b : FBlocks)
            if (b.At >= from && b.At < to) {
                sum += b.Rms * b.Rms * b.Samples;
                crossings += b.Crossings;
                samples += b.Samples;
            }
        if (samples == 0) return {0, 0};
        return {std::sqrt(sum / samples), crossings * 48000 / samples};
    }
    // When each click began: the first loud block after a quiet stretch.
    std::vector<std::chrono::steady_clock::time_point> Onsets(double threshold) {
        std::lock_guard<std::mutex> guard(FMutex);
        std::vector<std::chrono::steady_clock::time_point> onsets;
        bool quiet = true;
        for (const TBlock& b : FBlocks) {
            // A block is stamped when read: its first sample was heard the block's length before.
            if (quiet && b.Rms > threshold)
                onsets.push_back(b.At - std::chrono::microseconds(b.Samples * 1000000LL / 48000));
            quiet = b.Rms < threshold / 4;
        }
        return onsets;
    }
    bool Ready = false;

private:
    struct TBlock {
        std::chrono::steady_clock::time_point At;
        double Rms;
        int Crossings, Samples;
    };
    pid_t FServer = -1, FRecorder = -1, FKeepAwake = -1;
    std::string FAddress;
    std::thread FReader;
    std::mutex FMutex;
    std::vector<TBlock> FBlocks;
};

} // namespace sound_test
