#include "platform/BmpFile.h"

#include "platform/ELumatex.h"
#include "support/ImageMagick.h"
#include "support/TestSupport.h"

#include <array>
#include <climits>
#include <cstring>

namespace {

uint32_t U32At(const std::vector<uint8_t>& b, size_t at) {
    return b[at] | (b[at + 1] << 8) | (b[at + 2] << 16) | (uint32_t(b[at + 3]) << 24);
}
uint16_t U16At(const std::vector<uint8_t>& b, size_t at) {
    return uint16_t(b[at] | (b[at + 1] << 8));
}
void SetU32(std::vector<uint8_t>& b, size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i)
        b[at + size_t(i)] = uint8_t(v >> (8 * i));
}

TBitmap Decode(const std::vector<uint8_t>& file) {
    TBitmap bmp;
    ReadBmp(file.data(), file.size(), bmp);
    return bmp;
}

std::array<int, 3> Bgr(const TBitmap& bmp, int x, int y) {
    const uint8_t* p = bmp.ScanLine(y) + size_t(x) * size_t(bmp.BytesPerPixel());
    return {p[0], p[1], p[2]};
}

// A file with a 40-byte information header built field by field, for the variants and damages that no
// encoder writes.
struct TBmpBuilder {
    int32_t Width = 4, Height = 2;
    uint16_t Bpp = 8;
    uint32_t Compression = 0, ColoursUsed = 0;
    std::vector<uint32_t> Palette{}; // 0x00RRGGBB
    std::vector<uint8_t> Pixels{};
    int64_t Offset = -1; // -1: right after the palette

    std::vector<uint8_t> Build() const {
        std::vector<uint8_t> b(54, 0);
        b[0] = 'B', b[1] = 'M', b[26] = 1, b[28] = uint8_t(Bpp);
        SetU32(b, 14, 40);
        SetU32(b, 18, uint32_t(Width));
        SetU32(b, 22, uint32_t(Height));
        SetU32(b, 30, Compression);
        SetU32(b, 46, ColoursUsed);
        for (uint32_t c : Palette)
            b.insert(b.end(), {uint8_t(c), uint8_t(c >> 8), uint8_t(c >> 16), 0});
        SetU32(b, 10, Offset < 0 ? uint32_t(b.size()) : uint32_t(Offset));
        b.insert(b.end(), Pixels.begin(), Pixels.end());
        SetU32(b, 2, uint32_t(b.size()));
        return b;
    }
};

std::vector<uint32_t> GreyRamp(int count) {
    std::vector<uint32_t> p;
    for (int i = 0; i < count; ++i)
        p.push_back(uint32_t(i * 16) * 0x010101u);
    return p;
}

// Rows, top first, of grey-ramp indices (0 is black, as are pixels an RLE image skips).
void ExpectGreys(const TBitmap& bmp, const std::vector<std::vector<int>>& rows) {
    ASSERT_EQ(size_t(bmp.Height()), rows.size());
    for (int y = 0; y < bmp.Height(); ++y)
        for (int x = 0; x < bmp.Width(); ++x) {
            const int g = rows[size_t(y)][size_t(x)] * 16;
            EXPECT_EQ(Bgr(bmp, x, y), (std::array<int, 3>{g, g, g})) << x << "," << y;
        }
}

// ImageMagick's options and what the file must then hold; 32 bits carry alpha, 16 bits lose low bits.
struct TVariant {
    const char* Name;
    int Colours;
    const char* Options;
    uint16_t FileBpp;
    uint32_t Compression, HeaderSize;
};

const TVariant kVariants[] = {
    {"1-bit palette", 2, "-type palette BMP3:", 1, 0, 40},
    {"4-bit palette", 16, "-type palette BMP3:", 4, 0, 40},
    {"8-bit palette", 200, "-type palette -compress None BMP3:", 8, 0, 40},
    {"8-bit palette, core header", 200, "-type palette -compress None BMP2:", 8, 0, 12},
    {"8-bit RLE", 200, "-type palette -compress RLE BMP3:", 8, 1, 40},
    {"16-bit 5-6-5 bit fields, v5 header", 256, "-define bmp:subtype=RGB565 BMP:", 16, 3, 124},
    {"24-bit, info header", 256, "-type truecolor BMP3:", 24, 0, 40},
    {"24-bit, v5 header", 256, "-type truecolor BMP:", 24, 0, 124},
    {"32-bit with alpha bit fields, v5 header", 256, "-type truecoloralpha BMP:", 32, 3, 124},
};

