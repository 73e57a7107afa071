// TglBitmap without a GL context: settings, format choice, pixel copies and stream loading.
#include "imaging/glBitmap.h"

#include "imaging/ImageMagick.h"
#include "imaging/JpegCodec.h"
#include "platform/BmpFile.h"
#include "platform/ELumatex.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

// Puts the process-wide defaults back after each test.
class TglBitmapTest : public ::testing::Test {
protected:
    void TearDown() override { glBitmapDefaults() = Saved; }
    TglBitmapDefaults Saved = glBitmapDefaults();
};

template <typename F>
std::string MessageOf(F&& f) {
    try {
        f();
    } catch (const ELumatex& e) {
        return e.what();
    }
    return "(nothing raised)";
}

// 2 x 1 uncompressed 24-bit TGA.
std::vector<uint8_t> TinyTga() {
    return {0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 2, 0, 1, 0, 24, 0, 1, 2, 3, 4, 5, 6};
}

} // namespace

TEST_F(TglBitmapTest, NewObjectsTakeTheProcessDefaults) {
    {
        TglBitmap2D t;
        EXPECT_EQ(t.Target, 0x0DE1u);
        EXPECT_EQ(t.TextureId, 0u);
        EXPECT_EQ(t.FormatKind, 0);
        EXPECT_EQ(t.MipMapMode, 1);
        EXPECT_TRUE(t.OwnsTexture);
        EXPECT_TRUE(t.ReleasePixelsAfterUpload);
        EXPECT_EQ(t.MinFilter, 0x2703u);
        EXPECT_EQ(t.MagFilter, 0x2601u);
        EXPECT_EQ(t.WrapS, 0x812Fu);
        EXPECT_EQ(t.WrapT, 0x812Fu);
        EXPECT_EQ(t.WrapR, 0x812Fu);
        EXPECT_FALSE(t.Pixels);
        EXPECT_FALSE(t.HasAlpha || t.Compressed || t.Resident);
        EXPECT_EQ(t.CompressedSize, 0);
        EXPECT_TRUE(t.PixelReader);
    }
    glBitmapDefaults().FormatKind = 2;
    glBitmapDefaults().OwnsTexture = false;
    glBitmapDefaults().ReleasePixelsAfterUpload = false;
    glBitmapSetDefaultFilter(GL_NEAREST_MIPMAP_NEAREST, GL_NEAREST);
    glBitmapSetDefaultWrap(GL_REPEAT, GL_CLAMP, GL_CLAMP_TO_BORDER);
    TglBitmap2D t;
    EXPECT_EQ(t.FormatKind, 2);
    EXPECT_FALSE(t.OwnsTexture);
    EXPECT_FALSE(t.ReleasePixelsAfterUpload);
    EXPECT_EQ(t.MinFilter, GLenum(GL_NEAREST_MIPMAP_NEAREST));
    EXPECT_EQ(t.MagFilter, GLenum(GL_NEAREST));
    EXPECT_EQ(t.WrapS, GLenum(GL_REPEAT));
    EXPECT_EQ(t.WrapT, GLenum(GL_CLAMP));
    EXPECT_EQ(t.WrapR, GLenum(GL_CLAMP_TO_BORDER));
}

