// Bitmap.h: the device-independent bitmap passed between video, imaging and export: 24 bits (blue, green,
// red) or 32 bits (blue, green, red, alpha) per pixel, stored bottom-up with rows padded to 4 bytes like a
// Windows DIB, so that video frames can be copied in as they arrive. Row access is top-down: ScanLine(0) is
// the top row of the picture. Not thread-safe; the frame hand-off guards it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

class TBitmap {
public:
    // Largest pixel store accepted; larger sizes are refused before allocating.
    static constexpr size_t kMaxImageBytes = size_t(1) << 30;
    // Largest picture the decoders make: 16384 x 16384, whose 32-bit store (and texture) is kMaxImageBytes.
    static constexpr int64_t kMaxPicturePixels = int64_t(16384) * 16384;

    TBitmap() = default;
    TBitmap(int width, int height, int bitsPerPixel); // zero-filled (black)
    TBitmap(const TBitmap& other);
    TBitmap& operator=(const TBitmap& other);
    TBitmap(TBitmap&& other) noexcept;            // other is left empty (0 x 0)
    TBitmap& operator=(TBitmap&& other) noexcept; // other is left empty (0 x 0)

    // Resizes to width x height at 24 or 32 bits, zero-filled; raises ELumatex for a bad depth, a negative
    // size or a pixel store over kMaxImageBytes. 0 x 0 is allowed and holds nothing.
    void SetSize(int width, int height, int bitsPerPixel);
    // Converts the pixels to bitsPerPixel (24 drops alpha, 32 adds an opaque alpha).
    void ConvertTo(int bitsPerPixel);

    int Width() const { return FWidth; }
    int Height() const { return FHeight; }
    int BitsPerPixel() const { return FBitsPerPixel; }
    int BytesPerPixel() const { return FBitsPerPixel / 8; }
    bool Empty() const { return FWidth == 0 || FHeight == 0; }

    // Bytes per stored row: width x bytes per pixel rounded up to a multiple of 4.
    size_t Stride() const { return Stride(FWidth, FBitsPerPixel); }
    static size_t Stride(int width, int bitsPerPixel) {
        return (static_cast<size_t>(width) * static_cast<size_t>(bitsPerPixel / 8) + 3) & ~size_t(3);
    }
    // Stride x height, or 0 when the size does not fit kMaxImageBytes.
    static size_t ImageSize(int width, int height, int bitsPerPixel);
    // Whether a decoder may make a picture of this size from a file: both edges positive, at most
    // kMaxPicturePixels pixels and a store of at most maxImageBytes. Decoders ask before reading pixel data.
    static bool PictureSizeAccepted(int64_t width, int64_t height, int bitsPerPixel, size_t maxImageBytes);
    // "<prefix>: W x H pixels is too large (at most 16384 x 16384 pixels)", the decoders' refusal.
    static std::string PictureTooLargeText(const char* prefix, int64_t width, int64_t height);

    // Row `row` counted from the top; storage is bottom-up.
    uint8_t* ScanLine(int row) { return Bits.get() + static_cast<size_t>(FHeight - 1 - row) * Stride(); }
    const uint8_t* ScanLine(int row) const {
        return Bits.get() + static_cast<size_t>(FHeight - 1 - row) * Stride();
    }

    // The whole bottom-up store, Stride() x Height() bytes (first stored row = bottom row).
    uint8_t* Data() { return Bits.get(); }
    const uint8_t* Data() const { return Bits.get(); }
    size_t DataSize() const { return FDataSize; }

    // Hands the store over as it is laid out (DataSize() bytes) and leaves the bitmap empty (0 x 0), so a
    // picture can change owners without a second copy of its pixels.
    std::unique_ptr<uint8_t[]> ReleaseData();
    // Takes over a store of ImageSize(width, height, bitsPerPixel) bytes laid out as Data() describes;
    // raises ELumatex, taking nothing, for a bad depth or size.
    void AdoptData(std::unique_ptr<uint8_t[]> data, int width, int height, int bitsPerPixel);

    // Fills every pixel (alpha, if any, is set to 255).
    void Fill(uint8_t blue, uint8_t green, uint8_t red);

    // Same size, depth and pixels (padding bytes ignored).
    bool SamePixels(const TBitmap& other) const;

    void Swap(TBitmap& other) noexcept;

private:
    int FWidth = 0;
    int FHeight = 0;
    int FBitsPerPixel = 24;
    size_t FDataSize = 0;
    std::unique_ptr<uint8_t[]> Bits;
};

// One row of blue, green, red bytes widened to width opaque pixels of 32 bits, each the value 0xffRRGGBB
// whatever the machine's byte order: the layout of a GL_BGRA / GL_UNSIGNED_INT_8_8_8_8_REV upload and of
// a QImage::Format_RGB32 row. Reads exactly 3 x width bytes; nothing for a width below 1.
void WidenBgrRow(const uint8_t* source, uint32_t* target, int width);
