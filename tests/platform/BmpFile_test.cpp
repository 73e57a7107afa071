#include "platform/BmpFile.h"

#include "imaging/ImageMagick.h"
#include "platform/ELumatex.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <random>

namespace {

uint32_t U32At(const std::vector<uint8_t>& b, size_t at) {
    return uint32_t(b[at]) | (uint32_t(b[at + 1]) << 8) | (uint32_t(b[at + 2]) << 16) | (uint32_t(b[at + 3]) << 24);
}
uint16_t U16At(const std::vector<uint8_t>& b, size_t at) { return uint16_t(b[at] | (b[at + 1] << 8)); }
void SetU32(std::vector<uint8_t>& b, size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) b[at + size_t(i)] = uint8_t(v >> (8 * i));
}

TBitmap Decode(const std::vector<uint8_t>& file) {
    TBitmap bmp;
    ReadBmp(file.data(), file.size(), bmp);
    return bmp;
}

// A BMP file with a 40-byte information header built field by field, for the variants and damages that no
// encoder writes.
struct TBmpBuilder {
    int32_t Width = 4;
    int32_t Height = 2;
    uint16_t Bpp = 8;
    uint32_t Compression = 0;
    uint32_t ColoursUsed = 0;
    std::vector<uint32_t> Palette; // 0x00RRGGBB
    std::vector<uint8_t> Pixels;
    bool ComputeOffset = true;
    uint32_t Offset = 0;

    std::vector<uint8_t> Build() const {
        std::vector<uint8_t> b(54, 0);
        b[0] = 'B';
        b[1] = 'M';
        SetU32(b, 14, 40);
        SetU32(b, 18, uint32_t(Width));
        SetU32(b, 22, uint32_t(Height));
        b[26] = 1;
        b[28] = uint8_t(Bpp);
        SetU32(b, 30, Compression);
        SetU32(b, 46, ColoursUsed);
        for (uint32_t c : Palette) {
            b.push_back(uint8_t(c));
            b.push_back(uint8_t(c >> 8));
            b.push_back(uint8_t(c >> 16));
            b.push_back(0);
        }
        SetU32(b, 10, ComputeOffset ? uint32_t(b.size()) : Offset);
        b.insert(b.end(), Pixels.begin(), Pixels.end());
        SetU32(b, 2, uint32_t(b.size()));
        return b;
    }
};

std::vector<uint32_t> GreyRamp(int count) {
    std::vector<uint32_t> p;
    for (int i = 0; i < count; ++i) p.push_back(uint32_t(i * 16) * 0x010101u);
    return p;
}

void ExpectPixel(const TBitmap& bmp, int x, int y, uint8_t b, uint8_t g, uint8_t r) {
    const uint8_t* p = bmp.ScanLine(y) + size_t(x) * size_t(bmp.BytesPerPixel());
    EXPECT_EQ(p[0], b) << "blue at " << x << "," << y;
    EXPECT_EQ(p[1], g) << "green at " << x << "," << y;
    EXPECT_EQ(p[2], r) << "red at " << x << "," << y;
}

struct TVariant {
    const char* Name;
    int Colours;
    bool Alpha;
    const char* Options; // convert options and output format
    uint16_t FileBpp;
    uint32_t Compression;
    uint32_t HeaderSize;
    bool Lossless; // decoded pixels must equal the source exactly
};

const TVariant kVariants[] = {
    {"1-bit palette", 2, false, "-type palette BMP3:", 1, 0, 40, true},
    {"4-bit palette", 16, false, "-type palette BMP3:", 4, 0, 40, true},
    {"8-bit palette", 200, false, "-type palette -compress None BMP3:", 8, 0, 40, true},
    {"8-bit palette, core header", 200, false, "-type palette -compress None BMP2:", 8, 0, 12, true},
    {"8-bit RLE", 200, false, "-type palette -compress RLE BMP3:", 8, 1, 40, true},
    {"16-bit 5-6-5 bit fields, v5 header", 256, false, "-define bmp:subtype=RGB565 BMP:", 16, 3, 124, false},
    {"16-bit 5-5-5 bit fields, v5 header", 256, false, "-define bmp:subtype=RGB555 BMP:", 16, 3, 124, false},
    {"24-bit, info header", 256, false, "-type truecolor BMP3:", 24, 0, 40, true},
    {"24-bit, core header", 256, false, "-type truecolor BMP2:", 24, 0, 12, true},
    {"24-bit, v5 header", 256, false, "-type truecolor BMP:", 24, 0, 124, true},
    {"32-bit with alpha bit fields, v5 header", 256, true, "-type truecoloralpha BMP:", 32, 3, 124, true},
};

} // namespace

