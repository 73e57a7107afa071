#include "platform/Bitmap.h"

#include "platform/ELumatex.h"

#include <bit>
#include <cstring>
#include <utility>

TBitmap::TBitmap(int width, int height, int bitsPerPixel) {
    SetSize(width, height, bitsPerPixel);
}

TBitmap::TBitmap(const TBitmap& other)
    : FWidth(other.FWidth), FHeight(other.FHeight), FBitsPerPixel(other.FBitsPerPixel),
      FDataSize(other.FDataSize) {
    if (FDataSize == 0) return;
    Bits.reset(new uint8_t[FDataSize]);
    std::memcpy(Bits.get(), other.Bits.get(), FDataSize);
}

TBitmap& TBitmap::operator=(const TBitmap& other) {
    if (this != &other) {
        TBitmap copy(other);
        Swap(copy);
    }
    return *this;
}

TBitmap::TBitmap(TBitmap&& other) noexcept {
    Swap(other);
}

TBitmap& TBitmap::operator=(TBitmap&& other) noexcept {
    if (this != &other) {
        TBitmap taken(std::move(other));
        Swap(taken);
    }
    return *this;
}

size_t TBitmap::ImageSize(int width, int height, int bitsPerPixel) {
    if (width < 0 || height < 0) return 0;
    const size_t stride = Stride(width, bitsPerPixel);
    if (height != 0 && stride > kMaxImageBytes / static_cast<size_t>(height)) return 0;
    return stride * static_cast<size_t>(height);
}

bool TBitmap::PictureSizeAccepted(int64_t width, int64_t height, int bitsPerPixel, size_t maxImageBytes) {
    if (width <= 0 || height <= 0 || width > kMaxPicturePixels / height) return false;
    const size_t bytes = ImageSize(static_cast<int>(width), static_cast<int>(height), bitsPerPixel);
    return bytes != 0 && bytes <= maxImageBytes;
}

std::string TBitmap::PictureTooLargeText(const char* prefix, int64_t width, int64_t height) {
    return FormatText("%s: %lld x %lld pixels is too large (at most 16384 x 16384 pixels)", prefix,
                      static_cast<long long>(width), static_cast<long long>(height));
}

void TBitmap::SetSize(int width, int height, int bitsPerPixel) {
    if (bitsPerPixel != 24 && bitsPerPixel != 32)
        throw ELumatex(FormatText("Unsupported bitmap depth: %d bits per pixel", bitsPerPixel));
    if (width < 0 || height < 0) throw ELumatex(FormatText("Invalid bitmap size %d x %d", width, height));
    const size_t bytes = ImageSize(width, height, bitsPerPixel);
    if (bytes == 0 && width != 0 && height != 0)
        throw ELumatex(FormatText("Bitmap of %d x %d pixels is too large", width, height));
    // Value-initialised: zero-filled.
    std::unique_ptr<uint8_t[]> fresh(bytes == 0 ? nullptr : new uint8_t[bytes]());
    Bits.swap(fresh);
    FDataSize = bytes;
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
    std::swap(FDataSize, other.FDataSize);
    Bits.swap(other.Bits);
}

std::unique_ptr<uint8_t[]> TBitmap::ReleaseData() {
    FWidth = FHeight = 0;
    FDataSize = 0;
    return std::move(Bits);
}

void TBitmap::AdoptData(std::unique_ptr<uint8_t[]> data, int width, int height, int bitsPerPixel) {
    if (bitsPerPixel != 24 && bitsPerPixel != 32)
        throw ELumatex(FormatText("Unsupported bitmap depth: %d bits per pixel", bitsPerPixel));
    const size_t bytes = ImageSize(width, height, bitsPerPixel);
    if (width < 0 || height < 0 || (bytes == 0 && width != 0 && height != 0))
        throw ELumatex(FormatText("Invalid bitmap size %d x %d", width, height));
    Bits = bytes == 0 ? nullptr : std::move(data);
    FDataSize = bytes;
    FWidth = width;
    FHeight = height;
    FBitsPerPixel = bitsPerPixel;
}

void WidenBgrRow(const uint8_t* source, uint32_t* target, int width) {
    if (width < 1) return;
    // Blue, green, red in memory is the 32-bit layout less the opaque fourth byte: four bytes read, one
    // set. The row's last pixel is read by its three bytes, as a fourth may lie past the buffer.
    const int last = width - 1;
    for (int x = 0; x < last; ++x, source += 3) {
        uint32_t pixel;
        std::memcpy(&pixel, source, sizeof pixel);
        if constexpr (std::endian::native == std::endian::big)
            pixel = pixel >> 24 | (pixel >> 8 & 0xff00u) | (pixel << 8 & 0xff0000u) | pixel << 24;
        target[x] = pixel | 0xff000000u;
    }
    target[last] = uint32_t(source[0]) | uint32_t(source[1]) << 8 | uint32_t(source[2]) << 16 | 0xff000000u;
}
