#include "imaging/TgaFile.h"

#include "imaging/ImageMagick.h"
#include "platform/ELumatex.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>

namespace {

std::vector<uint8_t> TgaHeader(int type, int width, int height, int depth, uint8_t descriptor = 0, uint8_t idLength = 0) {
    std::vector<uint8_t> h(18, 0);
    h[0] = idLength;
    h[2] = uint8_t(type);
    h[12] = uint8_t(width);
    h[13] = uint8_t(width >> 8);
    h[14] = uint8_t(height);
    h[15] = uint8_t(height >> 8);
    h[16] = uint8_t(depth);
    h[17] = descriptor;
    return h;
}

bool Decode(const std::vector<uint8_t>& data, TBitmap& bmp) { return DecodeTga(data.data(), data.size(), bmp); }

} // namespace

TEST(TgaRead, MatchesImageMagickFilesOfBothTypesAndRowOrders) {
    REQUIRE_CONVERT();
    TTempFolder temp;
    struct TCase {
        const char* Options;
        bool Alpha;
        int Type;
        uint8_t Descriptor;
    };
    // ImageMagick stores the rows in the order it holds them and only labels the origin, so a bottom-left
    // file gets its rows turned over first (-flip): the first stored row is then the picture's bottom row.
    for (const TCase& c : {TCase{"-flip", false, 2, 0x00}, TCase{"-flip -compress RLE", false, 10, 0x00},
                           TCase{"-flip -compress RLE", true, 10, 0x08}, TCase{"-orient TopLeft", false, 2, 0x20},
                           TCase{"-orient TopLeft -compress RLE", true, 10, 0x28}}) {
        SCOPED_TRACE(std::string(c.Options) + (c.Alpha ? " alpha" : ""));
        const TBitmap source = PatternBitmap(23, 9, 7, c.Alpha ? 32 : 24); // few colours: long runs
        const std::string src = temp.File(c.Alpha ? "src.pam" : "src.ppm");
        WriteNetpbm(src, source);
        ASSERT_TRUE(Convert(src + " " + c.Options + " TGA:" + temp.File("x.tga")));
        const std::vector<uint8_t> file = ReadBytes(temp.File("x.tga"));
        ASSERT_GE(file.size(), 18u);
        ASSERT_EQ(file[2], c.Type);
        ASSERT_EQ(file[17], c.Descriptor);
        TBitmap decoded;
        ASSERT_TRUE(Decode(file, decoded));
        EXPECT_TRUE(decoded.SamePixels(source));
    }
}

TEST(TgaRead, RunLengthPacketsRunAcrossRowsAndStopAtTheImageEnd) {
    // 3 x 2, bottom row first, with a 2-byte identification field to skip.
    std::vector<uint8_t> file = TgaHeader(10, 3, 2, 24, 0x00, 2);
    file.insert(file.end(), {'i', 'd'});
    file.insert(file.end(), {0x83, 1, 2, 3});                  // run of 4: bottom row and first top pixel
    file.insert(file.end(), {0x02, 4, 5, 6, 7, 8, 9, 10, 11, 12}); // raw 3: only two fit
    TBitmap bmp;
    ASSERT_TRUE(Decode(file, bmp));
    ASSERT_EQ(bmp.BitsPerPixel(), 24);
    const uint8_t bottom[9] = {1, 2, 3, 1, 2, 3, 1, 2, 3};
    const uint8_t top[9] = {1, 2, 3, 4, 5, 6, 7, 8, 9};
    EXPECT_EQ(0, std::memcmp(bmp.ScanLine(1), bottom, 9));
    EXPECT_EQ(0, std::memcmp(bmp.ScanLine(0), top, 9));

    // The same pixels with the top-first bit: rows swap places; the bytes of the dropped pixel are optional.
    std::vector<uint8_t> topFirst = TgaHeader(10, 3, 2, 24, 0x20);
    topFirst.insert(topFirst.end(), {0x83, 1, 2, 3, 0x02, 4, 5, 6, 7, 8, 9});
    ASSERT_TRUE(Decode(topFirst, bmp));
    EXPECT_EQ(0, std::memcmp(bmp.ScanLine(0), bottom, 9));
    EXPECT_EQ(0, std::memcmp(bmp.ScanLine(1), top, 9));
}

TEST(TgaRead, DeclinesOtherKindsWithoutTouchingTheBitmap) {
    const std::vector<std::vector<uint8_t>> others = {
        {}, std::vector<uint8_t>(17, 0), TgaHeader(1, 2, 2, 24), TgaHeader(3, 2, 2, 8), TgaHeader(9, 2, 2, 24),
        TgaHeader(11, 2, 2, 24), TgaHeader(2, 2, 2, 16), TgaHeader(2, 2, 2, 15), TgaHeader(10, 2, 2, 8),
    };
    for (const auto& data : others) {
        TBitmap bmp(5, 5, 24);
        EXPECT_FALSE(Decode(data, bmp));
        EXPECT_EQ(bmp.Width(), 5);
    }
    std::vector<uint8_t> colourMapped = TgaHeader(2, 2, 2, 24);
    colourMapped[1] = 1;
    TBitmap bmp;
    EXPECT_FALSE(Decode(colourMapped, bmp));
}

TEST(TgaReadBadInput, DamagedImagesRaiseBeforeAllocating) {
    TBitmap bmp;
    auto expectRaise = [&](const std::vector<uint8_t>& data, const char* what) {
        EXPECT_THROW(Decode(data, bmp), ELumatex) << what;
    };
    expectRaise(TgaHeader(2, 0, 5, 24), "no columns");
    expectRaise(TgaHeader(10, 5, 0, 32), "no rows");
    std::vector<uint8_t> shortRaw = TgaHeader(2, 2, 2, 24);
    shortRaw.resize(18 + 11);
    expectRaise(shortRaw, "type 2 one byte short");
    std::vector<uint8_t> longId = TgaHeader(2, 1, 1, 24, 0, 200);
    longId.resize(30);
    expectRaise(longId, "identification field past the end");
    std::vector<uint8_t> cutRun = TgaHeader(10, 4, 1, 24);
    cutRun.insert(cutRun.end(), {0x81, 1, 2});
    expectRaise(cutRun, "run packet without its pixel");
    std::vector<uint8_t> cutRaw = TgaHeader(10, 4, 1, 24);
    cutRaw.insert(cutRaw.end(), {0x03, 1, 2, 3, 4, 5, 6});
    expectRaise(cutRaw, "raw packet short of the pixels that fit");
    std::vector<uint8_t> huge = TgaHeader(10, 65535, 65535, 32);
    huge.insert(huge.end(), {0xFF, 1, 2, 3, 4});
    expectRaise(huge, "65535 x 65535 from one packet");
    std::vector<uint8_t> small = TgaHeader(2, 4, 4, 32);
    small.resize(18 + 64);
    EXPECT_THROW(DecodeTga(small.data(), small.size(), bmp, 32), ELumatex);
    EXPECT_TRUE(DecodeTga(small.data(), small.size(), bmp));

    std::mt19937 random(99);
    for (int round = 0; round < 2000; ++round) {
        std::vector<uint8_t> data = TgaHeader(round % 2 ? 10 : 2, 1 + random() % 40, 1 + random() % 40,
                                              round % 3 ? 24 : 32, uint8_t(random()), uint8_t(random() % 4));
        data.resize(18 + random() % 600);
        for (size_t i = 18; i < data.size(); ++i) data[i] = uint8_t(random());
        try {
            Decode(data, bmp);
        } catch (const ELumatex&) {
        }
    }
}
