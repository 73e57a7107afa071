#include "imaging/JpegCodec.h"

#include "platform/ELumatex.h"
#include "platform/Stream.h"
#include "support/ImageMagick.h"
#include "support/TestSupport.h"

namespace {

// A smooth picture: JPEG's errors on it stay small, so differences between decoders show.
TBitmap SmoothPicture(int width, int height) {
    TBitmap bmp(width, height, 24);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            uint8_t* p = bmp.ScanLine(y) + size_t(x) * 3;
            p[0] = uint8_t(x * 255 / (width - 1)), p[1] = uint8_t(y * 255 / (height - 1));
            p[2] = uint8_t(128 + (x - y) / 2);
        }
    return bmp;
}

TBitmap DecodeBytes(const std::vector<uint8_t>& bytes, size_t maxImageBytes = TBitmap::kMaxImageBytes) {
    TBitmap bmp;
    DecodeJpeg(bytes.data(), bytes.size(), bmp, maxImageBytes);
    return bmp;
}

// The same through the stream decoder, which reads the data piece by piece.
TBitmap DecodeStream(const std::vector<uint8_t>& bytes) {
    TMemoryStream stream(bytes);
    TBitmap bmp;
    DecodeJpeg(stream, bmp);
    return bmp;
}

} // namespace

TEST(JpegCodec, ColourGreyAndCmykFilesMatchImageMagickAndImageMagickReadsOurs) {
    REQUIRE_CONVERT();
    TTempFolder temp;
    const TBitmap source = SmoothPicture(61, 37);
    WriteNetpbm(temp.File("src.ppm"), source);
    // Both decoders sit on libjpeg; ImageMagick's own CMYK conversion rounds differently.
    for (auto [name, options, tolerance] : {std::tuple{"colour", "-quality 92", 2},
                                            {"grey", "-colorspace gray -quality 92", 2},
                                            {"cmyk", "-colorspace CMYK -quality 95", 3}}) {
        SCOPED_TRACE(name);
        const std::string file = temp.File(std::string(name) + ".jpg");
        ASSERT_TRUE(Convert(temp.File("src.ppm") + " " + options + " " + file));
        TBitmap decoded;
        ASSERT_NO_THROW(decoded = DecodeBytes(ReadBytes(file)));
        EXPECT_LE(MaxChannelDifference(decoded, MagickDecode(file, 61, 37, false)), tolerance);
    }

    const TBitmap wide = SmoothPicture(64, 48);
    SaveJpegFile(wide, temp.File("ours.jpg"), 90);
    const TBitmap reference = MagickDecode(temp.File("ours.jpg"), 64, 48, false);
    ASSERT_EQ(reference.Width(), 64);
    EXPECT_LT(MeanChannelDifference(reference, wide), 3.0);
    EXPECT_LE(MaxChannelDifference(DecodeBytes(ReadBytes(temp.File("ours.jpg"))), reference), 2);
    EXPECT_THROW(SaveJpegFile(wide, temp.File("no/such/folder.jpg"), 75), ELumatex);
}

TEST(JpegCodec, QualityCountsAndTheFourthByteIsIgnored) {
    const TBitmap source = SmoothPicture(64, 48);
    EXPECT_LT(EncodeJpeg(source, 1).size(), EncodeJpeg(source, 100).size());
    TBitmap withAlpha = source;
    withAlpha.ConvertTo(32);
    for (int y = 0; y < 48; ++y)
        withAlpha.ScanLine(y)[3] = uint8_t(y);
    EXPECT_EQ(EncodeJpeg(withAlpha, 75), EncodeJpeg(source, 75));
    EXPECT_THROW(EncodeJpeg(TBitmap(), 75), ELumatex);
}

TEST(JpegDecodeBadInput, TruncationAndAbsurdSizesRaise) {
    const std::vector<uint8_t> good = EncodeJpeg(SmoothPicture(32, 24), 80);
    ASSERT_NO_THROW(DecodeBytes(good));
    EXPECT_TRUE(DecodeStream(good).SamePixels(DecodeBytes(good)));
    for (size_t length = 0; length < good.size(); ++length) {
        const std::vector<uint8_t> cut(good.begin(), good.begin() + long(length));
        EXPECT_THROW(DecodeBytes(cut), ELumatex) << "cut at " << length;
        EXPECT_THROW(DecodeStream(cut), ELumatex) << "cut at " << length;
    }
    EXPECT_THROW(DecodeBytes(good, 1000), ELumatex) << "the caller's limit";

    // The frame header claims 65000 x 65000: refused before the pixels are allocated.
    std::vector<uint8_t> huge = good;
    for (size_t i = 2; i + 8 < huge.size(); ++i)
        if (huge[i] == 0xFF && huge[i + 1] == 0xC0) {
            huge[i + 5] = huge[i + 7] = 0xFD, huge[i + 6] = huge[i + 8] = 0xE8;
            break;
        }
    try {
        DecodeBytes(huge);
        ADD_FAILURE() << "accepted a 65000 x 65000 frame";
    } catch (const ELumatex& e) {
        EXPECT_NE(std::string(e.what()).find("too large"), std::string::npos) << e.what();
    }
}
