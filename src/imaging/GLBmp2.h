// GLBmp2.h: capture of the current GL drawing area into a 32-bit BMP, a JPEG or a 32-bit TGA file.
// Made for one export and destroyed right after it. GUI thread, with the GL context of the drawing area to
// capture current (for CaptureToFile and for destruction when TextureId is set).
#pragma once

#include "gl/GL.h"
#include "imaging/PictureRows.h"
#include "platform/Stream.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class TBitmap;

class TGLBMP {
public:
    TGLBMP() = default;
    TGLBMP(const TGLBMP&) = delete;
    TGLBMP& operator=(const TGLBMP&) = delete;
    ~TGLBMP(); // ReleasePixels, then deletes TextureId when it is set

    // Reads the drawing area back from its lower-left corner (0, 0) with the current viewport's width and
    // height and, when fileName is not empty, answers SaveToFile(fileName). std::bad_alloc when the capture
    // buffer cannot be allocated. File errors of the BMP and TGA writers propagate as ELumatex.
    bool CaptureToFile(const std::string& fileName);
    // The same read-back straight into picture, which becomes 32-bit blue, green, red, alpha with the
    // bottom row stored first, as the BMP writer would store it; the capture keeps no pixels of its own.
    // False when the viewport is empty; std::bad_alloc when the picture cannot be allocated.
    bool CaptureToBitmap(TBitmap& picture);
    // By extension, compared without regard to case: ".bmp", ".jpg", ".tga"; anything else answers false.
    bool SaveToFile(const std::string& fileName);
    // False without a capture or after a short write; ELumatex when the file cannot be created or written.
    bool WriteBmp(const std::string& fileName);
    bool WriteTga(const std::string& fileName);
    // False without a capture and for every encoder or file error; std::bad_alloc passes through.
    bool WriteJpeg(const std::string& fileName);
    // The same writers into any stream (the file writers open the file and call these).
    bool WriteBmp(TStream& stream);
    bool WriteTga(TStream& stream);

    void SwapRedBlue(); // bytes 0 and 2 of every pixel, in place
    void ReleasePixels();

    GLuint TextureId = 0;
    int32_t Width = 0;
    int32_t Height = 0;
    int32_t BitsPerPixel = 0;
    // Width x Height pixels of red, green, blue, alpha as read from GL, bottom row first, rows back to back.
    std::unique_ptr<uint8_t[]> Pixels;
    int32_t EncoderQuality = 75;

    // Texture settings carried for the class's shape; nothing reads them.
    GLenum MinFilter = GL_LINEAR_MIPMAP_LINEAR;
    GLenum MagFilter = GL_LINEAR;
    GLenum WrapS = GL_REPEAT;
    GLenum WrapT = GL_REPEAT;

private:
    size_t PixelBytes() const { return size_t(Width) * size_t(Height) * 4; }
    bool TakeViewportSize();
    static void ReadPixels(int32_t width, int32_t height, GLenum format, void* pixels);
    bool WritePixelsSwapped(TStream& stream);
};

// The drawing area that CaptureToBitmap would read, read back in bands of rows as they are asked for: the
// same bytes (blue, green, red, alpha) without a copy of the whole picture. Same context requirement as
// TGLBMP, for construction and every Row call; the area must not be drawn into meanwhile.
class TGLBandReadBack final : public TPictureRows {
public:
    static constexpr size_t kDefaultBandBytes = size_t(8) << 20;

    // The size from the current viewport, after a glFinish. A band holds as many whole rows as fit
    // bandBytes, at least one. std::bad_alloc when the band cannot be allocated.
    explicit TGLBandReadBack(size_t bandBytes = kDefaultBandBytes);
    bool Empty() const { return FWidth == 0 || FHeight == 0; }
    int Width() const override { return FWidth; }
    int Height() const override { return FHeight; }
    const uint8_t* Row(int y) override;
    int BandRows() const { return FBandRows; }
    int BandsRead() const { return FBandsRead; }

private:
    void ReadBand(int top, int bottom);

    int FWidth = 0;
    int FHeight = 0;
    int FBandRows = 0;
    int BandTop = 0;     // rows BandTop .. BandBottom, counted from the top, are in Band
    int BandBottom = -1; // empty band
    int LastRow = -1;
    int FBandsRead = 0;
    std::vector<uint8_t> Band; // GL's order: the band's bottom row first
};
