// VideoRenderThread.h: TVideoRenderThread, "Render Video..." off the GUI thread: a thread of its own with a
// headless OpenGL context and an engine of its own, built from a snapshot of the chain (a preset file
// written when the render starts), renders the video file frame by frame into the chosen file
// (TClipRender). The GUI's context is never touched from two threads, and the main window goes on playing
// while it runs. Made, polled and cancelled on the GUI thread; no Qt.
#pragma once

#include "pipeline/ClipRender.h"

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

struct TVideoRenderRequest {
    std::string Input;  // the open video file
    std::string Output; // the chosen video file
    TPixelSize Size;
    std::string PresetFile; // the chain's snapshot; removed once the render is over
    std::vector<std::string> DataFolders;
    int FboSize = 0;
    bool HighPrecision = false;
};

class TVideoRenderThread {
public:
    // Starts at once.
    explicit TVideoRenderThread(TVideoRenderRequest request);
    // Cancels a render still running and waits for it: nothing is left under the output's name.
    ~TVideoRenderThread();
    TVideoRenderThread(const TVideoRenderThread&) = delete;
    TVideoRenderThread& operator=(const TVideoRenderThread&) = delete;

    void Cancel() { FCancel.store(true); }
    bool Finished() const { return FFinished.load(); }
    int64_t FramesDone() const { return FDone.load(); }
    int64_t FramesTotal() const { return FTotal.load(); } // -1 while not known

    // Once Finished: how it ended, and why it failed (empty when it did not), naming the output.
    TClipRenderResult Result() const { return FResult; }
    const std::string& Error() const { return FError; }
    const TVideoRenderRequest& Request() const { return FRequest; }

private:
    void Run();
    void Render();

    TVideoRenderRequest FRequest;
    std::atomic<bool> FCancel{false};
    std::atomic<bool> FFinished{false};
    std::atomic<int64_t> FDone{0};
    std::atomic<int64_t> FTotal{-1};
    // Written by the thread before FFinished is set, read after.
    TClipRenderResult FResult = TClipRenderResult::Done;
    std::string FError;
    std::thread FThread;
};
