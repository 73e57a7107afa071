#include "platform/BmpFile.h"

#include "platform/ELumatex.h"
#include "platform/Stream.h"

#include <algorithm>
#include <array>
#include <bit>
#include <climits>
#include <cstring>

namespace {

constexpr uint32_t kBiRgb = 0;
constexpr uint32_t kBiRle8 = 1;
constexpr uint32_t kBiRle4 = 2;
constexpr uint32_t kBiBitfields = 3;
constexpr uint32_t kBiAlphaBitfields = 6;
constexpr size_t kFileHeaderSize = 14;

[[noreturn]] void Fail(const char* what) {
    throw ELumatex(FormatText("Invalid bitmap file: %s", what));
}

// Bounds-checked little-endian reads: every header field goes through these.
struct TBytes {
    const uint8_t* Data;
    size_t Size;
    bool Has(uint64_t offset, uint64_t count) const { return offset <= Size && count <= Size - offset; }
    uint16_t U16(size_t offset) const {
        if (!Has(offset, 2)) Fail("header truncated");
        return static_cast<uint16_t>(Data[offset] | (Data[offset + 1] << 8));
    }
    uint32_t U32(size_t offset) const {
        if (!Has(offset, 4)) Fail("header truncated");
        return uint32_t(Data[offset]) | (uint32_t(Data[offset + 1]) << 8) |
               (uint32_t(Data[offset + 2]) << 16) | (uint32_t(Data[offset + 3]) << 24);
    }
};

// One colour channel described by a bit mask, scaled to 8 bits.
struct TChannel {
    uint32_t Mask = 0;
    int Shift = 0;
    int Bits = 0;
    explicit TChannel(uint32_t mask = 0) : Mask(mask) {
        if (mask == 0) return;
        Shift = std::countr_zero(mask);
        Bits = 32 - std::countl_zero(mask) - Shift;
    }
    uint8_t Get(uint32_t pixel, uint8_t absent) const {
        if (Mask == 0) return absent;
        const uint32_t v = (pixel & Mask) >> Shift;
        if (Bits >= 8) return static_cast<uint8_t>(v >> (Bits - 8));
        const uint32_t maxValue = (1u << Bits) - 1;
        return static_cast<uint8_t>((v * 255 + maxValue / 2) / maxValue);
    }
};

struct TColour {
    uint8_t B = 0, G = 0, R = 0;
};

void PutColour(uint8_t* dst, const TColour& c) {
    dst[0] = c.B;
    dst[1] = c.G;
    dst[2] = c.R;
}

// RLE8/RLE4 decoding straight into the (black) bitmap. Rows count from the bottom of the picture.
void DecodeRle(const uint8_t* data, size_t size, bool fourBit, const std::array<TColour, 256>& palette,
               TBitmap& bitmap) {
    const int width = bitmap.Width();
    const int height = bitmap.Height();
    int x = 0;
    int y = 0;
    size_t pos = 0;
    auto put = [&](uint8_t index) {
        if (x < width && y < height)
            PutColour(bitmap.ScanLine(height - 1 - y) + size_t(x) * 3, palette[index]);
        if (x < width) ++x; // columns past the row end are dropped, not wrapped
    };
    for (;;) {
        if (y >= height) return; // anything after the last row is ignored
        if (size - pos < 2) Fail("RLE data truncated");
        const uint8_t count = data[pos];
        const uint8_t value = data[pos + 1];
        pos += 2;
        if (count > 0) {
            for (int i = 0; i < count; ++i)
                put(fourBit ? ((i & 1) ? (value & 0x0F) : (value >> 4)) : value);
            continue;
        }
        switch (value) {
        case 0: // end of line
            x = 0;
            ++y;
            break;
        case 1: // end of bitmap
            return;
        case 2: // delta
            if (size - pos < 2) Fail("RLE data truncated");
            x = std::min(width, x + data[pos]);
            y += data[pos + 1];
            pos += 2;
            break;
        default: { // absolute run of `value` pixels, padded to a 16-bit boundary
            const size_t bytes = fourBit ? (size_t(value) + 1) / 2 : value;
            const size_t padded = bytes + (bytes & 1);
            if (size - pos < bytes) Fail("RLE data truncated");
            for (int i = 0; i < value; ++i) {
                const uint8_t b = data[pos + (fourBit ? size_t(i) / 2 : size_t(i))];
                put(fourBit ? ((i & 1) ? (b & 0x0F) : (b >> 4)) : b);
            }
            pos += std::min(padded, size - pos);
            break;
        }
        }
    }
}

} // namespace