// Every depth and header version as ImageMagick writes it; odd sizes exercise the row padding.
TEST(BmpFileRead, MatchesImageMagickForEveryDepthAndHeader) {
    REQUIRE_CONVERT();
    TTempFolder temp;
    for (const TVariant& v : kVariants) {
        SCOPED_TRACE(v.Name);
        const TBitmap source = PatternBitmap(37, 21, v.Colours, v.Alpha ? 32 : 24);
        const std::string src = temp.File(v.Alpha ? "src.pam" : "src.ppm");
        WriteNetpbm(src, source);
        const std::string file = temp.File("variant.bmp");
        ASSERT_TRUE(Convert(src + " " + v.Options + file));
        const std::vector<uint8_t> bytes = ReadBytes(file);
        ASSERT_GT(bytes.size(), 26u);
        // The file really is the variant under test.
        ASSERT_EQ(U32At(bytes, 14), v.HeaderSize);
        ASSERT_EQ(U16At(bytes, v.HeaderSize == 12 ? 24 : 28), v.FileBpp);
        if (v.HeaderSize != 12) {
            ASSERT_EQ(U32At(bytes, 30), v.Compression);
        }

        TBitmap decoded;
        try {
            decoded = Decode(bytes);
        } catch (const ELumatex& e) {
            FAIL() << e.what();
        }
        ASSERT_EQ(decoded.Width(), 37);
        ASSERT_EQ(decoded.Height(), 21);
        ASSERT_EQ(decoded.BitsPerPixel(), v.Alpha ? 32 : 24);
        const TBitmap reference = MagickDecode(file, temp.File("ref.raw"), v.Alpha);
        if (v.Lossless) {
            EXPECT_TRUE(decoded.SamePixels(source));
            EXPECT_EQ(MaxChannelDifference(decoded, reference), 0);
        } else {
            // 5- and 6-bit channels widen to 8 bits; ImageMagick rounds the same values the same way or one off.
            EXPECT_LE(MaxChannelDifference(decoded, reference), 1);
            EXPECT_LE(MaxChannelDifference(decoded, source), 8);
        }
    }
}

TEST(BmpFileRead, TopDownFilesKeepTheFirstStoredRowOnTop) {
    REQUIRE_CONVERT();
    TTempFolder temp;
    for (int colours : {200, 256}) {
        const TBitmap source = PatternBitmap(13, 6, colours);
        WriteNetpbm(temp.File("src.ppm"), source);
        const std::string options = colours == 200 ? "-type palette -compress None BMP3:" : "-type truecolor BMP3:";
        ASSERT_TRUE(Convert(temp.File("src.ppm") + " " + options + temp.File("up.bmp")));
        std::vector<uint8_t> file = ReadBytes(temp.File("up.bmp"));
        // Reverse the stored rows and negate the height: the same picture, stored top-down.
        const uint32_t offset = U32At(file, 10);
        const int bpp = U16At(file, 28);
        const size_t stride = (size_t(13) * size_t(bpp) + 31) / 32 * 4;
        std::vector<uint8_t> flipped(file.begin(), file.begin() + offset);
        for (int row = 5; row >= 0; --row)
            flipped.insert(flipped.end(), file.begin() + offset + long(size_t(row) * stride),
                           file.begin() + offset + long(size_t(row + 1) * stride));
        SetU32(flipped, 22, uint32_t(-6));
        EXPECT_TRUE(Decode(flipped).SamePixels(source)) << bpp << " bits";
    }
}

