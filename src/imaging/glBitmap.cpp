#include "imaging/glBitmap.h"

#include "gl/GLErrors.h"
#include "imaging/JpegCodec.h"
#include "imaging/Resample.h"
#include "imaging/TgaFile.h"
#include "platform/BmpFile.h"
#include "platform/ELumatex.h"

#include <GL/glu.h>

#include <algorithm>
#include <cstring>
#include <new>
#include <utility>

namespace {

// Room for headers, palettes and trailing data beside the largest accepted pixel store.
constexpr size_t kStreamSlack = size_t(1) << 20;

std::unique_ptr<uint8_t[]> NewBuffer(size_t size) {
    // value-initialised: zero-filled
    return std::unique_ptr<uint8_t[]>(new uint8_t[size == 0 ? 1 : size]());
}

// Puts the stream back to where a loader found it, unless the loader accepted the data.
struct TStreamRewind {
    TStream& Stream;
    uint64_t Start;
    bool Keep = false;
    ~TStreamRewind() {
        if (!Keep) Stream.Seek(Start);
    }
};

} // namespace

TglBitmapDefaults& glBitmapDefaults() {
    static TglBitmapDefaults defaults;
    return defaults;
}

bool IsValidMinFilter(GLenum filter) {
    switch (filter) {
    case GL_NEAREST:
    case GL_LINEAR:
    case GL_NEAREST_MIPMAP_NEAREST:
    case GL_LINEAR_MIPMAP_NEAREST:
    case GL_NEAREST_MIPMAP_LINEAR:
    case GL_LINEAR_MIPMAP_LINEAR:
        return true;
    default:
        return false;
    }
}

bool IsValidMagFilter(GLenum filter) {
    return filter == GL_NEAREST || filter == GL_LINEAR;
}

bool IsValidWrap(GLenum wrap) {
    return wrap == GL_CLAMP || wrap == GL_REPEAT || wrap == GL_CLAMP_TO_BORDER || wrap == GL_CLAMP_TO_EDGE;
}

GLenum MinFilterWithoutMipMaps(GLenum filter) {
    switch (filter) {
    case GL_NEAREST_MIPMAP_NEAREST:
    case GL_NEAREST_MIPMAP_LINEAR:
        return GL_NEAREST;
    case GL_LINEAR_MIPMAP_NEAREST:
    case GL_LINEAR_MIPMAP_LINEAR:
        return GL_LINEAR;
    default:
        return filter;
    }
}

void glBitmapSetDefaultFilter(GLenum min, GLenum mag) {
    if (!IsValidMinFilter(min)) throw ELumatex(kDefaultFilterMinMessage);
    glBitmapDefaults().MinFilter = min;
    if (!IsValidMagFilter(mag)) throw ELumatex(kDefaultFilterMagMessage);
    glBitmapDefaults().MagFilter = mag;
}

void glBitmapSetDefaultWrap(GLenum s, GLenum t, GLenum r) {
    if (!IsValidWrap(s)) throw ELumatex(kDefaultWrapSMessage);
    glBitmapDefaults().WrapS = s;
    if (!IsValidWrap(t)) throw ELumatex(kDefaultWrapTMessage);
    glBitmapDefaults().WrapT = t;
    if (!IsValidWrap(r)) throw ELumatex(kDefaultWrapRMessage);
    glBitmapDefaults().WrapR = r;
}

TglBitmapFormats glBitmapChooseFormats(const TGLFlags& flags, bool hasAlpha, uint8_t formatKind) {
    TglBitmapFormats f;
    if (flags.Version12 || flags.ExtBgra) {
        f.Format = hasAlpha ? GL_BGRA : GL_BGR;
    } else {
        f.SwapRedBlue = true;
        f.Format = hasAlpha ? GL_RGBA : GL_RGB;
    }
    switch (formatKind) {
    case kFormatFourBit:
        f.InternalFormat = hasAlpha ? GL_RGBA4 : GL_RGB4;
        break;
    case kFormatEightBit:
        f.InternalFormat = hasAlpha ? GL_RGBA8 : GL_RGB8;
        break;
    case kFormatCompressed:
        if (flags.Version13 || flags.ArbTextureCompression)
            f.InternalFormat = hasAlpha ? GL_COMPRESSED_RGBA_ARB : GL_COMPRESSED_RGB_ARB;
        else if (flags.ExtTextureCompressionS3tc)
            f.InternalFormat = hasAlpha ? GL_COMPRESSED_RGBA_S3TC_DXT1_EXT : GL_COMPRESSED_RGB_S3TC_DXT1_EXT;
        else
            f.InternalFormat = hasAlpha ? GL_RGBA : GL_RGB;
        break;
    default:
        f.InternalFormat = hasAlpha ? GL_RGBA : GL_RGB;
        break;
    }
    return f;
}

