// BmpFile.h: the Windows BMP file format for TBitmap. Reads 1, 4, 8, 16, 24 and 32 bits per pixel,
// uncompressed, RLE8, RLE4 and bit fields, bottom-up or top-down, with core, info, v2-v5 headers; writes
// 24- and 32-bit files. Every size in a file is checked against the bytes it holds before anything is
// allocated. Pure functions; safe on any thread.
#pragma once

#include "platform/Bitmap.h"
#include "platform/Stream.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// Decodes a whole BMP file held in memory into bitmap: 32-bit files give 32-bit bitmaps (the fourth byte as
// stored, or the alpha bit field), every other depth 24 bits. Raises ELumatex naming the fault for anything
// it cannot read; bitmap is left untouched then. Pixel indices past the palette read as black, pixels that
// an RLE image skips stay black, runs past the end of a row or of the image are cut off. Images whose
// pixel store would exceed maxImageBytes are refused before allocating.
void ReadBmp(const uint8_t* data, size_t size, TBitmap& bitmap,
             size_t maxImageBytes = TBitmap::kMaxImageBytes);
// Raises ReadBmp's refusal of a picture over TBitmap::kMaxPicturePixels or maxImageBytes from the first 30
// bytes of the file alone, so that the rest need not be read first. Nothing when they do not tell the size.
void CheckBmpPictureSize(const uint8_t* data, size_t size, size_t maxImageBytes = TBitmap::kMaxImageBytes);
void LoadBmpFile(const std::string& fileName, TBitmap& bitmap); // ReadBmp of the whole file

// The 14-byte file header and the 40-byte information header of an uncompressed picture of width x height
// at bitsPerPixel with rows stored bottom-up, padded to 4 bytes, and no palette. Every BMP written here
// starts with them.
inline constexpr size_t kBmpFileHeaderSize = 14;
inline constexpr size_t kBmpInfoHeaderSize = 40;
using TBmpHeaders = std::array<uint8_t, kBmpFileHeaderSize + kBmpInfoHeaderSize>;
TBmpHeaders BmpHeaders(int width, int height, int bitsPerPixel);

// The file image of a 24- or 32-bit bitmap: 14-byte file header, 40-byte information header, no palette,
// rows bottom-up padded to 4 bytes (32-bit rows keep their fourth byte).
std::vector<uint8_t> EncodeBmp(const TBitmap& bitmap);
// EncodeBmp's file image written into a stream straight from the bitmap's store, without a copy of the
// picture; false after a short write.
[[nodiscard]] bool WriteBmp(const TBitmap& bitmap, TStream& stream);
// EncodeBmp's file image written row by row into a stream, for a picture that is never whole in memory:
// the headers at construction, then the rows bottom row first. Both answer false after a short write.
class TBmpRowWriter {
public:
    // Raises ELumatex for a depth other than 24 or 32 bits and for a picture too large for a BMP file.
    TBmpRowWriter(TStream& stream, int width, int height, int bitsPerPixel);
    [[nodiscard]] bool WriteHeaders();
    // The next row up, as a bitmap of that depth stores it; the padding to 4 bytes is added here.
    [[nodiscard]] bool WriteRow(const uint8_t* pixels);

private:
    TStream& Stream;
    int Width, Height, BitsPerPixel;
    std::vector<uint8_t> Padded; // one stored row, for the rows that need padding
};

// Writes EncodeBmp to the file, replacing it; raises ELumatex when the file cannot be written.
void SaveBmpFile(const TBitmap& bitmap, const std::string& fileName);