TEST_F(TglBitmapTest, DefaultSettersStoreEachValueRightAfterItsOwnCheck) {
    EXPECT_EQ(MessageOf([] { glBitmapSetDefaultFilter(0x1234, GL_LINEAR); }),
              "glBitmapSetDefaultFilter - Unknow Minfilter.");
    EXPECT_EQ(MessageOf([] { glBitmapSetDefaultFilter(GL_NEAREST, GL_LINEAR_MIPMAP_LINEAR); }),
              "glBitmapSetDefaultFilter - Unknow Magfilter.");
    EXPECT_EQ(glBitmapDefaults().MinFilter, GLenum(GL_NEAREST));
    EXPECT_EQ(glBitmapDefaults().MagFilter, GLenum(GL_LINEAR));
    EXPECT_EQ(MessageOf([] { glBitmapSetDefaultWrap(7, GL_REPEAT, GL_REPEAT); }),
              "glBitmapSetDefaultWrap - Unknow Texturewrap(s).");
    EXPECT_EQ(MessageOf([] { glBitmapSetDefaultWrap(GL_REPEAT, 7, GL_REPEAT); }),
              "glBitmapSetDefaultWrap - Unknow Texturewrap(t).");
    EXPECT_EQ(MessageOf([] { glBitmapSetDefaultWrap(GL_CLAMP, GL_CLAMP, GL_MIRRORED_REPEAT); }),
              "glBitmapSetDefaultWrap - Unknow Texturewrap(r).");
    EXPECT_EQ(glBitmapDefaults().WrapS, GLenum(GL_CLAMP));
    EXPECT_EQ(glBitmapDefaults().WrapT, GLenum(GL_CLAMP));
    EXPECT_EQ(glBitmapDefaults().WrapR, GLenum(GL_CLAMP_TO_EDGE));
}

TEST_F(TglBitmapTest, SetFilterAndSetWrapValidateInOrderWithoutATexture) {
    TglBitmap2D t;
    EXPECT_EQ(MessageOf([&] { t.SetWrap(GL_REPEAT, 0, GL_REPEAT); }), "TglBitmap.SetWrap - Unknow Texturewrap(t).");
    EXPECT_EQ(t.WrapS, GLenum(GL_REPEAT));
    EXPECT_EQ(t.WrapT, GLenum(GL_CLAMP_TO_EDGE));
    EXPECT_EQ(t.WrapR, GLenum(GL_CLAMP_TO_EDGE));
    EXPECT_EQ(MessageOf([&] { t.SetWrap(1, GL_REPEAT, GL_REPEAT); }), "TglBitmap.SetWrap - Unknow Texturewrap(s).");
    EXPECT_EQ(MessageOf([&] { t.SetWrap(GL_REPEAT, GL_REPEAT, 1); }), "TglBitmap.SetWrap - Unknow Texturewrap(r).");
    EXPECT_EQ(t.WrapT, GLenum(GL_REPEAT));
    EXPECT_EQ(MessageOf([&] { t.SetFilter(GL_LINEAR, GL_LINEAR_MIPMAP_NEAREST); }),
              "TglBitmap.SetFilter - Unknow Magfilter.");
    EXPECT_EQ(t.MinFilter, GLenum(GL_LINEAR));
    EXPECT_EQ(MessageOf([&] { t.SetFilter(GL_REPEAT, GL_LINEAR); }), "TglBitmap.SetFilter - Unknow Minfilter.");
    EXPECT_EQ(t.MinFilter, GLenum(GL_LINEAR));
}

TEST_F(TglBitmapTest, MinFilterFallsBackWithoutMipMapsButKeepsTheRequest) {
    TglBitmap2D t;
    const GLenum mip[4] = {GL_NEAREST_MIPMAP_NEAREST, GL_NEAREST_MIPMAP_LINEAR, GL_LINEAR_MIPMAP_NEAREST,
                           GL_LINEAR_MIPMAP_LINEAR};
    const GLenum plain[4] = {GL_NEAREST, GL_NEAREST, GL_LINEAR, GL_LINEAR};
    for (int i = 0; i < 4; ++i) {
        t.SetFilter(mip[i], GL_LINEAR);
        t.MipMapMode = kMipMapAutomatic;
        EXPECT_EQ(t.EffectiveMinFilter(), mip[i]);
        t.MipMapMode = kMipMapNone;
        EXPECT_EQ(t.EffectiveMinFilter(), plain[i]);
        t.MipMapMode = kMipMapGlu;
        t.Target = GL_TEXTURE_RECTANGLE;
        EXPECT_EQ(t.EffectiveMinFilter(), plain[i]);
        t.Target = GL_TEXTURE_2D;
        EXPECT_EQ(t.MinFilter, mip[i]);
    }
}