// ---------------------------------------------------------------------------------------------------------
// TglBitmap

TglBitmap::TglBitmap() {
    const TglBitmapDefaults& d = glBitmapDefaults();
    FormatKind = d.FormatKind;
    OwnsTexture = d.OwnsTexture;
    ReleasePixelsAfterUpload = d.ReleasePixelsAfterUpload;
    MinFilter = d.MinFilter;
    MagFilter = d.MagFilter;
    WrapS = d.WrapS;
    WrapT = d.WrapT;
    WrapR = d.WrapR;
}

TglBitmap::~TglBitmap() {
    Pixels.reset();
    PixelBytes = 0;
    if (TextureId != 0 && OwnsTexture) glDeleteTextures(1, &TextureId);
}

void TglBitmap::SetPixels(std::unique_ptr<uint8_t[]> buffer, size_t size) {
    Pixels = std::move(buffer);
    PixelBytes = Pixels ? size : 0;
}

void TglBitmap::AllocatePixels(size_t size) {
    SetPixels(NewBuffer(size), size);
}

std::vector<uint8_t> TglBitmap::ReadImageData(TStream& stream) {
    return stream.ReadRest(MaxImageBytes + kStreamSlack);
}

// Each loader refuses a picture over the limits from its header, before the data is read, and hands the
// decoded picture over without copying it: the file's bytes are gone by then.
bool TglBitmap::LoadTgaStream(TStream& stream) {
    TStreamRewind rewind{stream, stream.Position()};
    uint8_t header[kTgaHeaderSize];
    if (stream.Read(header, sizeof header) != sizeof header || !IsSupportedTga(header, sizeof header))
        return false;
    CheckTgaPictureSize(header, sizeof header, MaxImageBytes);
    stream.Seek(rewind.Start);
    TBitmap bitmap;
    {
        const std::vector<uint8_t> data = ReadImageData(stream);
        DecodeTga(data.data(), data.size(), bitmap, MaxImageBytes);
    }
    rewind.Keep = true;
    return AssignFromBitmap(std::move(bitmap));
}

bool TglBitmap::LoadJpegStream(TStream& stream) {
    TStreamRewind rewind{stream, stream.Position()};
    uint8_t magic[2];
    if (stream.Read(magic, 2) != 2 || !LooksLikeJpeg(magic, 2)) return false;
    stream.Seek(rewind.Start);
    TBitmap bitmap;
    DecodeJpeg(stream, bitmap, MaxImageBytes);
    rewind.Keep = true;
    return AssignFromBitmap(std::move(bitmap));
}

bool TglBitmap::LoadBmpStream(TStream& stream) {
    TStreamRewind rewind{stream, stream.Position()};
    uint8_t header[30];
    const size_t headerSize = stream.Read(header, sizeof header);
    if (headerSize < 2 || header[0] != 'B' || header[1] != 'M') return false;
    CheckBmpPictureSize(header, headerSize, MaxImageBytes);
    stream.Seek(rewind.Start);
    TBitmap bitmap;
    {
        const std::vector<uint8_t> data = ReadImageData(stream);
        ReadBmp(data.data(), data.size(), bitmap, MaxImageBytes);
    }
    if (bitmap.BitsPerPixel() != 24 && bitmap.BitsPerPixel() != 32) bitmap.ConvertTo(24);
    rewind.Keep = true;
    return AssignFromBitmap(std::move(bitmap));
}

void TglBitmap::LoadFromStream(TStream& stream) {
    if (LoadTgaStream(stream)) return;
    if (LoadJpegStream(stream)) return;
    if (LoadBmpStream(stream)) return;
    throw ELumatex(kLoadFromStreamMessage);
}

void TglBitmap::LoadImageFile(const std::string& fileName) {
    TFileStream file(fileName, TFileStream::TMode::Read);
    file.Seek(0);
    LoadFromStream(file);
}