void ReadBmp(const uint8_t* data, size_t size, TBitmap& bitmap, size_t maxImageBytes) {
    const TBytes in{data, size};
    if (size < 2 || data[0] != 'B' || data[1] != 'M') Fail("no BM signature");
    const uint32_t dataOffset = in.U32(10);
    const uint32_t headerSize = in.U32(14);

    int64_t width = 0;
    int64_t height = 0;
    int bpp = 0;
    uint32_t compression = kBiRgb;
    uint32_t coloursUsed = 0;
    size_t paletteEntrySize = 4;
    uint32_t masks[4] = {0, 0, 0, 0};
    bool haveMasks = false;
    if (headerSize == 12) {
        width = in.U16(18);
        height = static_cast<int16_t>(in.U16(20));
        bpp = in.U16(24);
        paletteEntrySize = 3;
    } else if (headerSize == 40 || headerSize == 52 || headerSize == 56 || headerSize == 108 ||
               headerSize == 124) {
        width = static_cast<int32_t>(in.U32(18));
        height = static_cast<int32_t>(in.U32(22));
        bpp = in.U16(28);
        compression = in.U32(30);
        coloursUsed = in.U32(46);
        if (headerSize >= 52) {
            for (int i = 0; i < 3; ++i)
                masks[i] = in.U32(54 + 4 * size_t(i));
            haveMasks = true;
        }
        if (headerSize >= 56) masks[3] = in.U32(66);
    } else {
        throw ELumatex(FormatText("Invalid bitmap file: unsupported header size %u", headerSize));
    }
    size_t pos = kFileHeaderSize + headerSize;
    if (!in.Has(0, pos)) Fail("header truncated");

    switch (compression) {
    case kBiRgb:
        if (bpp != 1 && bpp != 4 && bpp != 8 && bpp != 16 && bpp != 24 && bpp != 32)
            throw ELumatex(FormatText("Invalid bitmap file: %d bits per pixel", bpp));
        break;
    case kBiRle8:
        if (bpp != 8) Fail("RLE8 needs 8 bits per pixel");
        break;
    case kBiRle4:
        if (bpp != 4) Fail("RLE4 needs 4 bits per pixel");
        break;
    case kBiBitfields:
    case kBiAlphaBitfields:
        if (bpp != 16 && bpp != 32) Fail("bit fields need 16 or 32 bits per pixel");
        if (!haveMasks) {
            const int count = compression == kBiAlphaBitfields ? 4 : 3;
            if (dataOffset == pos) {
                // Some writers announce bit fields but put the pixels where the masks belong: read them with
                // the standard layout of the depth.
                masks[0] = bpp == 16 ? 0x7C00 : 0xFF0000;
                masks[1] = bpp == 16 ? 0x03E0 : 0x00FF00;
                masks[2] = bpp == 16 ? 0x001F : 0x0000FF;
                break;
            }
            for (int i = 0; i < count; ++i)
                masks[i] = in.U32(pos + 4 * size_t(i));
            pos += 4 * size_t(count);
        }
        break;
    default:
        throw ELumatex(FormatText("Invalid bitmap file: unsupported compression %u", compression));
    }
    if (compression == kBiRgb && bpp == 16) {
        masks[0] = 0x7C00;
        masks[1] = 0x03E0;
        masks[2] = 0x001F;
        masks[3] = 0;
    }

    if (width <= 0 || height == 0)
        throw ELumatex(
            FormatText("Invalid bitmap file: size %lld x %lld", (long long)width, (long long)height));
    const bool topDown = height < 0;
    if (topDown) height = -height;
    if (topDown && (compression == kBiRle8 || compression == kBiRle4)) Fail("RLE images cannot be top-down");
    if (width > INT_MAX || height > INT_MAX) Fail("size too large");

    // Palette: missing entries and indices past it read as black.
    std::array<TColour, 256> palette{};
    if (bpp <= 8) {
        size_t count = coloursUsed != 0 ? coloursUsed : (size_t(1) << bpp);
        count = std::min(count, size_t(1) << bpp);
        // A colour count that runs into the pixel data is a lie; keep the entries that fit before it.
        if (dataOffset > pos && dataOffset < pos + count * paletteEntrySize)
            count = (dataOffset - pos) / paletteEntrySize;
        if (!in.Has(pos, count * paletteEntrySize)) Fail("palette truncated");
        for (size_t i = 0; i < count; ++i) {
            const uint8_t* e = data + pos + i * paletteEntrySize;
            palette[i] = TColour{e[0], e[1], e[2]};
        }
        pos += count * paletteEntrySize;
    }

    // Some writers leave the offset 0 or let it point into the headers: the pixels then follow the palette.
    const size_t pixelStart = dataOffset >= pos ? dataOffset : pos;
    if (pixelStart > size) Fail("pixel data offset past the end of the file");
    const uint8_t* pixels = data + pixelStart;
    const size_t pixelBytes = size - pixelStart;

    const int w = static_cast<int>(width);
    const int h = static_cast<int>(height);
    const int outBpp = bpp == 32 ? 32 : 24;
    if (!TBitmap::PictureSizeAccepted(w, h, outBpp, maxImageBytes))
        throw ELumatex(TBitmap::PictureTooLargeText("Invalid bitmap file", w, h));

    const bool rle = compression == kBiRle8 || compression == kBiRle4;
    const uint64_t rowBits = uint64_t(w) * uint64_t(bpp);
    const uint64_t fileStride = (rowBits + 31) / 32 * 4;
    if (!rle) {
        // The last row may lack its padding.
        const uint64_t needed = fileStride * uint64_t(h - 1) + (rowBits + 7) / 8;
        if (needed > pixelBytes) Fail("pixel data truncated");
    }

    TBitmap result(w, h, outBpp);
    if (rle) {
        DecodeRle(pixels, pixelBytes, compression == kBiRle4, palette, result);
    } else {
        const TChannel red(masks[0]), green(masks[1]), blue(masks[2]), alpha(masks[3]);
        const bool rawCopy = bpp == 24 || (bpp == 32 && compression == kBiRgb);
        for (int row = 0; row < h; ++row) {
            const uint8_t* src = pixels + size_t(row) * fileStride;
            uint8_t* dst = result.ScanLine(topDown ? row : h - 1 - row);
            if (rawCopy) {
                std::memcpy(dst, src, size_t(w) * size_t(bpp / 8));
                continue;
            }
            switch (bpp) {
            case 1:
            case 4:
            case 8: {
                const int perByte = 8 / bpp;
                const uint8_t mask = static_cast<uint8_t>((1 << bpp) - 1);
                for (int x = 0; x < w; ++x) {
                    const int shift = 8 - bpp * (x % perByte + 1);
                    PutColour(dst + size_t(x) * 3, palette[(src[x / perByte] >> shift) & mask]);
                }
                break;
            }
            case 16:
                for (int x = 0; x < w; ++x) {
                    const uint32_t v = src[2 * x] | (src[2 * x + 1] << 8);
                    PutColour(dst + size_t(x) * 3, TColour{blue.Get(v, 0), green.Get(v, 0), red.Get(v, 0)});
                }
                break;
            case 32:
                for (int x = 0; x < w; ++x) {
                    const uint8_t* s = src + size_t(x) * 4;
                    const uint32_t v = uint32_t(s[0]) | (uint32_t(s[1]) << 8) | (uint32_t(s[2]) << 16) |
                                       (uint32_t(s[3]) << 24);
                    uint8_t* d = dst + size_t(x) * 4;
                    d[0] = blue.Get(v, 0);
                    d[1] = green.Get(v, 0);
                    d[2] = red.Get(v, 0);
                    d[3] = alpha.Get(v, 255);
                }
                break;
            }
        }
    }
    bitmap.Swap(result);
}