TEST(glBitmapChooseFormats, BgrOrderWhereTheContextTakesItAndTheInternalFormatTable) {
    TGLFlags old;  // neither 1.2 nor GL_EXT_bgra
    TGLFlags v12;
    v12.Version12 = true;
    TGLFlags bgra;
    bgra.ExtBgra = true;
    for (const TGLFlags* f : {&v12, &bgra}) {
        EXPECT_EQ(glBitmapChooseFormats(*f, false, 0).Format, 0x80E0u);
        EXPECT_EQ(glBitmapChooseFormats(*f, true, 0).Format, 0x80E1u);
        EXPECT_FALSE(glBitmapChooseFormats(*f, true, 0).SwapRedBlue);
    }
    EXPECT_EQ(glBitmapChooseFormats(old, false, 0).Format, 0x1907u);
    EXPECT_EQ(glBitmapChooseFormats(old, true, 0).Format, 0x1908u);
    EXPECT_TRUE(glBitmapChooseFormats(old, false, 0).SwapRedBlue);

    struct TRow {
        uint8_t Kind;
        GLenum Rgb, Rgba;
    };
    for (const TRow& r : {TRow{0, 0x1907, 0x1908}, TRow{1, 0x804F, 0x8056}, TRow{2, 0x8051, 0x8058}, TRow{9, 0x1907, 0x1908}}) {
        EXPECT_EQ(glBitmapChooseFormats(v12, false, r.Kind).InternalFormat, r.Rgb) << int(r.Kind);
        EXPECT_EQ(glBitmapChooseFormats(v12, true, r.Kind).InternalFormat, r.Rgba) << int(r.Kind);
    }
    TGLFlags v13 = v12;
    v13.Version13 = true;
    TGLFlags arb;
    arb.ArbTextureCompression = true;
    arb.ExtTextureCompressionS3tc = true;
    for (const TGLFlags* f : {&v13, &arb}) {
        EXPECT_EQ(glBitmapChooseFormats(*f, false, 3).InternalFormat, 0x84EDu);
        EXPECT_EQ(glBitmapChooseFormats(*f, true, 3).InternalFormat, 0x84EEu);
    }
    TGLFlags s3tc;
    s3tc.ExtTextureCompressionS3tc = true;
    EXPECT_EQ(glBitmapChooseFormats(s3tc, false, 3).InternalFormat, 0x83F0u);
    EXPECT_EQ(glBitmapChooseFormats(s3tc, true, 3).InternalFormat, 0x83F1u);
    EXPECT_EQ(glBitmapChooseFormats(old, false, 3).InternalFormat, 0x1907u);
    EXPECT_EQ(glBitmapChooseFormats(old, true, 3).InternalFormat, 0x1908u);
}

TEST(TglBitmap2D, ChooseFormatsSwapsThePixelsOnlyWhenTheContextNeedsIt) {
    TBitmap bmp(2, 1, 24);
    uint8_t* p = bmp.ScanLine(0);
    const uint8_t bgr[6] = {1, 2, 3, 4, 5, 6};
    std::memcpy(p, bgr, 6);
    TglBitmap2D t;
    TGLFlags flags;
    flags.Version12 = true;
    t.Flags = &flags;
    ASSERT_TRUE(t.AssignFromBitmap(&bmp));
    EXPECT_EQ(t.ChooseFormats().Format, GLenum(GL_BGR));
    EXPECT_EQ(0, std::memcmp(t.Pixels.get(), bgr, 6));
    flags.Version12 = false;
    EXPECT_EQ(t.ChooseFormats().Format, GLenum(GL_RGB));
    const uint8_t rgb[6] = {3, 2, 1, 6, 5, 4};
    EXPECT_EQ(0, std::memcmp(t.Pixels.get(), rgb, 6));
}

