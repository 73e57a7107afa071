#include "platform/Bitmap.h"

#include "platform/ELumatex.h"

#include <cstring>
#include <utility>

TBitmap::TBitmap(int width, int height, int bitsPerPixel) {
    SetSize(width, height, bitsPerPixel);
}

size_t TBitmap::ImageSize(int width, int height, int bitsPerPixel) {
    if (width < 0 || height < 0) return 0;
    const size_t stride = Stride(width, bitsPerPixel);
    if (height != 0 && stride > kMaxImageBytes / static_cast<size_t>(height)) return 0;
    return stride * static_cast<size_t>(height);
}

void TBitmap::SetSize(int width, int height, int bitsPerPixel) {
    if (bitsPerPixel != 24 && bitsPerPixel != 32)
        throw ELumatex(FormatText("Unsupported bitmap depth: %d bits per pixel", bitsPerPixel));
    if (width < 0 || height < 0) throw ELumatex(FormatText("Invalid bitmap size %d x %d", width, height));
    const size_t bytes = ImageSize(width, height, bitsPerPixel);
    if (bytes == 0 && width != 0 && height != 0)
        throw ELumatex(FormatText("Bitmap of %d x %d pixels is too large", width, height));
    std::vector<uint8_t> fresh(bytes, 0);
    Bits.swap(fresh);
    FWidth = width;
    FHeight = height;
    FBitsPerPixel = bitsPerPixel;
}

void TBitmap::ConvertTo(int bitsPerPixel) {
    if (bitsPerPixel == FBitsPerPixel) return;
    TBitmap converted(FWidth, FHeight, bitsPerPixel);
    const int srcBpp = BytesPerPixel();
    const int dstBpp = converted.BytesPerPixel();
    for (int y = 0; y < FHeight; ++y) {
        const uint8_t* src = ScanLine(y);
        uint8_t* dst = converted.ScanLine(y);
        for (int x = 0; x < FWidth; ++x) {
            dst[0] = src[0];
            dst[1] = src[1];
            dst[2] = src[2];
            if (dstBpp == 4) dst[3] = 255;
            src += srcBpp;
            dst += dstBpp;
        }
    }
    Swap(converted);
}

void TBitmap::Fill(uint8_t blue, uint8_t green, uint8_t red) {
    const int bpp = BytesPerPixel();
    for (int y = 0; y < FHeight; ++y) {
        uint8_t* p = ScanLine(y);
        for (int x = 0; x < FWidth; ++x, p += bpp) {
            p[0] = blue;
            p[1] = green;
            p[2] = red;
            if (bpp == 4) p[3] = 255;
        }
    }
}

bool TBitmap::SamePixels(const TBitmap& other) const {
    if (FWidth != other.FWidth || FHeight != other.FHeight || FBitsPerPixel != other.FBitsPerPixel)
        return false;
    const size_t rowBytes = static_cast<size_t>(FWidth) * static_cast<size_t>(BytesPerPixel());
    for (int y = 0; y < FHeight; ++y)
        if (std::memcmp(ScanLine(y), other.ScanLine(y), rowBytes) != 0) return false;
    return true;
}

void TBitmap::Swap(TBitmap& other) noexcept {
    std::swap(FWidth, other.FWidth);
    std::swap(FHeight, other.FHeight);
    std::swap(FBitsPerPixel, other.FBitsPerPixel);
    Bits.swap(other.Bits);
}