void TglBitmap::Bind() {
    if (TextureId != 0) glBindTexture(Target, TextureId);
}

GLenum TglBitmap::EffectiveMinFilter() const {
    if (MipMapMode == kMipMapNone || Target == GL_TEXTURE_RECTANGLE)
        return MinFilterWithoutMipMaps(MinFilter);
    return MinFilter;
}

void TglBitmap::SetFilter(GLenum min, GLenum mag) {
    if (!IsValidMinFilter(min)) throw ELumatex(kSetFilterMinMessage);
    MinFilter = min;
    if (!IsValidMagFilter(mag)) throw ELumatex(kSetFilterMagMessage);
    MagFilter = mag;
    if (TextureId == 0) return;
    Bind();
    glTexParameteri(Target, GL_TEXTURE_MAG_FILTER, static_cast<GLint>(MagFilter));
    // The stored MinFilter keeps the request, so switching mip-maps on later restores it at the next upload.
    glTexParameteri(Target, GL_TEXTURE_MIN_FILTER, static_cast<GLint>(EffectiveMinFilter()));
}

void TglBitmap::SetWrap(GLenum s, GLenum t, GLenum r) {
    if (!IsValidWrap(s)) throw ELumatex(kSetWrapSMessage);
    WrapS = s;
    if (!IsValidWrap(t)) throw ELumatex(kSetWrapTMessage);
    WrapT = t;
    if (!IsValidWrap(r)) throw ELumatex(kSetWrapRMessage);
    WrapR = r;
    if (TextureId == 0) return;
    Bind();
    glTexParameteri(Target, GL_TEXTURE_WRAP_S, static_cast<GLint>(WrapS));
    glTexParameteri(Target, GL_TEXTURE_WRAP_T, static_cast<GLint>(WrapT));
    glTexParameteri(Target, GL_TEXTURE_WRAP_R, static_cast<GLint>(WrapR));
}

void TglBitmap::CreateTexture() {
    if (TextureId != 0) glDeleteTextures(1, &TextureId);
    TextureId = 0;
    glGenTextures(1, &TextureId);
    Bind();
}

bool TglBitmap::ApplyParameters() {
    SetWrap(WrapS, WrapT, WrapR);
    SetFilter(MinFilter, MagFilter);
    bool buildWithGlu = false;
    switch (MipMapMode) {
    case kMipMapAutomatic: {
        const TGLFlags& flags = ContextFlags();
        if (flags.Version14 || flags.SgisGenerateMipmap)
            glTexParameteri(Target, GL_GENERATE_MIPMAP, 1);
        else
            buildWithGlu = true;
        break;
    }
    case kMipMapGlu:
        buildWithGlu = true;
        break;
    default:
        break;
    }
    return buildWithGlu;
}

TglBitmapFormats TglBitmap::ChooseFormats() {
    const TglBitmapFormats formats = glBitmapChooseFormats(ContextFlags(), HasAlpha, FormatKind);
    if (formats.SwapRedBlue) SwapRedBlue();
    return formats;
}

// ---------------------------------------------------------------------------------------------------------
// TglBitmap2D

TglBitmap2D::TglBitmap2D() {
    Target = GL_TEXTURE_2D;
}

void TglBitmap2D::ResetRowStarts() {
    RowStarts.clear();
    if (!Pixels) return;
    const size_t rowBytes = size_t(Width) * size_t(BytesPerPixel());
    // Never describe more rows than the buffer holds.
    if (Width <= 0 || Height <= 0 || rowBytes * size_t(Height) > PixelBytes) return;
    RowStarts.resize(size_t(Height));
    for (int i = 0; i < Height; ++i)
        RowStarts[size_t(i)] = Pixels.get() + size_t(i) * rowBytes;
}

void TglBitmap2D::SetPixels(std::unique_ptr<uint8_t[]> buffer, size_t size) {
    TglBitmap::SetPixels(std::move(buffer), size);
    ResetRowStarts();
}

void TglBitmap2D::SwapRedBlue() {
    // Only the pixels the rows describe; a buffer the rows do not fit is left alone.
    if (!Pixels || RowStarts.empty()) return;
    const size_t bpp = size_t(BytesPerPixel());
    for (int y = 0; y < Height; ++y) {
        uint8_t* p = RowStarts[size_t(y)];
        for (int x = 0; x < Width; ++x, p += bpp)
            std::swap(p[0], p[2]);
    }
}

