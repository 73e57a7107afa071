#include "video/VideoWindow.h"

#include "video/FilterGraph.h"

TVideoWindow::~TVideoWindow() {
    SetFilterGraph(nullptr);
}

void TVideoWindow::SetFilterGraph(TFilterGraph* graph) {
    if (graph == FGraph) return;
    if (FGraph) FGraph->DetachVideoWindow(this);
    FGraph = graph;
    if (FGraph) FGraph->AttachVideoWindow(this);
}

bool TVideoWindow::CopyFrame(TBitmap& out) const {
    std::lock_guard<std::mutex> guard(FMutex);
    if (FFrame.Empty()) return false;
    out = FFrame;
    return true;
}

uint64_t TVideoWindow::FrameCount() const {
    std::lock_guard<std::mutex> guard(FMutex);
    return FCount;
}

void TVideoWindow::TakeFrame(TBitmap& frame) {
    {
        std::lock_guard<std::mutex> guard(FMutex);
        FFrame.Swap(frame);
        ++FCount;
    }
    if (OnNewFrame) OnNewFrame();
}
