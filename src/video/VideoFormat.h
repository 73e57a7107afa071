// VideoFormat.h: the one frame layout the video source delivers: 24-bit BGR, rows bottom-up, each row
// padded to a multiple of 4 bytes (the layout of a device-independent bitmap).
#pragma once

#include "platform/Bitmap.h"

#include <cstddef>

struct TVideoFormat {
    int Width = 0;
    int Height = 0;

    size_t Stride() const { return TBitmap::Stride(Width, 24); }
    size_t ImageSize() const { return TBitmap::ImageSize(Width, Height, 24); } // 0 when absurdly large
    bool Valid() const { return Width > 0 && Height > 0 && ImageSize() > 0; }
    bool operator==(const TVideoFormat&) const = default;
};
