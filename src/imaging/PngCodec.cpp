#include "imaging/PngCodec.h"

#include "platform/ELumatex.h"

#include <png.h>

#include <cstring>
#include <memory>
#include <string>

namespace {

constexpr size_t kPngSignatureBytes = 8;

// png_image keeps its own memory until it is freed, on every way out.
struct TPngImage {
    png_image Image;
    TPngImage() {
        std::memset(&Image, 0, sizeof Image);
        Image.version = PNG_IMAGE_VERSION;
    }
    ~TPngImage() { png_image_free(&Image); }
    TPngImage(const TPngImage&) = delete;
    TPngImage& operator=(const TPngImage&) = delete;

    [[noreturn]] void Raise(const char* what) const {
        throw ELumatex(std::string(what) + ": " + Image.message);
    }
};

uint32_t BigEndian32(const uint8_t* p) {
    return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | uint32_t(p[3]);
}

// The picture size stands in the first chunk, which must be IHDR: an absurd one is refused from there,
// before libpng reads further chunks or anything is allocated for the pixels.
void CheckHeaderSize(const uint8_t* data, size_t size, int maxEdge) {
    constexpr size_t kIhdrEnd = kPngSignatureBytes + 8 + 8; // length, type, then width and height
    if (size < kIhdrEnd || std::memcmp(data + kPngSignatureBytes + 4, "IHDR", 4) != 0)
        throw ELumatex("damaged PNG header");
    const uint32_t width = BigEndian32(data + kPngSignatureBytes + 8);
    const uint32_t height = BigEndian32(data + kPngSignatureBytes + 12);
    if (width == 0 || height == 0 || width > uint32_t(maxEdge) || height > uint32_t(maxEdge))
        throw ELumatex(FormatText("PNG picture of %ux%u pixels; at most %dx%d are taken", unsigned(width),
                                  unsigned(height), maxEdge, maxEdge));
}

} // namespace

bool LooksLikePng(const uint8_t* data, size_t size) {
    return size >= kPngSignatureBytes && png_sig_cmp(data, 0, kPngSignatureBytes) == 0;
}

void DecodePng(const uint8_t* data, size_t size, TBitmap& bitmap, int maxEdge) {
    if (!LooksLikePng(data, size)) throw ELumatex("not a PNG file");
    CheckHeaderSize(data, size, maxEdge);
    TPngImage png;
    if (!png_image_begin_read_from_memory(&png.Image, data, size)) png.Raise("damaged PNG header");
    const auto width = png.Image.width;
    const auto height = png.Image.height;
    if (width == 0 || height == 0 || width > png_uint_32(maxEdge) || height > png_uint_32(maxEdge))
        throw ELumatex(FormatText("PNG picture of %ux%u pixels; at most %dx%d are taken", unsigned(width),
                                  unsigned(height), maxEdge, maxEdge));
    png.Image.format = PNG_FORMAT_BGRA;
    TBitmap decoded(int(width), int(height), 32);
    // A negative stride writes the rows bottom-up, the order the bitmap stores them in.
    const auto stride = -static_cast<png_int_32>(TBitmap::Stride(int(width), 32));
    if (!png_image_finish_read(&png.Image, nullptr, decoded.Data(), stride, nullptr))
        png.Raise("damaged PNG data");
    bitmap = std::move(decoded);
}