TEST(TglBitmap2D, AssignCopiesRowsWithoutPaddingTopRowFirst) {
    const TBitmap source = PatternBitmap(6, 3, 256); // 18-byte rows, 20-byte bitmap strides
    TglBitmap2D t;
    ASSERT_TRUE(t.AssignFromBitmap(&source));
    EXPECT_EQ(t.Width, 6);
    EXPECT_EQ(t.Height, 3);
    EXPECT_FALSE(t.HasAlpha);
    EXPECT_EQ(t.PixelBytes, 54u);
    ASSERT_EQ(t.RowStarts.size(), 3u);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(t.RowStarts[size_t(i)], t.Pixels.get() + 18 * i);
        EXPECT_EQ(0, std::memcmp(t.RowStarts[size_t(i)], source.ScanLine(i), 18));
    }
    TBitmap back;
    ASSERT_TRUE(t.CopyToBitmap(&back));
    EXPECT_TRUE(back.SamePixels(source));

    const TBitmap alpha = PatternBitmap(5, 4, 256, 32);
    ASSERT_TRUE(t.AssignFromBitmap(&alpha));
    EXPECT_TRUE(t.HasAlpha);
    EXPECT_EQ(t.PixelBytes, 80u);
    ASSERT_TRUE(t.CopyToBitmap(&back));
    EXPECT_EQ(back.BitsPerPixel(), 32);
    EXPECT_TRUE(back.SamePixels(alpha));

    EXPECT_FALSE(t.AssignFromBitmap(nullptr));
    EXPECT_FALSE(t.CopyToBitmap(nullptr));
    TglBitmap2D empty;
    EXPECT_FALSE(empty.CopyToBitmap(&back));
    const TBitmap none;
    ASSERT_TRUE(empty.AssignFromBitmap(&none));
    EXPECT_TRUE(empty.RowStarts.empty());
}

TEST(TglBitmap2D, GenTextureWithoutPixelsDoesNothing) {
    TglBitmap2D t; // no GL context here: any GL call would be a fault
    t.GenTexture(true);
    t.GenTexture(false);
    EXPECT_EQ(t.TextureId, 0u);
}

