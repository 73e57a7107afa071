#include "imaging/TgaFile.h"

#include "platform/ELumatex.h"

#include <algorithm>
#include <cstring>

bool IsSupportedTga(const uint8_t* data, size_t size) {
    if (size < kTgaHeaderSize) return false;
    return data[1] == 0 && (data[2] == 2 || data[2] == 10) && (data[16] == 24 || data[16] == 32);
}

void CheckTgaPictureSize(const uint8_t* data, size_t size, size_t maxImageBytes) {
    if (!IsSupportedTga(data, size)) return;
    const int width = data[12] | (data[13] << 8);
    const int height = data[14] | (data[15] << 8);
    if (width != 0 && height != 0 && !TBitmap::PictureSizeAccepted(width, height, data[16], maxImageBytes))
        throw ELumatex(TBitmap::PictureTooLargeText("Invalid TGA file", width, height));
}

bool DecodeTga(const uint8_t* data, size_t size, TBitmap& bitmap, size_t maxImageBytes) {
    if (!IsSupportedTga(data, size)) return false;
    const bool rle = data[2] == 10;
    const int width = data[12] | (data[13] << 8);
    const int height = data[14] | (data[15] << 8);
    const int depth = data[16];
    const size_t bpp = size_t(depth) / 8;
    const bool topFirst = (data[17] & 0x20) != 0;
    if (width == 0 || height == 0)
        throw ELumatex(FormatText("Invalid TGA file: size %d x %d", width, height));

    const size_t start = kTgaHeaderSize + data[0]; // after the image identification field
    if (start > size) throw ELumatex("Invalid TGA file: data truncated");
    const uint8_t* src = data + start;
    const size_t available = size - start;
    const uint64_t pixelCount = uint64_t(width) * uint64_t(height);

    // Refuse before allocating what the data cannot fill: a run packet of 1 + bpp bytes yields at most 128
    // pixels.
    if (!rle && pixelCount * bpp > available) throw ELumatex("Invalid TGA file: pixel data truncated");
    if (rle && pixelCount > (uint64_t(available) / (1 + bpp) + 1) * 128)
        throw ELumatex("Invalid TGA file: pixel data truncated");
    CheckTgaPictureSize(data, size, maxImageBytes);

    TBitmap result(width, height, depth);
    auto rowOf = [&](int storedRow) {
        return result.ScanLine(topFirst ? storedRow : height - 1 - storedRow);
    };
    if (!rle) {
        const size_t rowBytes = size_t(width) * bpp;
        for (int row = 0; row < height; ++row)
            std::memcpy(rowOf(row), src + size_t(row) * rowBytes, rowBytes);
    } else {
        size_t pos = 0;
        uint64_t produced = 0;
        auto put = [&](const uint8_t* pixel) {
            const int row = static_cast<int>(produced / uint64_t(width));
            const int column = static_cast<int>(produced % uint64_t(width));
            std::memcpy(rowOf(row) + size_t(column) * bpp, pixel, bpp);
            ++produced;
        };
        while (produced < pixelCount) {
            if (pos >= available) throw ELumatex("Invalid TGA file: pixel data truncated");
            const uint8_t packet = src[pos++];
            const uint64_t count = (packet & 0x7F) + 1u;
            const uint64_t fit = std::min(count, pixelCount - produced);
            if (packet & 0x80) {
                if (available - pos < bpp) throw ELumatex("Invalid TGA file: pixel data truncated");
                for (uint64_t i = 0; i < fit; ++i)
                    put(src + pos);
                pos += bpp;
            } else {
                // Only the pixels that fit need to be there; the rest of the packet is never read.
                if ((available - pos) / bpp < fit) throw ELumatex("Invalid TGA file: pixel data truncated");
                for (uint64_t i = 0; i < fit; ++i)
                    put(src + pos + i * bpp);
                pos += std::min<uint64_t>(count * bpp, available - pos);
            }
        }
    }
    bitmap.Swap(result);
    return true;
}
