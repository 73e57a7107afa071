// SampleGrabber.h: the frame tap of the video graph. While attached to a graph it receives every decoded
// frame on the graph's streaming thread, with its own lock held, and passes it to OnBuffer. Attach, detach
// and OnBuffer belong to the owner's thread; CopyToBitmap may be called from either thread.
#pragma once

#include "platform/Bitmap.h"
#include "video/VideoFormat.h"

#include <cstdint>
#include <functional>
#include <mutex>

class TFilterGraph;

class TSampleGrabber {
public:
    // sender, sample time in seconds from the start of the stream, the frame in the layout of
    // VideoFormat.h, its length in bytes. Runs on the streaming thread; it must never wait for the owner's
    // thread (post to it instead).
    using TBufferEvent =
        std::function<void(TSampleGrabber* sender, double sampleTime, const uint8_t* buffer, int32_t length)>;

    TSampleGrabber() = default;
    ~TSampleGrabber(); // detaches
    TSampleGrabber(const TSampleGrabber&) = delete;
    TSampleGrabber& operator=(const TSampleGrabber&) = delete;

    // Set before attaching; not changed while attached to a playing graph.
    TBufferEvent OnBuffer;

    // Attaches to graph, or detaches with nullptr. Returns once no frame is being delivered to this grabber.
    void SetFilterGraph(TFilterGraph* graph);

    // The frame layout agreed with the graph's open file; invalid (0 x 0) while there is none.
    TVideoFormat ConnectedType() const;
    void Connect(const TVideoFormat& format); // the graph calls these; tests may stand in for it
    void Disconnect();

    // Gives bitmap the connected size (24 bits, bottom-up) and copies min(length, image size) bytes of
    // buffer into it; bytes the buffer does not cover are black. False, and the bitmap untouched, when
    // nothing is connected. Raises ELumatex when the bitmap cannot take the size.
    bool CopyToBitmap(TBitmap& bitmap, const uint8_t* buffer, int32_t length) const;

    // The streaming thread's entry: OnBuffer under the grabber's lock.
    void DeliverSample(double sampleTime, const uint8_t* buffer, int32_t length);

private:
    friend class TFilterGraph;
    TFilterGraph* FGraph = nullptr;
    std::mutex FLock;              // held around every OnBuffer call
    mutable std::mutex FTypeMutex; // separate from FLock: CopyToBitmap runs inside OnBuffer
    TVideoFormat FConnected;
};