TEST(BmpFileRead, V2ToV4HeadersReadTheirBitFields) {
    REQUIRE_CONVERT();
    TTempFolder temp;
    const TBitmap source = PatternBitmap(9, 4, 256, 32);
    WriteNetpbm(temp.File("src.pam"), source);
    ASSERT_TRUE(Convert(temp.File("src.pam") + " -type truecoloralpha BMP:" + temp.File("v5.bmp")));
    const std::vector<uint8_t> v5 = ReadBytes(temp.File("v5.bmp"));
    // The shorter headers are prefixes of the v5 header; the pixel offset stays where it was.
    for (uint32_t size : {56u, 108u}) {
        std::vector<uint8_t> file = v5;
        SetU32(file, 14, size);
        EXPECT_TRUE(Decode(file).SamePixels(source)) << size;
    }
    // 52 bytes: red, green and blue masks only, so alpha reads opaque.
    std::vector<uint8_t> file = v5;
    SetU32(file, 14, 52);
    const TBitmap noAlpha = Decode(file);
    ASSERT_EQ(noAlpha.BitsPerPixel(), 32);
    EXPECT_EQ(noAlpha.ScanLine(0)[3], 255);
    ExpectPixel(noAlpha, 3, 2, source.ScanLine(2)[12], source.ScanLine(2)[13], source.ScanLine(2)[14]);
}

// The 16-bit layouts no encoder here writes: masks after a 40-byte header, and plain 5-5-5 without masks.
TEST(BmpFileRead, SixteenBitMasksAfterTheInfoHeaderAndImplicitFiveFiveFive) {
    REQUIRE_CONVERT();
    TTempFolder temp;
    const TBitmap source = PatternBitmap(7, 5, 256);
    WriteNetpbm(temp.File("src.ppm"), source);
    ASSERT_TRUE(Convert(temp.File("src.ppm") + " -define bmp:subtype=RGB555 BMP:" + temp.File("v5.bmp")));
    const std::vector<uint8_t> v5 = ReadBytes(temp.File("v5.bmp"));
    ASSERT_EQ(U32At(v5, 54), 0x7C00u);
    const TBitmap expected = Decode(v5);
    const std::vector<uint8_t> pixels(v5.begin() + U32At(v5, 10), v5.end());

    TBmpBuilder b;
    b.Width = 7;
    b.Height = 5;
    b.Bpp = 16;
    b.Compression = 3;
    b.Palette = {0x7C00, 0x03E0, 0x001F}; // three masks stored where a palette would be
    b.Pixels = pixels;
    EXPECT_TRUE(Decode(b.Build()).SamePixels(expected));
    b.Compression = 0;
    b.Palette.clear();
    EXPECT_TRUE(Decode(b.Build()).SamePixels(expected));
    // Announcing bit fields with the pixels where the masks belong (ImageMagick's own BMP3 output does
    // this) reads as the standard layout instead of turning pixels into masks.
    b.Compression = 3;
    EXPECT_TRUE(Decode(b.Build()).SamePixels(expected));
    EXPECT_LE(MaxChannelDifference(expected, source), 8);
}

TEST(BmpFileRead, Rle4RunsAbsoluteRunsDeltasAndEndMarks) {
    TBmpBuilder b;
    b.Width = 6;
    b.Height = 3;
    b.Bpp = 4;
    b.Compression = 2;
    b.Palette = GreyRamp(16);
    b.Pixels = {
        0x04, 0x12,             // bottom row: 1 2 1 2
        0x00, 0x03, 0x34, 0x50, // absolute 3, 4, 5: the 5 falls past the row end and is dropped
        0x00, 0x00,             // end of line
        0x00, 0x02, 0x02, 0x01, // delta: two right, one up -> middle row stays black
        0x02, 0x77,             // 7 7 at x = 2, 3 of the top row
        0x00, 0x01,             // end of bitmap
    };
    const TBitmap bmp = Decode(b.Build());
    const int top[6] = {-1, -1, 7, 7, -1, -1};
    const int bottom[6] = {1, 2, 1, 2, 3, 4};
    for (int x = 0; x < 6; ++x) {
        const uint8_t t = top[x] < 0 ? 0 : uint8_t(top[x] * 16);
        ExpectPixel(bmp, x, 0, t, t, t);
        ExpectPixel(bmp, x, 1, 0, 0, 0);
        ExpectPixel(bmp, x, 2, uint8_t(bottom[x] * 16), uint8_t(bottom[x] * 16), uint8_t(bottom[x] * 16));
    }
}