// Writes `source` with ImageMagick's convert and returns the file's bytes.
std::vector<uint8_t> MagickBmp(TTempFolder& temp, const TBitmap& source, const std::string& options) {
    const std::string src = temp.File(source.BitsPerPixel() == 32 ? "src.pam" : "src.ppm");
    WriteNetpbm(src, source);
    EXPECT_TRUE(Convert(src + " " + options + temp.File("magick.bmp")));
    return ReadBytes(temp.File("magick.bmp"));
}

} // namespace

// Every depth and header version as ImageMagick writes it; odd sizes exercise the row padding.
TEST(BmpFileRead, MatchesImageMagickForEveryDepthAndHeader) {
    REQUIRE_CONVERT();
    TTempFolder temp;
    for (const TVariant& v : kVariants) {
        SCOPED_TRACE(v.Name);
        const bool alpha = v.FileBpp == 32, lossless = v.FileBpp != 16;
        const TBitmap source = PatternBitmap(37, 21, v.Colours, alpha ? 32 : 24);
        const std::vector<uint8_t> bytes = MagickBmp(temp, source, v.Options);
        ASSERT_GT(bytes.size(), 34u);
        // The file really is the variant under test.
        ASSERT_EQ(U32At(bytes, 14), v.HeaderSize);
        ASSERT_EQ(U16At(bytes, v.HeaderSize == 12 ? 24 : 28), v.FileBpp);
        if (v.HeaderSize != 12) {
            ASSERT_EQ(U32At(bytes, 30), v.Compression);
        }
        TBitmap decoded;
        ASSERT_NO_THROW(decoded = Decode(bytes));
        ASSERT_EQ(decoded.BitsPerPixel(), alpha ? 32 : 24);
        const TBitmap reference = MagickDecode(temp.File("magick.bmp"), 37, 21, alpha);
        // 5- and 6-bit channels widen to 8 bits; ImageMagick rounds the same values the same way or one off.
        EXPECT_LE(MaxChannelDifference(decoded, reference), lossless ? 0 : 1);
        EXPECT_LE(MaxChannelDifference(decoded, source), lossless ? 0 : 8);
    }
}

TEST(BmpFileRead, TopDownFilesKeepTheFirstStoredRowOnTop) {
    REQUIRE_CONVERT();
    TTempFolder temp;
    const TBitmap source = PatternBitmap(13, 6, 200);
    const std::vector<uint8_t> file = MagickBmp(temp, source, "-type palette -compress None BMP3:");
    // Reverse the stored rows and negate the height: the same picture, stored top-down.
    const uint32_t offset = U32At(file, 10);
    std::vector<uint8_t> flipped(file.begin(), file.begin() + offset);
    for (long row = 6; row-- > 0;) // 13 one-byte pixels padded to 16
        flipped.insert(flipped.end(), file.begin() + offset + row * 16,
                       file.begin() + offset + row * 16 + 16);
    SetU32(flipped, 22, uint32_t(-6));
    EXPECT_TRUE(Decode(flipped).SamePixels(source));
}

TEST(BmpFileRead, V2ToV4HeadersReadTheirBitFields) {
    REQUIRE_CONVERT();
    TTempFolder temp;
    const TBitmap source = PatternBitmap(9, 4, 256, 32);
    const std::vector<uint8_t> v5 = MagickBmp(temp, source, "-type truecoloralpha BMP:");
    // The shorter headers are prefixes of the v5 header; the pixel offset stays where it was.
    std::vector<uint8_t> file = v5;
    SetU32(file, 14, 108);
    EXPECT_TRUE(Decode(file).SamePixels(source));
    // 52 bytes: red, green and blue masks only, so alpha reads opaque.
    SetU32(file, 14, 52);
    const TBitmap decoded = Decode(file);
    ASSERT_EQ(decoded.BitsPerPixel(), 32);
    EXPECT_EQ(decoded.ScanLine(0)[3], 255);
    EXPECT_EQ(Bgr(decoded, 3, 2), Bgr(source, 3, 2));
}

