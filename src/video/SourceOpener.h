// SourceOpener.h: opens a source on a thread of its own, so that an address that answers slowly or never
// does not hold the owner's thread; the owner polls Finished, may Cancel, and takes the opened decoder for
// TFilterGraph::RenderDecoder. One open per opener. Owner's thread for every call.
#pragma once

#include "video/VideoSource.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <thread>

class TVideoDecoder;

class TSourceOpener {
public:
    TSourceOpener();
    ~TSourceOpener(); // cancels an open still running and waits for its thread (it returns quickly then)
    TSourceOpener(const TSourceOpener&) = delete;
    TSourceOpener& operator=(const TSourceOpener&) = delete;

    void Start(const TVideoSource& source, int64_t openLimitNs);
    bool Finished() const { return FFinished.load(); }
    // The open ends soon after with AVERROR_EXIT; Cancelled() then tells it from a time limit.
    void Cancel();
    bool Cancelled() const { return FCancelled.load(); }
    // Once finished: 0 or the error the open returned, and what it means.
    int Result() const { return FResult; }
    std::string ErrorText() const;
    // Once finished with 0: the decoder, ready to play.
    std::unique_ptr<TVideoDecoder> Take();

private:
    std::unique_ptr<TVideoDecoder> FDecoder;
    std::thread FThread;
    std::atomic<bool> FFinished{false};
    std::atomic<bool> FCancelled{false};
    int FResult = 0; // written by the thread before FFinished
};
