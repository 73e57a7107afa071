// LiveSender.h: TLiveSender, the far side of a live output: a worker thread that opens the target with the
// first picture (an FFmpeg output address as H.264 at low latency, raw YUV4MPEG into a .y4m file or to
// standard output for "-", or a V4L2 loopback device), converts and encodes each picture handed to it, and
// finishes the target when stopped (a .y4m file renamed into place). The thread handing pictures over never
// waits: the queue holds kQueueDepth pictures and drops the oldest when the worker falls behind. A failure
// (an address nobody answers within kOpenLimitNs, an encoder or device that stops taking frames) ends the
// worker with one message, read through Status.
// Push, TakeSpare, Status and Stop from one thread (the GUI's); no GL.
#pragma once

#include "pipeline/MediaFiles.h"

#include <cstdint>
#include <memory>
#include <string>

class TBitmap;

// What a live output can be sent to: an FFmpeg output address (udp://, srt://, rtmp://, rtsp://), a .y4m
// file, "-" (standard output) or a V4L2 device (/dev/videoN).
bool IsLiveTarget(const std::string& target);
// Why target cannot take a live output, as a line for the user; empty when it can as far as can be told
// before sending (a device is opened and looked at, a file's folder must exist; an address is only known
// once it answers).
std::string LiveTargetProblem(const std::string& target);

enum class TSendState { Opening, Sending, Failed, Stopped };

struct TSendStatus {
    TSendState State = TSendState::Opening;
    std::string Error; // for Failed: the message, naming the target
    int64_t Written = 0;
    int64_t Dropped = 0; // pictures the worker had no time for
};

class TLiveSender {
public:
    static constexpr size_t kQueueDepth = 2;
    static constexpr int64_t kOpenLimitNs = 5'000'000'000;

    TLiveSender();
    ~TLiveSender(); // Stop
    TLiveSender(const TLiveSender&) = delete;
    TLiveSender& operator=(const TLiveSender&) = delete;

    // Starts the worker, which opens target at size with the rate of one frame per frameDurationNs.
    void Start(const std::string& target, TPixelSize size, int64_t frameDurationNs);
    // A picture of the started size (32-bit blue, green, red, alpha, bottom row first) shown at mediaNs;
    // never waits. Taken into the queue unless the worker has failed or stopped.
    void Push(TBitmap&& picture, int64_t mediaNs);
    // A bitmap the worker is done with, to be filled with the next picture (no allocation per frame); an
    // empty one when none is free.
    TBitmap TakeSpare();
    TSendStatus Status() const;
    // Ends the worker: an open still waiting is given up, the pictures queued are dropped, the target is
    // finished. Waits for the worker; a no-op when not started.
    void Stop();

private:
    struct TState;
    std::unique_ptr<TState> S;
};