void CheckBmpPictureSize(const uint8_t* data, size_t size, size_t maxImageBytes) {
    if (size < 30 || data[0] != 'B' || data[1] != 'M') return;
    const TBytes in{data, size};
    const uint32_t headerSize = in.U32(14);
    int64_t width = 0;
    int64_t height = 0;
    int bpp = 0;
    if (headerSize == 12) {
        width = in.U16(18);
        height = static_cast<int16_t>(in.U16(20));
        bpp = in.U16(24);
    } else if (headerSize >= 40) {
        width = static_cast<int32_t>(in.U32(18));
        height = static_cast<int32_t>(in.U32(22));
        bpp = in.U16(28);
    }
    height = height < 0 ? -height : height;
    if (width > 0 && height > 0 &&
        !TBitmap::PictureSizeAccepted(width, height, bpp == 32 ? 32 : 24, maxImageBytes))
        throw ELumatex(TBitmap::PictureTooLargeText("Invalid bitmap file", width, height));
}

void LoadBmpFile(const std::string& fileName, TBitmap& bitmap) {
    TFileStream file(fileName, TFileStream::TMode::Read);
    // Room for headers and a palette beside the largest accepted pixel store.
    const std::vector<uint8_t> bytes = file.ReadRest(TBitmap::kMaxImageBytes + (size_t(1) << 20));
    ReadBmp(bytes.data(), bytes.size(), bitmap);
}

