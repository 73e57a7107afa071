#include "imaging/TgaFile.h"

#include "platform/ELumatex.h"
#include "support/ImageMagick.h"
#include "support/TestSupport.h"

#include <cstring>

namespace {

std::vector<uint8_t> Tga(int type, int width, int height, int depth, uint8_t descriptor = 0,
                         std::vector<uint8_t> body = {}) {
    const uint8_t header[18] = {0,
                                0,
                                uint8_t(type),
                                0,
                                0,
                                0,
                                0,
                                0,
                                0,
                                0,
                                0,
                                0,
                                uint8_t(width),
                                uint8_t(width >> 8),
                                uint8_t(height),
                                uint8_t(height >> 8),
                                uint8_t(depth),
                                descriptor};
    body.insert(body.begin(), std::begin(header), std::end(header));
    return body;
}

bool Decode(const std::vector<uint8_t>& data, TBitmap& bmp) {
    return DecodeTga(data.data(), data.size(), bmp);
}

} // namespace

TEST(TgaRead, MatchesImageMagickFilesOfBothTypesAndRowOrders) {
    REQUIRE_CONVERT();
    TTempFolder temp;
    // ImageMagick stores the rows in the order it holds them and only labels the origin, so a bottom-left
    // file gets its rows turned over first (-flip): the first stored row is then the picture's bottom row.
    for (auto [options, alpha, type, descriptor] : {std::tuple{"-flip", false, 2, 0x00},
                                                    {"-flip -compress RLE", true, 10, 0x08},
                                                    {"-orient TopLeft -compress RLE", true, 10, 0x28}}) {
        SCOPED_TRACE(std::string(options) + (alpha ? " alpha" : ""));
        const TBitmap source = PatternBitmap(23, 9, 7, alpha ? 32 : 24); // few colours: long runs
        const std::string src = temp.File(alpha ? "src.pam" : "src.ppm");
        WriteNetpbm(src, source);
        ASSERT_TRUE(Convert(src + " " + options + " TGA:" + temp.File("x.tga")));
        const std::vector<uint8_t> file = ReadBytes(temp.File("x.tga"));
        ASSERT_GE(file.size(), 18u);
        ASSERT_EQ(file[2], type);
        ASSERT_EQ(file[17], descriptor);
        TBitmap decoded;
        ASSERT_TRUE(Decode(file, decoded));
        EXPECT_TRUE(decoded.SamePixels(source));
    }
}

TEST(TgaRead, RunLengthPacketsRunAcrossRowsAndStopAtTheImageEnd) {
    // 3 x 2, bottom row first, with a 2-byte identification field to skip: a run of 4 fills the bottom row
    // and the first top pixel, then a raw packet of 3 of which only two fit.
    std::vector<uint8_t> file =
        Tga(10, 3, 2, 24, 0x00, {'i', 'd', 0x83, 1, 2, 3, 0x02, 4, 5, 6, 7, 8, 9, 10, 11, 12});
    file[0] = 2;
    TBitmap bmp;
    ASSERT_TRUE(Decode(file, bmp));
    ASSERT_EQ(bmp.BitsPerPixel(), 24);
    const uint8_t bottom[9] = {1, 2, 3, 1, 2, 3, 1, 2, 3}, top[9] = {1, 2, 3, 4, 5, 6, 7, 8, 9};
    EXPECT_EQ(0, std::memcmp(bmp.ScanLine(1), bottom, 9));
    EXPECT_EQ(0, std::memcmp(bmp.ScanLine(0), top, 9));
    // The same pixels with the top-first bit: rows swap places; the bytes of the dropped pixel are optional.
    ASSERT_TRUE(Decode(Tga(10, 3, 2, 24, 0x20, {0x83, 1, 2, 3, 0x02, 4, 5, 6, 7, 8, 9}), bmp));
    EXPECT_EQ(0, std::memcmp(bmp.ScanLine(0), bottom, 9));
    EXPECT_EQ(0, std::memcmp(bmp.ScanLine(1), top, 9));
}

TEST(TgaRead, DeclinesOtherKindsWithoutTouchingTheBitmap) {
    std::vector<uint8_t> colourMapped = Tga(2, 2, 2, 24);
    colourMapped[1] = 1;
    for (const auto& data : {std::vector<uint8_t>(17, 0), Tga(1, 2, 2, 24), Tga(3, 2, 2, 8), Tga(2, 2, 2, 16),
                             Tga(10, 2, 2, 8), colourMapped}) {
        TBitmap bmp(5, 5, 24);
        EXPECT_FALSE(Decode(data, bmp));
        EXPECT_EQ(bmp.Width(), 5);
    }
}

TEST(TgaReadBadInput, DamagedImagesRaiseBeforeAllocating) {
    std::vector<uint8_t> longId = Tga(2, 1, 1, 24, 0, std::vector<uint8_t>(12));
    longId[0] = 200;
    const std::pair<const char*, std::vector<uint8_t>> cases[] = {
        {"no rows", Tga(10, 5, 0, 32)},
        {"type 2 one byte short", Tga(2, 2, 2, 24, 0, std::vector<uint8_t>(11))},
        {"identification field past the end", longId},
        {"run packet without its pixel", Tga(10, 4, 1, 24, 0, {0x81, 1, 2})},
        {"raw packet short of the pixels that fit", Tga(10, 4, 1, 24, 0, {0x03, 1, 2, 3, 4, 5, 6})},
        {"65535 x 65535 from one packet", Tga(10, 65535, 65535, 32, 0, {0xFF, 1, 2, 3, 4})},
    };
    TBitmap bmp;
    for (const auto& [what, data] : cases)
        EXPECT_THROW(Decode(data, bmp), ELumatex) << what;
    const std::vector<uint8_t> small = Tga(2, 4, 4, 32, 0, std::vector<uint8_t>(64));
    EXPECT_THROW(DecodeTga(small.data(), small.size(), bmp, 32), ELumatex) << "the caller's limit";
    EXPECT_TRUE(DecodeTga(small.data(), small.size(), bmp));
}