void TglBitmap2D::GenTexture(bool testSize) {
    if (!Pixels) return;
    const TGLFlags& flags = ContextFlags();
    if (testSize) {
        GLint maxSize = 0;
        glGetIntegerv(GL_MAX_TEXTURE_SIZE, &maxSize);
        if (Height > maxSize || Width > maxSize) throw ELumatex(kGenTextureTooLargeMessage);
        const bool rectangle =
            (flags.ArbTextureRectangle || flags.NvTextureRectangle) && Target == GL_TEXTURE_RECTANGLE;
        if (!(IsPowerOfTwo(Width) && IsPowerOfTwo(Height)) && !flags.ArbTextureNonPowerOfTwo && !rectangle)
            throw ELumatex(kGenTextureNpotMessage);
    }
    CreateTexture();
    FFrameTexture = false;
    const bool buildWithGlu = ApplyParameters();
    const TglBitmapFormats formats = ChooseFormats();
    // The rows lie back to back; with the default alignment of four, a width whose row is not a multiple of
    // four bytes would shear the picture.
    GLint alignment = 4;
    glGetIntegerv(GL_UNPACK_ALIGNMENT, &alignment);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    if (buildWithGlu)
        gluBuild2DMipmaps(Target, static_cast<GLint>(formats.InternalFormat), Width, Height, formats.Format,
                          GL_UNSIGNED_BYTE, Pixels.get());
    else
        glTexImage2D(Target, 0, static_cast<GLint>(formats.InternalFormat), Width, Height, 0, formats.Format,
                     GL_UNSIGNED_BYTE, Pixels.get());
    glPixelStorei(GL_UNPACK_ALIGNMENT, alignment);
    if (ReleasePixelsAfterUpload) SetPixels(nullptr, 0);
    RaiseForGLOutOfMemory();

    if (flags.ArbTextureCompression) {
        GLint value = 0;
        glGetTexLevelParameteriv(Target, 0, GL_TEXTURE_COMPRESSED_ARB, &value);
        Compressed = value != 0;
        value = 0;
        // Asking an uncompressed image for its compressed size is an invalid operation; its answer is 0.
        if (Compressed) glGetTexLevelParameteriv(Target, 0, GL_TEXTURE_COMPRESSED_IMAGE_SIZE_ARB, &value);
        CompressedSize = value;
    } else {
        Compressed = FormatKind == kFormatCompressed && flags.ExtTextureCompressionS3tc;
        CompressedSize = 0;
    }
    GLboolean resident = GL_FALSE;
    Resident = glAreTexturesResident(1, &TextureId, &resident) == GL_TRUE || resident == GL_TRUE;
}

bool TglBitmap2D::AssignFromBitmap(const TBitmap* bitmap) {
    if (!bitmap) return false;
    if (bitmap->BitsPerPixel() != 24 && bitmap->BitsPerPixel() != 32)
        throw ELumatex(kAssignFromBitmapDepthMessage);
    HasAlpha = bitmap->BitsPerPixel() == 32;
    Width = bitmap->Width();
    Height = bitmap->Height();
    const size_t rowBytes = size_t(Width) * size_t(BytesPerPixel());
    try {
        AllocatePixels(rowBytes * size_t(Height));
    } catch (const std::bad_alloc&) {
        // Leave nothing that describes bytes the object does not hold; the caller learns it is out of
        // memory, not that the picture was unusable.
        SetPixels(nullptr, 0);
        Width = Height = 0;
        throw;
    }
    if (RowStarts.empty()) return true; // 0 pixels wide or high: nothing to copy
    for (int i = 0; i < Height; ++i)
        std::memcpy(RowStarts[size_t(i)], bitmap->ScanLine(i), rowBytes);
    return true;
}

