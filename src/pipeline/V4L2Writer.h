// V4L2Writer.h: TV4L2Writer, the processed frames written to a V4L2 loopback device (/dev/videoN made by
// v4l2loopback), so that video-call programs and OBS see them as a camera: the device is checked to be a
// video output that takes write(), set to YUYV (or I420 when it refuses YUYV) at the picture's size, and
// each frame is converted and written whole. Plain Linux headers, no library beyond libswscale.
// One thread at a time; no GL.
#pragma once

#include "pipeline/MediaFiles.h"

#include <cstdint>
#include <memory>
#include <string>

class TBitmap;

// A path meant for a V4L2 device: under /dev/ and named video-something.
bool IsV4L2DevicePath(const std::string& path);
// Why capabilities (as VIDIOC_QUERYCAP answers them, the device's own set when it has one) cannot take
// frames by write(), in a few words; empty when they can.
std::string V4L2CapsProblem(uint32_t capabilities);
// Why path cannot take the frames, as a line naming it ("cannot send to PATH: ..."): no such device, not a
// device, busy, not a V4L2 device, not a video output. Empty for a video output device; the device is
// opened for the look and closed again.
std::string V4L2OutputProblem(const std::string& path);

class TV4L2Writer {
public:
    TV4L2Writer();
    ~TV4L2Writer(); // closes the device
    TV4L2Writer(const TV4L2Writer&) = delete;
    TV4L2Writer& operator=(const TV4L2Writer&) = delete;

    // Opens path and sets its format at size (made even for the chroma) and, when given, the frame time the
    // readers are told; raises ELumatex naming path.
    void Open(const std::string& path, TPixelSize size, int64_t frameDurationNs = 0);
    // A 32-bit blue, green, red, alpha picture of the open size, bottom row first; raises ELumatex when the
    // device stops taking frames.
    void WriteFrame(const TBitmap& picture);
    // The pixel format agreed on: V4L2_PIX_FMT_YUYV or V4L2_PIX_FMT_YUV420; 0 before Open.
    uint32_t PixelFormat() const;

private:
    struct TState;
    std::unique_ptr<TState> S;
};