TEST(TglBitmap2D, PixelOperationsMirrorMapAndAlpha) {
    TBitmap bmp(3, 2, 24);
    for (int y = 0; y < 2; ++y)
        for (int i = 0; i < 9; ++i) bmp.ScanLine(y)[i] = uint8_t(10 * y + i);
    TglBitmap2D t;
    ASSERT_TRUE(t.AssignFromBitmap(&bmp));

    TglBitmapPixel px;
    t.ReadPixel({2, 1}, px);
    ASSERT_NE(px.Red, nullptr);
    EXPECT_EQ(*px.Blue, 16);
    EXPECT_EQ(*px.Red, 18);
    EXPECT_EQ(px.Alpha, nullptr);
    EXPECT_EQ(px.Channels, kChannelRed | kChannelGreen | kChannelBlue);

    ASSERT_TRUE(t.MirrorLeftRight());
    EXPECT_EQ(t.RowStarts[0][0], 6);
    ASSERT_TRUE(t.MirrorTopBottom());
    EXPECT_EQ(t.RowStarts[0][0], 16);
    t.SwapRedBlue();
    EXPECT_EQ(t.RowStarts[0][0], 18);

    int base = 100;
    ASSERT_TRUE(t.BuildAlphaFromFunction(
        [](const TglBitmapPixelPosition& pos, const TglBitmapPixel&, TglBitmapPixel& dest, void* user) {
            *dest.Alpha = uint8_t(pos.X + 10 * pos.Y + *static_cast<int*>(user));
        },
        &base));
    EXPECT_TRUE(t.HasAlpha);
    EXPECT_EQ(t.PixelBytes, 24u);
    EXPECT_EQ(t.RowStarts[1][4 * 2 + 3], 112);
    EXPECT_EQ(t.RowStarts[1][2], 6); // colours kept when alpha was added

    TBitmap alpha;
    ASSERT_TRUE(t.CopyAlphaToBitmap(&alpha));
    EXPECT_EQ(alpha.BitsPerPixel(), 24);
    EXPECT_EQ(alpha.ScanLine(1)[6], 112);
    EXPECT_EQ(alpha.ScanLine(1)[8], 112);

    TBitmap grey(3, 2, 24);
    grey.Fill(30, 60, 90);
    ASSERT_TRUE(t.BuildAlphaFromBitmap(&grey, nullptr, nullptr));
    EXPECT_EQ(t.RowStarts[0][3], 60); // (90 + 60 + 30) / 3
    TBitmap wrongSize(2, 2, 24);
    EXPECT_FALSE(t.BuildAlphaFromBitmap(&wrongSize, nullptr, nullptr));

    // Work on a copy: the function reads the old data and writes the new buffer.
    t.MapPixels(
        [](const TglBitmapPixelPosition&, const TglBitmapPixel& src, TglBitmapPixel& dest, void*) {
            *dest.Green = uint8_t(*src.Green + 1);
            *src.Green = 0; // the source is the old buffer, which the copy then replaces
        },
        true, nullptr);
    EXPECT_EQ(t.RowStarts[0][1], 18); // 17 + 1, untouched by the write to the old buffer

    t.DropAlpha();
    EXPECT_FALSE(t.HasAlpha);
    EXPECT_EQ(t.PixelBytes, 18u);
    EXPECT_EQ(t.RowStarts[1][1], 8);
    EXPECT_EQ(t.RowStarts[1][3], 5);
    EXPECT_FALSE(t.CopyAlphaToBitmap(&alpha));
}

TEST(TglBitmap2DLoad, EachDecoderIsReachedThroughTheStream) {
    TglBitmap2D t;
    TMemoryStream tga(TinyTga());
    t.LoadFromStream(tga);
    EXPECT_EQ(t.Width, 2);
    EXPECT_EQ(t.Height, 1);
    EXPECT_EQ(t.RowStarts[0][3], 4);

    const TBitmap picture = PatternBitmap(8, 4, 256);
    TMemoryStream jpeg(EncodeJpeg(picture, 95));
    t.LoadFromStream(jpeg);
    EXPECT_EQ(t.Width, 8);
    EXPECT_EQ(t.Height, 4);
    EXPECT_FALSE(t.HasAlpha);

    const TBitmap alpha = PatternBitmap(3, 5, 256, 32);
    TMemoryStream bmp(EncodeBmp(alpha));
    t.LoadFromStream(bmp);
    EXPECT_TRUE(t.HasAlpha);
    TBitmap back;
    ASSERT_TRUE(t.CopyToBitmap(&back));
    EXPECT_TRUE(back.SamePixels(alpha));

    // Loading starts where the stream stands, not at byte 0.
    TMemoryStream shifted;
    shifted.Write("junk", 4);
    const std::vector<uint8_t> tiny = TinyTga();
    shifted.Write(tiny.data(), tiny.size());
    shifted.Seek(4);
    t.LoadFromStream(shifted);
    EXPECT_EQ(t.Width, 2);
}

