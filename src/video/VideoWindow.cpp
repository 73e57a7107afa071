#include "video/VideoWindow.h"

#include "video/FilterGraph.h"

#include <algorithm>
#include <cstring>

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

void TVideoWindow::DeliverFrame(const TVideoFormat& format, const uint8_t* buffer, size_t length) {
    if (!format.Valid()) return;
    {
        std::lock_guard<std::mutex> back(FBackMutex);
        const size_t imageSize = format.ImageSize();
        if (FBack.Width() != format.Width || FBack.Height() != format.Height || FBack.DataSize() != imageSize)
            FBack.SetSize(format.Width, format.Height, 24);
        size_t count = std::min(length, imageSize);
        if (buffer && count > 0)
            std::memcpy(FBack.Data(), buffer, count);
        else
            count = 0;
        if (count < imageSize) std::memset(FBack.Data() + count, 0, imageSize - count);
        std::lock_guard<std::mutex> guard(FMutex);
        FFrame.Swap(FBack);
        ++FCount;
    }
    if (OnNewFrame) OnNewFrame();
}