// The 16-bit layouts no encoder here writes: masks after a 40-byte header, and plain 5-5-5 without masks.
TEST(BmpFileRead, SixteenBitMasksAfterTheInfoHeaderAndImplicitFiveFiveFive) {
    REQUIRE_CONVERT();
    TTempFolder temp;
    const TBitmap source = PatternBitmap(7, 5, 256);
    const std::vector<uint8_t> v5 = MagickBmp(temp, source, "-define bmp:subtype=RGB555 BMP:");
    ASSERT_EQ(U32At(v5, 54), 0x7C00u);
    const TBitmap expected = Decode(v5);
    EXPECT_LE(MaxChannelDifference(expected, source), 8);
    TBmpBuilder b{.Width = 7,
                  .Height = 5,
                  .Bpp = 16,
                  .Compression = 3,
                  .Palette = {0x7C00, 0x03E0, 0x001F},
                  .Pixels = std::vector<uint8_t>(v5.begin() + U32At(v5, 10), v5.end())};
    EXPECT_TRUE(Decode(b.Build()).SamePixels(expected)) << "three masks stored where a palette would be";
    b.Compression = 0;
    b.Palette.clear();
    EXPECT_TRUE(Decode(b.Build()).SamePixels(expected));
    // Announcing bit fields with the pixels where the masks belong (ImageMagick's own BMP3 output does
    // this) reads as the standard layout instead of turning pixels into masks.
    b.Compression = 3;
    EXPECT_TRUE(Decode(b.Build()).SamePixels(expected));
}

// ImageMagick writes no deltas and no 4-bit RLE.
TEST(BmpFileRead, RleRunsAbsoluteRunsDeltasAndEndMarks) {
    const TBmpBuilder rle4{.Width = 6,
                           .Height = 3,
                           .Bpp = 4,
                           .Compression = 2,
                           .Palette = GreyRamp(16),
                           .Pixels = {
                               0x04, 0x12,             // bottom row: 1 2 1 2
                               0x00, 0x03, 0x34, 0x50, // absolute 3, 4, 5: the 5 falls past the row end
                               0x00, 0x00,             // end of line
                               0x00, 0x02, 0x02, 0x01, // delta: two right, one up -> middle row stays black
                               0x02, 0x77,             // 7 7 at x = 2, 3 of the top row
                               0x00, 0x01,             // end of bitmap
                           }};
    ExpectGreys(Decode(rle4.Build()), {{0, 0, 7, 7, 0, 0}, {0, 0, 0, 0, 0, 0}, {1, 2, 1, 2, 3, 4}});
}

TEST(BmpFileWrite, HeaderFieldsAndRowsAsImageMagickReadsThem) {
    REQUIRE_CONVERT();
    TTempFolder temp;
    const TBitmap source = PatternBitmap(7, 5, 256);
    SaveBmpFile(source, temp.File("ours.bmp"));
    const std::vector<uint8_t> file = ReadBytes(temp.File("ours.bmp"));
    EXPECT_EQ(file, EncodeBmp(source));
    ASSERT_EQ(file.size(), 54 + 24 * 5u); // 21 bytes of pixels padded to 24
    EXPECT_EQ(U32At(file, 14), 40u);
    EXPECT_EQ(0, std::memcmp(file.data() + 54, source.ScanLine(4), 21)) << "first stored row is the bottom";
    EXPECT_EQ(MaxChannelDifference(MagickDecode(temp.File("ours.bmp"), 7, 5, false), source), 0);
    const TBitmap alpha = PatternBitmap(3, 2, 256, 32);
    EXPECT_TRUE(Decode(EncodeBmp(alpha)).SamePixels(alpha)) << "32-bit files keep the fourth byte";

    TBitmap bmp(2, 2, 24);
    EXPECT_THROW(SaveBmpFile(bmp, "/dev/full"), ELumatex);
    EXPECT_THROW(LoadBmpFile(temp.File("nothing.bmp"), bmp), ELumatex);
    EXPECT_EQ(bmp.Width(), 2);
}

// ---- bad input: every case ends in ELumatex (or a defined picture), never a crash or a read past the data.

TEST(BmpFileBadInput, EveryTruncationRaisesOrDecodesTheSamePicture) {
    REQUIRE_CONVERT();
    TTempFolder temp;
    const TBitmap source = PatternBitmap(11, 7, 200);
    for (const char* options : {"-type palette -compress RLE BMP3:", "-define bmp:subtype=RGB565 BMP:"}) {
        const std::vector<uint8_t> file = MagickBmp(temp, source, options);
        const TBitmap full = Decode(file);
        for (size_t length = 0; length < file.size(); ++length) {
            // An exact-size copy lets the sanitizer see any read past the cut.
            const std::vector<uint8_t> cut(file.begin(), file.begin() + long(length));
            TBitmap bmp(1, 1, 24);
            try {
                ReadBmp(cut.data(), cut.size(), bmp);
                // Only the padding of the last row may be missing.
                EXPECT_TRUE(bmp.SamePixels(full)) << options << " cut at " << length;
                EXPECT_GE(length + 3, file.size()) << options;
            } catch (const ELumatex&) {
                EXPECT_EQ(bmp.Width(), 1) << "a failed read leaves the bitmap alone";
            }
        }
    }
    EXPECT_THROW(Decode({'B', 'M', 0, 0, 0, 0}), ELumatex);
    EXPECT_THROW(Decode({'P', 'K', 3, 4, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 40, 0, 0, 0}), ELumatex);
}

