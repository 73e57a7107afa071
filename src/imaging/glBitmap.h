// glBitmap.h: textures made from bitmaps and image files. A TglBitmap keeps its own copy of the pixels (rows
// back to back, row 0 = the source's top row, blue, green, red (, alpha), no row padding) together with the
// filter, wrap and mip-map settings, and uploads them into a fresh texture object on request.
// GUI thread only. Operations that make GL calls (GenTexture, Bind, SetFilter and SetWrap on an
// object with a texture, destruction of an owned texture) need the program's GL context current; loading,
// decoding and copying make none and work without a context.
#pragma once

#include "gl/GL.h"
#include "gl/GLFlags.h"
#include "platform/Bitmap.h"
#include "platform/Stream.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

inline constexpr const char* kGenTextureTooLargeMessage =
    "TglBitmap2D.GenTexture - The size for the texture is to large. It's may be not conform with the "
    "Hardware.";
inline constexpr const char* kGenTextureNpotMessage =
    "TglBitmap2D.GenTexture - Rendercontex dosn't support non power of two texture.";
inline constexpr const char* kAssignFromBitmapDepthMessage =
    "TglBitmap2D.AssignFromBitmap - Only Bitmaps with 24 or 32 bit are Supported. Set the pixelformat.";
inline constexpr const char* kLoadFromStreamMessage =
    "TglBitmap.LoadFromStream - Couldn't load Stream. It's possible to be an unknow Streamtype.";
inline constexpr const char* kSetFilterMinMessage = "TglBitmap.SetFilter - Unknow Minfilter.";
inline constexpr const char* kSetFilterMagMessage = "TglBitmap.SetFilter - Unknow Magfilter.";
inline constexpr const char* kSetWrapSMessage = "TglBitmap.SetWrap - Unknow Texturewrap(s).";
inline constexpr const char* kSetWrapTMessage = "TglBitmap.SetWrap - Unknow Texturewrap(t).";
inline constexpr const char* kSetWrapRMessage = "TglBitmap.SetWrap - Unknow Texturewrap(r).";
inline constexpr const char* kDefaultFilterMinMessage = "glBitmapSetDefaultFilter - Unknow Minfilter.";
inline constexpr const char* kDefaultFilterMagMessage = "glBitmapSetDefaultFilter - Unknow Magfilter.";
inline constexpr const char* kDefaultWrapSMessage = "glBitmapSetDefaultWrap - Unknow Texturewrap(s).";
inline constexpr const char* kDefaultWrapTMessage = "glBitmapSetDefaultWrap - Unknow Texturewrap(t).";
inline constexpr const char* kDefaultWrapRMessage = "glBitmapSetDefaultWrap - Unknow Texturewrap(r).";

// FormatKind values: the requested internal precision.
enum : uint8_t { kFormatDefault = 0, kFormatFourBit = 1, kFormatEightBit = 2, kFormatCompressed = 3 };
// MipMapMode values.
enum : uint8_t { kMipMapNone = 0, kMipMapAutomatic = 1, kMipMapGlu = 2 };

// Process-wide defaults every new object starts with; written at start-up, before objects are made.
// FormatKind, ReleasePixelsAfterUpload and OwnsTexture are set by plain assignment, filters and wraps
// through the validating setters below.
struct TglBitmapDefaults {
    uint8_t FormatKind = kFormatDefault;
    GLenum MinFilter = GL_LINEAR_MIPMAP_LINEAR;
    GLenum MagFilter = GL_LINEAR;
    GLenum WrapS = GL_CLAMP_TO_EDGE;
    GLenum WrapT = GL_CLAMP_TO_EDGE;
    GLenum WrapR = GL_CLAMP_TO_EDGE;
    bool ReleasePixelsAfterUpload = true;
    bool OwnsTexture = true;
};
TglBitmapDefaults& glBitmapDefaults();
// Validate like SetFilter / SetWrap (each value stored right after its own check) and make no GL call.
void glBitmapSetDefaultFilter(GLenum min, GLenum mag);
void glBitmapSetDefaultWrap(GLenum s, GLenum t, GLenum r);

bool IsValidMinFilter(GLenum filter);
bool IsValidMagFilter(GLenum filter);
bool IsValidWrap(GLenum wrap);
// The min filter in effect without mip-maps: the mip-map filters fall back to GL_NEAREST / GL_LINEAR.
GLenum MinFilterWithoutMipMaps(GLenum filter);

struct TglBitmapFormats {
    GLenum Format = 0; // pixel format of the data handed to GL
    GLenum InternalFormat = 0;
    bool SwapRedBlue = false; // the data must be turned into red, green, blue order first
};
// The upload formats for a context with the given flags; pure, so any flag combination can be tried.
TglBitmapFormats glBitmapChooseFormats(const TGLFlags& flags, bool hasAlpha, uint8_t formatKind);

class TglBitmap {
public:
    TglBitmap();
    TglBitmap(const TglBitmap&) = delete;
    TglBitmap& operator=(const TglBitmap&) = delete;
    virtual ~TglBitmap(); // releases the pixels, then deletes an owned texture (context current then)