TEST(BmpFileRead, Rle8OddAbsoluteRunIsPaddedAndSkippedPixelsStayBlack) {
    TBmpBuilder b;
    b.Width = 5;
    b.Height = 2;
    b.Compression = 1;
    b.Palette = GreyRamp(16);
    b.Pixels = {0x00, 0x03, 1, 2, 3, 0x00, // absolute run of 3 plus its pad byte
                0x01, 0x04,                // one pixel of colour 4
                0x00, 0x00,                // end of line; the last column stays black
                0x02, 0x05, 0x00, 0x01};   // top row: 5 5, then end of bitmap
    const TBitmap bmp = Decode(b.Build());
    ExpectPixel(bmp, 0, 1, 16, 16, 16);
    ExpectPixel(bmp, 2, 1, 48, 48, 48);
    ExpectPixel(bmp, 3, 1, 64, 64, 64);
    ExpectPixel(bmp, 4, 1, 0, 0, 0);
    ExpectPixel(bmp, 1, 0, 80, 80, 80);
    ExpectPixel(bmp, 2, 0, 0, 0, 0);
}

TEST(BmpFileRead, Uncompressed32BitKeepsTheFourthByte) {
    TBitmap source(3, 2, 32);
    for (int y = 0; y < 2; ++y)
        for (int i = 0; i < 12; ++i) source.ScanLine(y)[i] = uint8_t(y * 50 + i * 7);
    const TBitmap decoded = Decode(EncodeBmp(source));
    EXPECT_TRUE(decoded.SamePixels(source));
}

TEST(BmpFileWrite, HeaderFieldsAndRowsAsImageMagickReadsThem) {
    REQUIRE_CONVERT();
    TTempFolder temp;
    const TBitmap source = PatternBitmap(7, 5, 256);
    const std::vector<uint8_t> file = EncodeBmp(source);
    const size_t stride = 24; // 21 bytes of pixels padded to 24
    ASSERT_EQ(file.size(), 54 + stride * 5);
    EXPECT_EQ(file[0], 'B');
    EXPECT_EQ(file[1], 'M');
    EXPECT_EQ(U32At(file, 2), file.size());
    EXPECT_EQ(U32At(file, 10), 54u);
    EXPECT_EQ(U32At(file, 14), 40u);
    EXPECT_EQ(U32At(file, 18), 7u);
    EXPECT_EQ(U32At(file, 22), 5u);
    EXPECT_EQ(U16At(file, 26), 1u);
    EXPECT_EQ(U16At(file, 28), 24u);
    EXPECT_EQ(U32At(file, 30), 0u);
    EXPECT_EQ(U32At(file, 34), stride * 5);
    // First stored row is the bottom row.
    EXPECT_EQ(0, std::memcmp(file.data() + 54, source.ScanLine(4), 21));

    SaveBmpFile(source, temp.File("ours.bmp"));
    EXPECT_EQ(ReadBytes(temp.File("ours.bmp")), file);
    EXPECT_EQ(MaxChannelDifference(MagickDecode(temp.File("ours.bmp"), temp.File("ref.raw"), false), source), 0);

    TBitmap loaded;
    LoadBmpFile(temp.File("ours.bmp"), loaded);
    EXPECT_TRUE(loaded.SamePixels(source));
}

TEST(BmpFileWrite, FileErrorsRaise) {
    TTempFolder temp;
    TBitmap bmp(2, 2, 24);
    EXPECT_THROW(SaveBmpFile(bmp, temp.File("missing/folder/x.bmp")), ELumatex);
    EXPECT_THROW(SaveBmpFile(bmp, "/dev/full"), ELumatex);
    EXPECT_THROW(LoadBmpFile(temp.File("nothing.bmp"), bmp), ELumatex);
    EXPECT_EQ(bmp.Width(), 2);
}

// ---- bad input: every case ends in ELumatex (or a defined picture), never a crash or a read past the data.

TEST(BmpFileBadInput, EmptyTinyAndForeignDataRaise) {
    const std::vector<std::vector<uint8_t>> cases = {
        {}, {'B'}, {'B', 'M'}, {'B', 'M', 0, 0, 0, 0}, {'P', 'K', 3, 4, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 40, 0, 0, 0},
    };
    for (const auto& c : cases) {
        TBitmap bmp(1, 1, 24);
        EXPECT_THROW(ReadBmp(c.data(), c.size(), bmp), ELumatex) << c.size() << " bytes";
        EXPECT_EQ(bmp.Width(), 1) << "a failed read leaves the bitmap alone";
    }
}

