#include "video/SampleGrabber.h"

#include "video/FilterGraph.h"

#include <algorithm>
#include <cstring>

TSampleGrabber::~TSampleGrabber() {
    SetFilterGraph(nullptr);
}

void TSampleGrabber::SetFilterGraph(TFilterGraph* graph) {
    if (graph == FGraph) return;
    if (FGraph) FGraph->DetachGrabber(this);
    FGraph = graph;
    if (FGraph) FGraph->AttachGrabber(this);
}

TVideoFormat TSampleGrabber::ConnectedType() const {
    std::lock_guard<std::mutex> guard(FTypeMutex);
    return FConnected;
}

void TSampleGrabber::Connect(const TVideoFormat& format) {
    std::lock_guard<std::mutex> guard(FTypeMutex);
    FConnected = format;
}

void TSampleGrabber::Disconnect() {
    Connect(TVideoFormat{});
}

bool TSampleGrabber::CopyToBitmap(TBitmap& bitmap, const uint8_t* buffer, int32_t length) const {
    const TVideoFormat format = ConnectedType();
    if (!format.Valid()) return false;
    const size_t imageSize = format.ImageSize();
    // Same size as before: reuse the pixel store instead of a fresh zeroed one for every frame.
    if (bitmap.Width() != format.Width || bitmap.Height() != format.Height || bitmap.BitsPerPixel() != 24 ||
        bitmap.DataSize() != imageSize)
        bitmap.SetSize(format.Width, format.Height, 24);
    const size_t count = buffer && length > 0 ? std::min(static_cast<size_t>(length), imageSize) : 0;
    if (count > 0) std::memcpy(bitmap.Data(), buffer, count);
    if (count < imageSize) std::memset(bitmap.Data() + count, 0, imageSize - count);
    return true;
}

void TSampleGrabber::DeliverSample(double sampleTime, const uint8_t* buffer, int32_t length) {
    std::lock_guard<std::mutex> guard(FLock);
    if (OnBuffer) OnBuffer(this, sampleTime, buffer, length);
}
