#include "imaging/GLBmp2.h"

#include "imaging/JpegCodec.h"
#include "platform/Bitmap.h"
#include "platform/BmpFile.h"
#include "platform/ELumatex.h"
#include "platform/Files.h"

#include <algorithm>
#include <cassert>
#include <cstring>
#include <new>

namespace {

void Put16(uint8_t* at, uint32_t v) {
    at[0] = uint8_t(v);
    at[1] = uint8_t(v >> 8);
}

} // namespace

TGLBMP::~TGLBMP() {
    ReleasePixels();
    if (TextureId != 0) glDeleteTextures(1, &TextureId);
}

void TGLBMP::ReleasePixels() {
    Pixels.reset();
}

void TGLBMP::SwapRedBlue() {
    if (!Pixels) return;
    uint8_t* p = Pixels.get();
    const size_t count = size_t(Width) * size_t(Height);
    for (size_t i = 0; i < count; ++i, p += 4) {
        const uint8_t red = p[0];
        p[0] = p[2];
        p[2] = red;
    }
}

bool TGLBMP::TakeViewportSize() {
    GLint viewport[4] = {0, 0, 0, 0};
    glGetIntegerv(GL_VIEWPORT, viewport);
    Width = viewport[2];
    Height = viewport[3];
    BitsPerPixel = 32;
    ReleasePixels();
    if (Width <= 0 || Height <= 0) {
        Width = Height = 0;
        return false;
    }
    return true;
}

void TGLBMP::ReadPixels(int32_t width, int32_t height, GLenum format, void* pixels) {
    glFinish();
    glPixelStorei(GL_PACK_ALIGNMENT, 4);
    glPixelStorei(GL_PACK_ROW_LENGTH, 0);
    glPixelStorei(GL_PACK_SKIP_ROWS, 0);
    glPixelStorei(GL_PACK_SKIP_PIXELS, 0);
    // From the drawing area's corner, not the viewport's: the viewport only gives the size.
    glReadPixels(0, 0, width, height, format, GL_UNSIGNED_BYTE, pixels);
}

bool TGLBMP::CaptureToFile(const std::string& fileName) {
    bool answer = true;
    if (!TakeViewportSize()) return false;
    Pixels.reset(new (std::nothrow) uint8_t[PixelBytes()]);
    if (!Pixels) {
        ReleasePixels();
        throw std::bad_alloc(); // told as out of memory, not as an area that could not be read
    }
    ReadPixels(Width, Height, GL_RGBA, Pixels.get());
    if (!fileName.empty()) answer = SaveToFile(fileName);
    return answer;
}

bool TGLBMP::CaptureToBitmap(TBitmap& picture) {
    if (!TakeViewportSize()) return false;
    if (TBitmap::ImageSize(Width, Height, 32) == 0) return false;
    picture.SetSize(Width, Height, 32);
    // 32-bit rows need no padding, and GL's first row is the bottom one: the bitmap's store is exactly the
    // read-back in blue, green, red, alpha order, so no second copy of the picture is ever made.
    ReadPixels(Width, Height, GL_BGRA, picture.Data());
    return true;
}

bool TGLBMP::SaveToFile(const std::string& fileName) {
    const std::string extension = LowerExtension(fileName);
    if (extension == ".bmp") return WriteBmp(fileName);
    if (extension == ".jpg") return WriteJpeg(fileName);
    if (extension == ".tga") return WriteTga(fileName);
    return false;
}

bool TGLBMP::WritePixelsSwapped(TStream& stream) {
    const size_t bytes = PixelBytes();
    SwapRedBlue();
    size_t written = 0;
    try {
        written = stream.Write(Pixels.get(), bytes);
    } catch (...) {
        SwapRedBlue(); // the capture keeps red, green, blue, alpha whatever happens
        throw;
    }
    SwapRedBlue();
    return written == bytes;
}

