// JpegCodec.h: JPEG decoding into and encoding from TBitmap through libjpeg-turbo. libjpeg's fatal errors
// come back as ELumatex (never exit()); no state is shared between calls, so any thread may use it.
#pragma once

#include "platform/Bitmap.h"
#include "platform/Stream.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

// A JPEG stream starts with the start-of-image marker FF D8.
bool LooksLikeJpeg(const uint8_t* data, size_t size);

// Decodes a whole JPEG file held in memory into a 24-bit bitmap (grey-scale and CMYK pictures too).
// Raises ELumatex with libjpeg's reason for damaged data, and for data that ends before the image does.
// Pictures over TBitmap::kMaxPicturePixels or whose pixel store would exceed maxImageBytes are refused from
// the header, before their pixels are allocated.
void DecodeJpeg(const uint8_t* data, size_t size, TBitmap& bitmap,
                size_t maxImageBytes = TBitmap::kMaxImageBytes);
// The same from the stream's position on, read piece by piece: the file is never held whole, and a picture
// refused from its header leaves the rest unread. A failed read raises the stream's own error.
void DecodeJpeg(TStream& stream, TBitmap& bitmap, size_t maxImageBytes = TBitmap::kMaxImageBytes);

// Encodes a 24- or 32-bit bitmap (a 32-bit bitmap's fourth byte is ignored) as a baseline JPEG file image;
// quality is clamped to 1..100. Raises ELumatex on failure.
std::vector<uint8_t> EncodeJpeg(const TBitmap& bitmap, int quality);
// EncodeJpeg's bytes for a picture handed over row by row, written into the stream as libjpeg gives them:
// neither the picture nor the file image is ever held whole. Rows go top row first, as a 24- or 32-bit
// bitmap stores them (blue, green, red, and a fourth byte that is ignored). Encoder failures raise ELumatex
// as EncodeJpeg's do, running out of memory std::bad_alloc; an error of the stream is raised as it was
// raised. After a failure the encoder takes nothing more.
class TJpegRowEncoder {
public:
    TJpegRowEncoder(TStream& stream, int width, int height, int bitsPerPixel, int quality);
    TJpegRowEncoder(const TJpegRowEncoder&) = delete;
    TJpegRowEncoder& operator=(const TJpegRowEncoder&) = delete;
    ~TJpegRowEncoder();

    void WriteRow(const uint8_t* pixels);
    void Finish(); // after the last row: the end of the image and the rest of the bytes

private:
    struct TState;
    std::unique_ptr<TState> State;
};

// EncodeJpeg written to the file, replacing it; raises ELumatex when the file cannot be written.
void SaveJpegFile(const TBitmap& bitmap, const std::string& fileName, int quality);