TEST(BmpFileBadInput, LyingAndAbsurdSizesAreRefusedBeforeAllocating) {
    const std::vector<uint8_t> px(24, 0x80);
    using B = TBmpBuilder;
    const std::vector<uint32_t> grey = GreyRamp(16);
    const std::pair<std::string, B> cases[] = {
        {"100000 x 100000 with 24 bytes", B{.Width = 100000, .Height = 100000, .Bpp = 24, .Pixels = px}},
        {"RLE over the 1 GiB pixel store",
         B{.Width = 100000, .Height = 100000, .Compression = 1, .Palette = grey, .Pixels = {0, 1}}},
        {"height past the data", B{.Height = 3, .Bpp = 24, .Pixels = px}},
        {"pixel offset past the end", B{.Bpp = 24, .Pixels = px, .Offset = 100000}},
        {"palette past the end", B{.ColoursUsed = 256, .Palette = GreyRamp(4), .Offset = 0}},
        {"RLE cut inside a code", B{.Compression = 1, .Palette = grey, .Pixels = {2, 1, 0, 0, 3}}},
        {"absolute run of 9 with 2 bytes", B{.Compression = 1, .Palette = grey, .Pixels = {0, 9, 1, 2}}},
        {"top-down RLE", B{.Height = -2, .Compression = 1, .Palette = grey, .Pixels = {0, 1}}},
        {"no columns", B{.Width = 0, .Bpp = 24, .Pixels = px}},
        {"most negative height", B{.Height = INT_MIN, .Bpp = 24, .Pixels = px}},
        {"7 bits", B{.Bpp = 7, .Pixels = px}},
        {"8-bit RLE announced on 4 bits", B{.Bpp = 4, .Compression = 1, .Palette = grey, .Pixels = px}},
        {"bit fields on 24 bits", B{.Bpp = 24, .Compression = 3, .Pixels = px}},
    };
    for (const auto& [what, file] : cases)
        EXPECT_THROW(Decode(file.Build()), ELumatex) << what << " " << file.Width << " " << file.Bpp;

    // The caller's own limit is honoured the same way; an unknown header size is refused.
    std::vector<uint8_t> file = TBmpBuilder{.Bpp = 24, .Pixels = px}.Build();
    TBitmap bmp;
    EXPECT_THROW(ReadBmp(file.data(), file.size(), bmp, 16), ELumatex);
    EXPECT_NO_THROW(ReadBmp(file.data(), file.size(), bmp));
    SetU32(file, 14, 20);
    EXPECT_THROW(Decode(file), ELumatex);
}

TEST(BmpFileBadInput, PaletteIndicesPastThePaletteReadBlackAndRlePastTheEdgesIsCutOff) {
    const TBmpBuilder pal{
        .Height = 1, .ColoursUsed = 2, .Palette = {0xFF0000, 0x00FF00}, .Pixels = {0, 1, 2, 255}};
    const TBitmap bmp = Decode(pal.Build());
    for (auto [x, bgr] :
         {std::pair{0, std::array{0, 0, 255}}, {1, {0, 255, 0}}, {2, {0, 0, 0}}, {3, {0, 0, 0}}})
        EXPECT_EQ(Bgr(bmp, x, 0), bgr) << x;
    // A run of 200 in a row of 4, absolute pixels past the row, a delta far past the image, more rows after:
    // the bottom row holds the run cut at the row end, nothing wraps, the top row is skipped.
    const TBmpBuilder rle{.Compression = 1, .Palette = GreyRamp(16), .Pixels = {200, 1, 0, 5, 2, 2, 2,   2,
                                                                                2,   0, 0, 0, 0, 2, 255, 255,
                                                                                9,   3, 0, 0, 7, 3, 0,   1}};
    ExpectGreys(Decode(rle.Build()), {{0, 0, 0, 0}, {1, 1, 1, 1}});
}