bool TglBitmap2D::AssignFromBitmap(TBitmap&& bitmap) {
    if (bitmap.BitsPerPixel() != 24 && bitmap.BitsPerPixel() != 32)
        throw ELumatex(kAssignFromBitmapDepthMessage);
    HasAlpha = bitmap.BitsPerPixel() == 32;
    Width = bitmap.Width();
    Height = bitmap.Height();
    const size_t rowBytes = size_t(Width) * size_t(BytesPerPixel());
    const size_t stride = bitmap.Stride();
    std::unique_ptr<uint8_t[]> data = bitmap.ReleaseData();
    if (!data) {
        AllocatePixels(0);
        return true;
    }
    // The store runs bottom-up in padded rows: turn it top-down, then close the gaps the padding leaves,
    // front to back so that no row is overwritten before it has moved.
    for (size_t top = 0, bottom = size_t(Height) - 1; top < bottom; ++top, --bottom)
        std::swap_ranges(data.get() + top * stride, data.get() + top * stride + rowBytes,
                         data.get() + bottom * stride);
    if (stride != rowBytes)
        for (size_t row = 1; row < size_t(Height); ++row)
            std::memmove(data.get() + row * rowBytes, data.get() + row * stride, rowBytes);
    SetPixels(std::move(data), rowBytes * size_t(Height));
    return true;
}

bool TglBitmap2D::UploadFrame(const TBitmap& bitmap) {
    if (bitmap.BitsPerPixel() != 24 || bitmap.Width() < 1 || bitmap.Height() < 1) return false;
    const TGLFlags& flags = ContextFlags();
    if (!flags.Version12 && !flags.ExtBgra) return false;
    const int width = bitmap.Width(), height = bitmap.Height();
    FFrameRows.resize(size_t(width) * size_t(height));
    for (int y = 0; y < height; ++y)
        WidenBgrRow(bitmap.ScanLine(y), FFrameRows.data() + size_t(y) * size_t(width), width);
    GLint alignment = 4;
    glGetIntegerv(GL_UNPACK_ALIGNMENT, &alignment);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
    if (FFrameTexture && TextureId != 0 && width == Width && height == Height && !HasAlpha) {
        Bind();
        glTexSubImage2D(Target, 0, 0, 0, width, height, GL_BGRA, GL_UNSIGNED_INT_8_8_8_8_REV,
                        FFrameRows.data());
    } else {
        SetPixels(nullptr, 0);
        HasAlpha = false;
        Width = width;
        Height = height;
        CreateTexture();
        ApplyParameters();
        // Unsized, so that the driver keeps the texture in the layout it is given; asked for "RGBA8" it
        // picks its own channel order and converts every frame.
        glTexImage2D(Target, 0, GL_RGBA, width, height, 0, GL_BGRA, GL_UNSIGNED_INT_8_8_8_8_REV,
                     FFrameRows.data());
        FFrameTexture = true;
    }
    glPixelStorei(GL_UNPACK_ALIGNMENT, alignment);
    RaiseForGLOutOfMemory();
    return true;
}

bool TglBitmap2D::MoveToBitmap(TBitmap& bitmap) {
    if (!Pixels) return false;
    const int bitsPerPixel = HasAlpha ? 32 : 24;
    const size_t rowBytes = size_t(Width) * size_t(BytesPerPixel());
    if (RowStarts.empty() || TBitmap::Stride(Width, bitsPerPixel) != rowBytes) {
        // Rows that need padding do not fit the buffer: one copy, then the buffer goes.
        if (!CopyToBitmap(&bitmap)) return false;
        SetPixels(nullptr, 0);
        return true;
    }
    std::unique_ptr<uint8_t[]> data = std::move(Pixels);
    SetPixels(nullptr, 0);
    for (size_t top = 0, bottom = size_t(Height) - 1; top < bottom; ++top, --bottom)
        std::swap_ranges(data.get() + top * rowBytes, data.get() + (top + 1) * rowBytes,
                         data.get() + bottom * rowBytes);
    bitmap.AdoptData(std::move(data), Width, Height, bitsPerPixel);
    return true;
}

bool TglBitmap2D::CopyToBitmap(TBitmap* bitmap) {
    if (!Pixels || !bitmap) return false;
    bitmap->SetSize(Width, Height, 24);
    if (HasAlpha) bitmap->SetSize(Width, Height, 32);
    const size_t rowBytes = size_t(Width) * size_t(BytesPerPixel());
    if (RowStarts.empty()) return true;
    for (int i = 0; i < Height; ++i)
        std::memcpy(bitmap->ScanLine(i), RowStarts[size_t(i)], rowBytes);
    return true;
}
