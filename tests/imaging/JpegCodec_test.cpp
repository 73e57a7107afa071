#include "imaging/JpegCodec.h"

#include "imaging/ImageMagick.h"
#include "platform/ELumatex.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <random>

namespace {

// A smooth picture: JPEG's errors on it stay small, so differences between decoders show.
TBitmap SmoothPicture(int width, int height) {
    TBitmap bmp(width, height, 24);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            uint8_t* p = bmp.ScanLine(y) + size_t(x) * 3;
            p[0] = uint8_t(x * 255 / (width - 1));
            p[1] = uint8_t(y * 255 / (height - 1));
            p[2] = uint8_t(128 + (x - y) / 2);
        }
    return bmp;
}

TBitmap DecodeBytes(const std::vector<uint8_t>& bytes) {
    TBitmap bmp;
    DecodeJpeg(bytes.data(), bytes.size(), bmp);
    return bmp;
}

} // namespace

TEST(JpegDecode, ColourGreyAndCmykFilesMatchImageMagick) {
    REQUIRE_CONVERT();
    TTempFolder temp;
    const TBitmap source = SmoothPicture(61, 37);
    WriteNetpbm(temp.File("src.ppm"), source);
    struct TCase {
        const char* Name;
        const char* Options;
        int Tolerance;
    };
    // ImageMagick and this decoder both sit on libjpeg; CMYK goes through ImageMagick's own colour
    // conversion, which rounds differently.
    for (const TCase& c : {TCase{"colour", "-quality 92", 2}, TCase{"grey", "-colorspace gray -quality 92", 2},
                           TCase{"cmyk", "-colorspace CMYK -quality 95", 3}}) {
        SCOPED_TRACE(c.Name);
        const std::string file = temp.File(std::string(c.Name) + ".jpg");
        ASSERT_TRUE(Convert(temp.File("src.ppm") + " " + c.Options + " " + file));
        TBitmap decoded;
        ASSERT_NO_THROW(decoded = DecodeBytes(ReadBytes(file)));
        ASSERT_EQ(decoded.BitsPerPixel(), 24);
        const TBitmap reference = MagickDecode(file, temp.File("ref.raw"), false);
        EXPECT_LE(MaxChannelDifference(decoded, reference), c.Tolerance);
        if (std::string(c.Name) != "grey") {
            EXPECT_LT(MeanChannelDifference(decoded, source), 4.0);
        } else {
            const uint8_t* p = decoded.ScanLine(17) + 3 * 30;
            EXPECT_EQ(p[0], p[1]);
            EXPECT_EQ(p[1], p[2]);
        }
    }
}

TEST(JpegEncode, ImageMagickReadsWhatWeWriteAndQualityIsClamped) {
    REQUIRE_CONVERT();
    TTempFolder temp;
    const TBitmap source = SmoothPicture(64, 48);
    SaveJpegFile(source, temp.File("ours.jpg"), 90);
    const TBitmap reference = MagickDecode(temp.File("ours.jpg"), temp.File("ref.raw"), false);
    ASSERT_EQ(reference.Width(), 64);
    EXPECT_LT(MeanChannelDifference(reference, source), 3.0);
    EXPECT_LE(MaxChannelDifference(DecodeBytes(ReadBytes(temp.File("ours.jpg"))), reference), 2);

    EXPECT_EQ(EncodeJpeg(source, 0), EncodeJpeg(source, 1));
    EXPECT_EQ(EncodeJpeg(source, 1000), EncodeJpeg(source, 100));
    EXPECT_LT(EncodeJpeg(source, 1).size(), EncodeJpeg(source, 100).size());

    // The fourth byte of 32-bit pixels plays no part.
    TBitmap withAlpha = source;
    withAlpha.ConvertTo(32);
    for (int y = 0; y < 48; ++y) withAlpha.ScanLine(y)[3] = uint8_t(y);
    EXPECT_EQ(EncodeJpeg(withAlpha, 75), EncodeJpeg(source, 75));

    EXPECT_THROW(EncodeJpeg(TBitmap(), 75), ELumatex);
    EXPECT_THROW(SaveJpegFile(source, temp.File("no/such/folder.jpg"), 75), ELumatex);
}

TEST(JpegDecodeBadInput, TruncationDamageAndAbsurdSizesRaise) {
    const std::vector<uint8_t> good = EncodeJpeg(SmoothPicture(32, 24), 80);
    ASSERT_NO_THROW(DecodeBytes(good));
    for (size_t length = 0; length < good.size(); ++length) {
        const std::vector<uint8_t> cut(good.begin(), good.begin() + long(length));
        EXPECT_THROW(DecodeBytes(cut), ELumatex) << "cut at " << length;
    }

    // The frame header claims 65000 x 65000: refused before the pixels are allocated.
    std::vector<uint8_t> huge = good;
    for (size_t i = 2; i + 8 < huge.size(); ++i)
        if (huge[i] == 0xFF && huge[i + 1] == 0xC0) {
            huge[i + 5] = huge[i + 7] = 0xFD;
            huge[i + 6] = huge[i + 8] = 0xE8;
            break;
        }
    try {
        DecodeBytes(huge);
        ADD_FAILURE() << "accepted a 65000 x 65000 frame";
    } catch (const ELumatex& e) {
        EXPECT_NE(std::string(e.what()).find("too large"), std::string::npos) << e.what();
    }
    TBitmap bmp;
    EXPECT_THROW(DecodeJpeg(good.data(), good.size(), bmp, 1000), ELumatex);

    std::mt19937 random(7);
    for (int round = 0; round < 300; ++round) {
        std::vector<uint8_t> data = good;
        if (round % 3 == 0) {
            data.resize(2 + random() % 400);
            for (size_t i = 2; i < data.size(); ++i) data[i] = uint8_t(random());
        } else {
            for (int i = 0; i < 4; ++i) data[2 + random() % (data.size() - 2)] = uint8_t(random());
        }
        try {
            DecodeJpeg(data.data(), data.size(), bmp, 1 << 22);
        } catch (const ELumatex&) {
        }
    }
}