TEST(BmpFileBadInput, EveryTruncationRaisesOrDecodesTheSamePicture) {
    REQUIRE_CONVERT();
    TTempFolder temp;
    WriteNetpbm(temp.File("src.ppm"), PatternBitmap(11, 7, 200));
    ASSERT_TRUE(Convert(temp.File("src.ppm") + " -type palette -compress None BMP3:" + temp.File("p8.bmp")));
    ASSERT_TRUE(Convert(temp.File("src.ppm") + " -type palette -compress RLE BMP3:" + temp.File("r8.bmp")));
    ASSERT_TRUE(Convert(temp.File("src.ppm") + " -define bmp:subtype=RGB565 BMP:" + temp.File("b16.bmp")));
    for (const char* name : {"p8.bmp", "r8.bmp", "b16.bmp"}) {
        const std::vector<uint8_t> file = ReadBytes(temp.File(name));
        const TBitmap full = Decode(file);
        for (size_t length = 0; length < file.size(); ++length) {
            // An exact-size copy lets the sanitizer see any read past the cut.
            std::vector<uint8_t> cut(file.begin(), file.begin() + long(length));
            TBitmap bmp;
            try {
                ReadBmp(cut.data(), cut.size(), bmp);
                // Only the padding of the last row may be missing.
                EXPECT_TRUE(bmp.SamePixels(full)) << name << " cut at " << length;
                EXPECT_GE(length + 3, file.size()) << name;
            } catch (const ELumatex&) {
            }
        }
    }
}

TEST(BmpFileBadInput, LyingAndAbsurdSizesAreRefusedBeforeAllocating) {
    auto expectRefused = [](TBmpBuilder b, const char* what) {
        const std::vector<uint8_t> file = b.Build();
        TBitmap bmp;
        EXPECT_THROW(ReadBmp(file.data(), file.size(), bmp), ELumatex) << what;
    };
    TBmpBuilder b;
    b.Bpp = 24;
    b.Pixels.assign(24, 0x80);
    TBmpBuilder huge = b;
    huge.Width = huge.Height = 100000;
    expectRefused(huge, "100000 x 100000 with 24 bytes of pixels");
    TBmpBuilder hugeRle = huge;
    hugeRle.Bpp = 8;
    hugeRle.Compression = 1;
    hugeRle.Palette = GreyRamp(2);
    hugeRle.Pixels = {0, 1};
    expectRefused(hugeRle, "RLE 100000 x 100000: over the 1 GiB pixel store");
    TBmpBuilder lying = b;
    lying.Height = 3; // two rows of data for three rows
    expectRefused(lying, "height past the data");
    for (auto [w, h] : {std::pair{0, 2}, {4, 0}, {-4, 2}, {4, INT_MIN}, {INT_MIN, 1}}) {
        TBmpBuilder bad = b;
        bad.Width = w;
        bad.Height = h;
        expectRefused(bad, "zero or negative size");
    }
    TBmpBuilder offsetPastEnd = b;
    offsetPastEnd.ComputeOffset = false;
    offsetPastEnd.Offset = 100000;
    expectRefused(offsetPastEnd, "pixel offset past the end");
    for (uint16_t bpp : {0, 2, 7, 48}) {
        TBmpBuilder bad = b;
        bad.Bpp = bpp;
        expectRefused(bad, "odd depth");
    }
    for (auto [bpp, compression] : {std::pair{uint16_t(8), 4u}, {uint16_t(4), 1u}, {uint16_t(8), 2u},
                                    {uint16_t(24), 3u}, {uint16_t(8), 99u}}) {
        TBmpBuilder bad = b;
        bad.Bpp = bpp;
        bad.Compression = compression;
        bad.Palette = GreyRamp(16);
        expectRefused(bad, "compression that does not fit the depth");
    }
    TBmpBuilder missingPalette = b;
    missingPalette.Bpp = 8;
    missingPalette.ColoursUsed = 256;
    missingPalette.ComputeOffset = false; // offset 0: the palette must be there in full
    missingPalette.Palette = GreyRamp(4);
    missingPalette.Pixels.clear();
    expectRefused(missingPalette, "palette past the end of the file");

    // The caller's own limit is honoured the same way.
    TBmpBuilder small = b;
    small.Width = 4;
    small.Height = 2;
    const std::vector<uint8_t> file = small.Build();
    TBitmap bmp;
    EXPECT_THROW(ReadBmp(file.data(), file.size(), bmp, 16), ELumatex);
    EXPECT_NO_THROW(ReadBmp(file.data(), file.size(), bmp));

    std::vector<uint8_t> oddHeader = file;
    SetU32(oddHeader, 14, 20);
    EXPECT_THROW(ReadBmp(oddHeader.data(), oddHeader.size(), bmp), ELumatex);
}