TEST(TglBitmap2DLoad, DecliningLoadersPutTheStreamBack) {
    TglBitmap2D t;
    const std::vector<uint8_t> bmpBytes = EncodeBmp(PatternBitmap(2, 2, 256));
    const std::vector<uint8_t> jpgBytes = EncodeJpeg(PatternBitmap(2, 2, 256), 50);
    TMemoryStream bmp(bmpBytes), jpg(jpgBytes), tga(TinyTga());
    for (TMemoryStream* s : {&bmp, &jpg, &tga}) s->Seek(0);
    EXPECT_FALSE(t.LoadTgaStream(bmp));
    EXPECT_EQ(bmp.Position(), 0u);
    EXPECT_FALSE(t.LoadJpegStream(bmp));
    EXPECT_EQ(bmp.Position(), 0u);
    EXPECT_FALSE(t.LoadTgaStream(jpg));
    EXPECT_FALSE(t.LoadBmpStream(jpg));
    EXPECT_EQ(jpg.Position(), 0u);
    EXPECT_FALSE(t.LoadJpegStream(tga));
    EXPECT_FALSE(t.LoadBmpStream(tga));
    EXPECT_EQ(tga.Position(), 0u);
    EXPECT_FALSE(t.Pixels);

    TMemoryStream unknown(std::vector<uint8_t>{'h', 'e', 'l', 'l', 'o', ' ', 'w', 'o', 'r', 'l', 'd'});
    unknown.Seek(2);
    EXPECT_EQ(MessageOf([&] { t.LoadFromStream(unknown); }), kLoadFromStreamMessage);
    EXPECT_EQ(unknown.Position(), 2u);
}

TEST(TglBitmap2DLoad, OneByteFailsAsUnknownButADamagedBitmapFailsInTheReader) {
    TglBitmap2D t;
    for (const std::vector<uint8_t>& bytes : {std::vector<uint8_t>{}, std::vector<uint8_t>{'B'}}) {
        TMemoryStream s(bytes);
        EXPECT_EQ(MessageOf([&] { t.LoadFromStream(s); }), kLoadFromStreamMessage);
    }
    std::vector<uint8_t> damaged = EncodeBmp(PatternBitmap(4, 4, 256));
    damaged.resize(40);
    TMemoryStream s(damaged);
    const std::string message = MessageOf([&] { t.LoadFromStream(s); });
    EXPECT_NE(message, kLoadFromStreamMessage);
    EXPECT_EQ(message.rfind("Invalid bitmap file", 0), 0u) << message;
    std::vector<uint8_t> badJpeg = {0xFF, 0xD8, 0xFF, 0x00, 0x12};
    TMemoryStream j(badJpeg);
    EXPECT_EQ(MessageOf([&] { t.LoadFromStream(j); }).rfind("Invalid JPEG file", 0), 0u);
    EXPECT_FALSE(t.Pixels);
}

TEST(TglBitmap2DLoad, ImageFilesAndTheSizeLimit) {
    REQUIRE_CONVERT();
    TTempFolder temp;
    WriteNetpbm(temp.File("src.ppm"), PatternBitmap(20, 10, 16));
    ASSERT_TRUE(Convert(temp.File("src.ppm") + " -type palette -compress None BMP3:" + temp.File("p4.bmp")));
    ASSERT_TRUE(Convert(temp.File("src.ppm") + " " + temp.File("photo.jpg")));
    TglBitmap2D t;
    t.OwnsTexture = true;
    t.ReleasePixelsAfterUpload = false;
    t.LoadImageFile(temp.File("p4.bmp"));
    EXPECT_EQ(t.Width, 20);
    EXPECT_FALSE(t.HasAlpha); // 4-bit files arrive as 24-bit pixels
    TBitmap back;
    ASSERT_TRUE(t.CopyToBitmap(&back));
    EXPECT_TRUE(back.SamePixels(PatternBitmap(20, 10, 16)));
    t.LoadImageFile(temp.File("photo.jpg"));
    EXPECT_EQ(t.Height, 10);
    EXPECT_THROW(t.LoadImageFile(temp.File("missing.jpg")), ELumatex);

    t.MaxImageBytes = 100;
    EXPECT_THROW(t.LoadImageFile(temp.File("p4.bmp")), ELumatex);
    EXPECT_THROW(t.LoadImageFile(temp.File("photo.jpg")), ELumatex);
}