namespace {

constexpr size_t kBmpHeadersSize = kBmpFileHeaderSize + kBmpInfoHeaderSize;
static_assert(kFileHeaderSize == kBmpFileHeaderSize);

void CheckBmpImageBytes(size_t imageBytes) {
    if (imageBytes > UINT32_MAX - kBmpHeadersSize) throw ELumatex("Bitmap too large for a BMP file");
}

} // namespace

TBmpHeaders BmpHeaders(int width, int height, int bitsPerPixel) {
    const size_t imageBytes = TBitmap::Stride(width, bitsPerPixel) * size_t(height > 0 ? height : 0);
    TBmpHeaders out{};
    auto put16 = [&](size_t at, uint32_t v) {
        out[at] = uint8_t(v);
        out[at + 1] = uint8_t(v >> 8);
    };
    auto put32 = [&](size_t at, uint32_t v) {
        put16(at, v & 0xFFFF);
        put16(at + 2, v >> 16);
    };
    out[0] = 'B';
    out[1] = 'M';
    put32(2, uint32_t(kBmpHeadersSize + imageBytes));
    put32(10, uint32_t(kBmpHeadersSize));
    put32(14, uint32_t(kBmpInfoHeaderSize));
    put32(18, uint32_t(width));
    put32(22, uint32_t(height)); // positive: rows bottom-up, as the bitmap stores them
    put16(26, 1);
    put16(28, uint32_t(bitsPerPixel));
    put32(30, kBiRgb);
    put32(34, uint32_t(imageBytes));
    return out;
}

bool WriteBmp(const TBitmap& bitmap, TStream& stream) {
    const size_t imageBytes = bitmap.DataSize();
    CheckBmpImageBytes(imageBytes);
    const TBmpHeaders headers = BmpHeaders(bitmap.Width(), bitmap.Height(), bitmap.BitsPerPixel());
    return stream.Write(headers.data(), headers.size()) == headers.size() &&
           (imageBytes == 0 || stream.Write(bitmap.Data(), imageBytes) == imageBytes);
}

std::vector<uint8_t> EncodeBmp(const TBitmap& bitmap) {
    TMemoryStream file;
    file.Bytes.reserve(kBmpHeadersSize + bitmap.DataSize());
    [[maybe_unused]] const bool written = WriteBmp(bitmap, file); // memory takes every byte
    return std::move(file.Bytes);
}

TBmpRowWriter::TBmpRowWriter(TStream& stream, int width, int height, int bitsPerPixel)
    : Stream(stream), Width(width), Height(height), BitsPerPixel(bitsPerPixel) {
    if (bitsPerPixel != 24 && bitsPerPixel != 32) throw ELumatex("Only 24 and 32 bits a pixel are written");
    if (width < 0 || height < 0) throw ELumatex("Bitmap too large for a BMP file");
    const size_t stride = TBitmap::Stride(width, bitsPerPixel);
    if (height > 0 && stride > (UINT32_MAX - kBmpHeadersSize) / size_t(height))
        throw ELumatex("Bitmap too large for a BMP file");
    CheckBmpImageBytes(stride * size_t(height));
    const size_t rowBytes = size_t(width) * size_t(bitsPerPixel / 8);
    if (rowBytes != stride) Padded.assign(stride, 0);
}

bool TBmpRowWriter::WriteHeaders() {
    const TBmpHeaders headers = BmpHeaders(Width, Height, BitsPerPixel);
    return Stream.Write(headers.data(), headers.size()) == headers.size();
}

bool TBmpRowWriter::WriteRow(const uint8_t* pixels) {
    if (Padded.empty()) {
        const size_t stride = TBitmap::Stride(Width, BitsPerPixel);
        return Stream.Write(pixels, stride) == stride;
    }
    std::memcpy(Padded.data(), pixels, size_t(Width) * size_t(BitsPerPixel / 8));
    return Stream.Write(Padded.data(), Padded.size()) == Padded.size();
}

void SaveBmpFile(const TBitmap& bitmap, const std::string& fileName) {
    TFileStream file(fileName, TFileStream::TMode::Create);
    if (!WriteBmp(bitmap, file)) throw ELumatex(FormatText("Write error in \"%s\"", fileName.c_str()));
}