TEST(BmpFileBadInput, PaletteIndicesPastThePaletteReadBlack) {
    TBmpBuilder b;
    b.Width = 4;
    b.Height = 1;
    b.Bpp = 8;
    b.ColoursUsed = 2;
    b.Palette = {0x00FF0000, 0x0000FF00};
    b.Pixels = {0, 1, 2, 255};
    const TBitmap bmp = Decode(b.Build());
    ExpectPixel(bmp, 0, 0, 0, 0, 255);
    ExpectPixel(bmp, 1, 0, 0, 255, 0);
    ExpectPixel(bmp, 2, 0, 0, 0, 0);
    ExpectPixel(bmp, 3, 0, 0, 0, 0);
}

TEST(BmpFileBadInput, RleRunsPastTheRowOrImageAreCutOff) {
    TBmpBuilder b;
    b.Width = 4;
    b.Height = 2;
    b.Compression = 1;
    b.Palette = GreyRamp(16);
    // A run of 200 in a row of 4, absolute pixels past the row, a delta far past the image, more rows after.
    b.Pixels = {200, 1, 0, 5, 2, 2, 2, 2, 2, 0, 0, 0, 0, 2, 255, 255, 9, 3, 0, 0, 7, 3, 0, 1};
    const TBitmap bmp = Decode(b.Build());
    for (int x = 0; x < 4; ++x) {
        ExpectPixel(bmp, x, 1, 16, 16, 16); // bottom row: the run, cut at the row end, nothing wrapped
        ExpectPixel(bmp, x, 0, 0, 0, 0);    // top row: skipped by the delta
    }

    TBmpBuilder unterminated = b;
    unterminated.Pixels = {2, 1, 0, 0, 3}; // stops in the middle of a code, before the last row
    const auto file = unterminated.Build();
    TBitmap out;
    EXPECT_THROW(ReadBmp(file.data(), file.size(), out), ELumatex);
    TBmpBuilder absoluteCut = b;
    absoluteCut.Pixels = {0, 9, 1, 2}; // absolute run of 9 with 2 bytes
    const auto cut = absoluteCut.Build();
    EXPECT_THROW(ReadBmp(cut.data(), cut.size(), out), ELumatex);
    TBmpBuilder topDown = b;
    topDown.Height = -2;
    const auto td = topDown.Build();
    EXPECT_THROW(ReadBmp(td.data(), td.size(), out), ELumatex);
}

TEST(BmpFileBadInput, RandomAndMutatedBytesNeverCrash) {
    std::mt19937 random(12345);
    std::vector<std::vector<uint8_t>> seeds;
    TBmpBuilder rle;
    rle.Width = 9;
    rle.Height = 5;
    rle.Compression = 1;
    rle.Palette = GreyRamp(16);
    rle.Pixels = {3, 1, 0, 4, 1, 2, 3, 4, 0, 0, 0, 2, 2, 1, 5, 9, 0, 1};
    seeds.push_back(rle.Build());
    TBmpBuilder pal;
    pal.Width = 5;
    pal.Height = 3;
    pal.Bpp = 4;
    pal.Palette = GreyRamp(16);
    pal.Pixels.assign(12, 0x5A);
    seeds.push_back(pal.Build());
    TBitmap fields(5, 3, 32);
    seeds.push_back(EncodeBmp(fields));
    int decoded = 0;
    for (int round = 0; round < 4000; ++round) {
        std::vector<uint8_t> data;
        if (round % 4 == 0) {
            data.resize(random() % 200);
            for (auto& byte : data) byte = uint8_t(random());
            if (data.size() >= 2) data[0] = 'B', data[1] = 'M';
        } else {
            data = seeds[size_t(round) % seeds.size()];
            const int flips = 1 + int(random() % 6);
            for (int i = 0; i < flips; ++i) data[random() % data.size()] = uint8_t(random());
            data.resize(random() % (data.size() + 1));
        }
        TBitmap bmp;
        try {
            ReadBmp(data.data(), data.size(), bmp, 1 << 20);
            ++decoded;
            EXPECT_GT(bmp.Width(), 0);
        } catch (const ELumatex&) {
        }
    }
    EXPECT_GT(decoded, 0) << "some mutations stay readable";
}
