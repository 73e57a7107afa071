// AudioCapture.h: listening to an input device of the sound server for sound-reactive effects. A thread of
// its own records 10 ms at a time into an analyser; the features are those of the latest sound recorded.
// A device that vanishes or a server that goes away ends the recording with one status text: the caller's
// picture never waits for it.
// Open, Close, Features and StatusText on the owner's thread.
#pragma once

#include "platform/AudioFeatures.h"
#include "video/AudioAnalyser.h"

#include <atomic>
#include <mutex>
#include <string>
#include <thread>

class TAudioCapture {
public:
    TAudioCapture();
    ~TAudioCapture();
    TAudioCapture(const TAudioCapture&) = delete;
    TAudioCapture& operator=(const TAudioCapture&) = delete;

    // Starts recording the named source; what fails (no server, no such device) shows in StatusText.
    void Open(const std::string& sourceName);
    void Close();
    // All zero while nothing was recorded, and again once the recording ended.
    TAudioFeatures Features();
    std::string StatusText() const;

private:
    void Run(std::string sourceName);

    std::thread FThread;
    std::atomic<bool> FQuit{false};
    std::atomic<bool> FRecording{false};
    TAudioAnalyser FAnalyser;
    mutable std::mutex FMutex;
    std::string FStatus; // guarded by FMutex
};