bool TGLBMP::WriteBmp(TStream& stream) {
    if (!Pixels) return false;
    // 32-bit rows need no padding: the headers describe the capture exactly, bottom row first as read.
    const TBmpHeaders headers = BmpHeaders(Width, Height, 32);
    if (stream.Write(headers.data(), kBmpFileHeaderSize) < kBmpFileHeaderSize) return false;
    if (stream.Write(headers.data() + kBmpFileHeaderSize, kBmpInfoHeaderSize) < kBmpInfoHeaderSize)
        return false;
    return WritePixelsSwapped(stream);
}

bool TGLBMP::WriteTga(TStream& stream) {
    if (!Pixels) return false;
    uint8_t header[18] = {};
    header[2] = 2;
    Put16(header + 12, uint32_t(Width));
    Put16(header + 14, uint32_t(Height));
    header[16] = 32;
    header[17] = 0; // bottom-left origin
    if (stream.Write(header, sizeof header) < sizeof header) return false;
    return WritePixelsSwapped(stream);
}

bool TGLBMP::WriteBmp(const std::string& fileName) {
    if (!Pixels) return false;
    TFileStream file(fileName, TFileStream::TMode::Create);
    return WriteBmp(file);
}

bool TGLBMP::WriteTga(const std::string& fileName) {
    if (!Pixels) return false;
    TFileStream file(fileName, TFileStream::TMode::Create);
    return WriteTga(file);
}

bool TGLBMP::WriteJpeg(const std::string& fileName) {
    if (!Pixels) return false;
    try {
        TBitmap bitmap(Width, Height, 32);
        // The capture's bottom-up rows are exactly the bitmap's storage order; only red and blue move.
        const uint8_t* src = Pixels.get();
        for (int row = Height - 1; row >= 0; --row) {
            uint8_t* dst = bitmap.ScanLine(row);
            for (int x = 0; x < Width; ++x, src += 4, dst += 4) {
                dst[0] = src[2];
                dst[1] = src[1];
                dst[2] = src[0];
                dst[3] = src[3];
            }
        }
        SaveJpegFile(bitmap, fileName, EncoderQuality);
        return true;
    } catch (const std::bad_alloc&) {
        throw; // out of memory, not a file that could not be written
    } catch (...) {
        return false;
    }
}

TGLBandReadBack::TGLBandReadBack(size_t bandBytes) {
    GLint viewport[4] = {0, 0, 0, 0};
    glGetIntegerv(GL_VIEWPORT, viewport);
    if (viewport[2] <= 0 || viewport[3] <= 0) return;
    FWidth = viewport[2];
    FHeight = viewport[3];
    const size_t rowBytes = size_t(FWidth) * 4;
    FBandRows = int(std::clamp<size_t>(bandBytes / rowBytes, 1, size_t(FHeight)));
    Band.resize(size_t(FBandRows) * rowBytes);
    glFinish();
    glPixelStorei(GL_PACK_ALIGNMENT, 4);
    glPixelStorei(GL_PACK_ROW_LENGTH, 0);
    glPixelStorei(GL_PACK_SKIP_ROWS, 0);
    glPixelStorei(GL_PACK_SKIP_PIXELS, 0);
}

void TGLBandReadBack::ReadBand(int top, int bottom) {
    // GL counts rows from the bottom of the area, from its corner as CaptureToBitmap reads it.
    glReadPixels(0, FHeight - 1 - bottom, FWidth, bottom - top + 1, GL_BGRA, GL_UNSIGNED_BYTE, Band.data());
    BandTop = top;
    BandBottom = bottom;
    ++FBandsRead;
}

const uint8_t* TGLBandReadBack::Row(int y) {
    assert(y >= 0 && y < FHeight && "a row of the area");
    if (y < BandTop || y > BandBottom) {
        // Going up, the band ends at the row asked for; going down (and at the start), it begins there.
        const bool upwards = LastRow >= 0 ? y < LastRow : y >= FHeight / 2;
        if (upwards)
            ReadBand(std::max(0, y - FBandRows + 1), y);
        else
            ReadBand(y, std::min(FHeight - 1, y + FBandRows - 1));
    }
    LastRow = y;
    return Band.data() + size_t(BandBottom - y) * size_t(FWidth) * 4;
}