    GLuint TextureId = 0;
    GLenum Target = 0;
    uint8_t FormatKind = kFormatDefault;
    uint8_t MipMapMode = kMipMapAutomatic;
    bool OwnsTexture = true;
    bool ReleasePixelsAfterUpload = true;
    std::unique_ptr<uint8_t[]> Pixels;
    bool HasAlpha = false;
    bool Compressed = false;
    bool Resident = false;
    int32_t CompressedSize = 0;
    GLenum MinFilter = GL_LINEAR_MIPMAP_LINEAR;
    GLenum MagFilter = GL_LINEAR;
    GLenum WrapS = GL_CLAMP_TO_EDGE;
    GLenum WrapT = GL_CLAMP_TO_EDGE;
    GLenum WrapR = GL_CLAMP_TO_EDGE;

    size_t PixelBytes = 0;                          // size of the Pixels buffer
    const TGLFlags* Flags = nullptr;                // flags the upload consults; null: GLFlags()
    size_t MaxImageBytes = TBitmap::kMaxImageBytes; // decoders refuse larger images before allocating

    // Replaces Pixels (size bytes) with buffer, freeing the previous one.
    virtual void SetPixels(std::unique_ptr<uint8_t[]> buffer, size_t size);
    // First and third byte of every pixel, in place; the subclass knows how its pixels are laid out.
    virtual void SwapRedBlue() = 0;
    // Each reads what it needs to recognise its format and puts the stream back where it found it before
    // declining (false). A recognised but damaged file raises ELumatex from its decoder.
    virtual bool LoadTgaStream(TStream& stream);
    virtual bool LoadJpegStream(TStream& stream);
    virtual bool LoadBmpStream(TStream& stream);
    virtual void GenTexture(bool testSize) = 0;
    // TGA, JPEG, BMP in this order; raises kLoadFromStreamMessage when all three decline.
    virtual void LoadFromStream(TStream& stream);
    virtual bool CopyToBitmap(TBitmap* bitmap) = 0;
    virtual bool AssignFromBitmap(const TBitmap* bitmap) = 0;
    // AssignFromBitmap's result from the bitmap's own store, reordered in place instead of copied; the
    // bitmap is left empty. The loaders hand their decoded picture over this way.
    virtual bool AssignFromBitmap(TBitmap&& bitmap) = 0;
    virtual void Bind();

    void SetFilter(GLenum min, GLenum mag);
    void SetWrap(GLenum s, GLenum t, GLenum r);
    void LoadImageFile(const std::string& fileName); // raises ELumatex when the file cannot be opened
    void AllocatePixels(size_t size);                // zero-filled
    void CreateTexture();
    bool ApplyParameters();           // answers buildWithGlu
    TglBitmapFormats ChooseFormats(); // swaps red and blue in place when the context needs it
    GLenum EffectiveMinFilter() const;
    const TGLFlags& ContextFlags() const { return Flags ? *Flags : GLFlags(); }

protected:
    // The whole rest of a stream, within what an image of MaxImageBytes can need.
    std::vector<uint8_t> ReadImageData(TStream& stream);
};

class TglBitmap2D : public TglBitmap {
public:
    TglBitmap2D();

    int32_t Width = 0;
    int32_t Height = 0;
    std::vector<uint8_t*> RowStarts; // row i at Pixels + i x Width x bytes per pixel; empty without Pixels

    void SetPixels(std::unique_ptr<uint8_t[]> buffer, size_t size) override;
    // Raises kGenTextureTooLargeMessage / kGenTextureNpotMessage (testSize only) before touching the
    // previous texture; does nothing without pixels. std::bad_alloc when the driver could not allocate it.
    void GenTexture(bool testSize) override;
    void SwapRedBlue() override;
    bool CopyToBitmap(TBitmap* bitmap) override;
    // False for a null bitmap; raises kAssignFromBitmapDepthMessage for a depth other than 24 or 32 bits,
    // and std::bad_alloc when the copy cannot be allocated, leaving no pixels and a 0 x 0 size.
    bool AssignFromBitmap(const TBitmap* bitmap) override;
    bool AssignFromBitmap(TBitmap&& bitmap) override;
    // CopyToBitmap's result with the object's own buffer, reordered in place (a copy only when 24-bit rows
    // need padding); the object keeps no pixels. False without pixels or bitmap. A decoded picture thus
    // changes owners with one copy of it alive.
    bool MoveToBitmap(TBitmap& bitmap);
    // Uploads a 24-bit video frame, the object's pixels untouched: the rows are widened to blue, green, red,
    // opaque in one pass, into a buffer kept for the next frame, and the texture is made in that very
    // layout, so that the driver copies them without converting; a frame of the size of the texture made by
    // the frame before replaces its pixels in place. False, with nothing done, for another depth or a driver
    // without BGRA order; std::bad_alloc when the driver is out of memory.
    bool UploadFrame(const TBitmap& bitmap);

    int BytesPerPixel() const { return HasAlpha ? 4 : 3; }

private:
    void ResetRowStarts();
    std::vector<uint32_t> FFrameRows; // UploadFrame's pixels, top-down
    bool FFrameTexture = false;       // the texture was made by UploadFrame
};
