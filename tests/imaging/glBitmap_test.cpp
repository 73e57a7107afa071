// TglBitmap without a GL context: settings, format choice, pixel copies and stream loading.
#include "imaging/glBitmap.h"

#include "imaging/ImageMagick.h"
#include "imaging/JpegCodec.h"
#include "platform/BmpFile.h"
#include "platform/ELumatex.h"
#include "support/TestSupport.h"

#include <cstring>
#include <functional>

namespace {

// Puts the process-wide defaults back after each test.
class TglBitmapTest : public ::testing::Test {
protected:
    void TearDown() override { glBitmapDefaults() = Saved; }
    TglBitmapDefaults Saved = glBitmapDefaults();
};

std::string MessageOf(const std::function<void()>& f) {
    try {
        f();
    } catch (const ELumatex& e) {
        return e.what();
    }
    return "(nothing raised)";
}

// 2 x 1 uncompressed 24-bit TGA.
const std::vector<uint8_t> kTinyTga = {0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 2, 0, 1, 0, 24, 0, 1, 2, 3, 4, 5, 6};

} // namespace

TEST_F(TglBitmapTest, NewObjectsTakeTheProcessDefaults) {
    TglBitmap2D before;
    EXPECT_EQ(before.MipMapMode, kMipMapAutomatic);
    EXPECT_EQ(before.MinFilter, GLenum(GL_LINEAR_MIPMAP_LINEAR));
    EXPECT_EQ(before.WrapR, GLenum(GL_CLAMP_TO_EDGE));
    glBitmapDefaults().FormatKind = 2;
    glBitmapDefaults().OwnsTexture = glBitmapDefaults().ReleasePixelsAfterUpload = false;
    glBitmapSetDefaultFilter(GL_NEAREST_MIPMAP_NEAREST, GL_NEAREST);
    glBitmapSetDefaultWrap(GL_REPEAT, GL_CLAMP, GL_CLAMP_TO_BORDER);
    TglBitmap2D t;
    EXPECT_EQ(t.FormatKind, 2);
    EXPECT_FALSE(t.OwnsTexture || t.ReleasePixelsAfterUpload);
    EXPECT_EQ(std::pair(t.MinFilter, t.MagFilter), std::pair(GLenum(GL_NEAREST_MIPMAP_NEAREST), GLenum(GL_NEAREST)));
    EXPECT_EQ(std::tuple(t.WrapS, t.WrapT, t.WrapR), std::tuple(GLenum(GL_REPEAT), GLenum(GL_CLAMP), GLenum(GL_CLAMP_TO_BORDER)));
}

// Each value is stored right after its own check, so a later bad value leaves the earlier ones set.
TEST_F(TglBitmapTest, SettersCheckInOrderWithTheirOwnMessages) {
    TglBitmap2D t;
    const std::pair<std::function<void()>, const char*> cases[] = {
        {[] { glBitmapSetDefaultFilter(0x1234, GL_LINEAR); }, "glBitmapSetDefaultFilter - Unknow Minfilter."},
        {[] { glBitmapSetDefaultFilter(GL_NEAREST, GL_LINEAR_MIPMAP_LINEAR); }, "glBitmapSetDefaultFilter - Unknow Magfilter."},
        {[] { glBitmapSetDefaultWrap(7, GL_REPEAT, GL_REPEAT); }, "glBitmapSetDefaultWrap - Unknow Texturewrap(s)."},
        {[] { glBitmapSetDefaultWrap(GL_REPEAT, 7, GL_REPEAT); }, "glBitmapSetDefaultWrap - Unknow Texturewrap(t)."},
        {[] { glBitmapSetDefaultWrap(GL_CLAMP, GL_CLAMP, GL_MIRRORED_REPEAT); }, "glBitmapSetDefaultWrap - Unknow Texturewrap(r)."},
        {[&] { t.SetWrap(1, GL_REPEAT, GL_REPEAT); }, "TglBitmap.SetWrap - Unknow Texturewrap(s)."},
        {[&] { t.SetWrap(GL_REPEAT, 0, GL_REPEAT); }, "TglBitmap.SetWrap - Unknow Texturewrap(t)."},
        {[&] { t.SetWrap(GL_CLAMP, GL_REPEAT, 1); }, "TglBitmap.SetWrap - Unknow Texturewrap(r)."},
        {[&] { t.SetFilter(GL_REPEAT, GL_LINEAR); }, "TglBitmap.SetFilter - Unknow Minfilter."},
        {[&] { t.SetFilter(GL_NEAREST, GL_LINEAR_MIPMAP_NEAREST); }, "TglBitmap.SetFilter - Unknow Magfilter."},
    };
    for (const auto& [call, message] : cases) EXPECT_EQ(MessageOf(call), message);
    const TglBitmapDefaults& d = glBitmapDefaults();
    EXPECT_EQ(std::pair(d.MinFilter, d.MagFilter), std::pair(GLenum(GL_NEAREST), GLenum(GL_LINEAR)));
    EXPECT_EQ(std::tuple(d.WrapS, d.WrapT, d.WrapR), std::tuple(GLenum(GL_CLAMP), GLenum(GL_CLAMP), GLenum(GL_CLAMP_TO_EDGE)));
    EXPECT_EQ(std::tuple(t.WrapS, t.WrapT, t.WrapR), std::tuple(GLenum(GL_CLAMP), GLenum(GL_REPEAT), GLenum(GL_CLAMP_TO_EDGE)));
    EXPECT_EQ(t.MinFilter, GLenum(GL_NEAREST));
}

TEST_F(TglBitmapTest, MinFilterFallsBackWithoutMipMapsButKeepsTheRequest) {
    TglBitmap2D t;
    for (auto [mip, plain] : {std::pair{GL_NEAREST_MIPMAP_NEAREST, GL_NEAREST}, {GL_NEAREST_MIPMAP_LINEAR, GL_NEAREST},
                              {GL_LINEAR_MIPMAP_NEAREST, GL_LINEAR}, {GL_LINEAR_MIPMAP_LINEAR, GL_LINEAR}}) {
        t.SetFilter(GLenum(mip), GL_LINEAR);
        t.MipMapMode = kMipMapAutomatic;
        EXPECT_EQ(t.EffectiveMinFilter(), GLenum(mip));
        t.MipMapMode = kMipMapNone;
        EXPECT_EQ(t.EffectiveMinFilter(), GLenum(plain));
        t.MipMapMode = kMipMapGlu;
        t.Target = GL_TEXTURE_RECTANGLE;
        EXPECT_EQ(t.EffectiveMinFilter(), GLenum(plain)) << "rectangle textures have no mip levels";
        t.Target = GL_TEXTURE_2D;
        EXPECT_EQ(t.MinFilter, GLenum(mip));
    }
}

TEST(glBitmapChooseFormats, BgrOrderWhereTheContextTakesItAndTheInternalFormatTable) {
    TGLFlags old, v12, bgra, v13, arb, s3tc; // old: neither OpenGL 1.2 nor GL_EXT_bgra
    v12.Version12 = v13.Version12 = v13.Version13 = bgra.ExtBgra = true;
    arb.ArbTextureCompression = arb.ExtTextureCompressionS3tc = s3tc.ExtTextureCompressionS3tc = true;
    for (const TGLFlags* f : {&v12, &bgra}) {
        EXPECT_EQ(glBitmapChooseFormats(*f, false, 0).Format, GLenum(GL_BGR));
        EXPECT_EQ(glBitmapChooseFormats(*f, true, 0).Format, GLenum(GL_BGRA));
        EXPECT_FALSE(glBitmapChooseFormats(*f, true, 0).SwapRedBlue);
    }
    EXPECT_EQ(glBitmapChooseFormats(old, false, 0).Format, GLenum(GL_RGB));
    EXPECT_EQ(glBitmapChooseFormats(old, true, 0).Format, GLenum(GL_RGBA));
    EXPECT_TRUE(glBitmapChooseFormats(old, false, 0).SwapRedBlue);
    // Flags, format kind, internal format without and with alpha.
    for (auto [f, kind, rgb, rgba] : {std::tuple{&v12, 0, GL_RGB, GL_RGBA}, {&v12, 1, GL_RGB4, GL_RGBA4},
                                      {&v12, 2, GL_RGB8, GL_RGBA8}, {&v12, 9, GL_RGB, GL_RGBA},
                                      {&v13, 3, GL_COMPRESSED_RGB, GL_COMPRESSED_RGBA},
                                      {&arb, 3, GL_COMPRESSED_RGB, GL_COMPRESSED_RGBA},
                                      {&s3tc, 3, GL_COMPRESSED_RGB_S3TC_DXT1_EXT, GL_COMPRESSED_RGBA_S3TC_DXT1_EXT},
                                      {&old, 3, GL_RGB, GL_RGBA}}) {
        EXPECT_EQ(glBitmapChooseFormats(*f, false, uint8_t(kind)).InternalFormat, GLenum(rgb)) << kind;
        EXPECT_EQ(glBitmapChooseFormats(*f, true, uint8_t(kind)).InternalFormat, GLenum(rgba)) << kind;
    }
}

TEST(TglBitmap2D, AssignCopiesRowsWithoutPaddingTopRowFirst) {
    const TBitmap source = PatternBitmap(6, 3, 256); // 18-byte rows, 20-byte bitmap strides
    TglBitmap2D t;
    ASSERT_TRUE(t.AssignFromBitmap(&source));
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
    EXPECT_TRUE(back.SamePixels(alpha));

    EXPECT_FALSE(t.AssignFromBitmap(nullptr));
    EXPECT_FALSE(t.CopyToBitmap(nullptr));
    TglBitmap2D empty;
    EXPECT_FALSE(empty.CopyToBitmap(&back));
    empty.GenTexture(true); // without pixels nothing happens; no GL context here, so any GL call would fault
    empty.GenTexture(false);
    EXPECT_EQ(empty.TextureId, 0u);
    const TBitmap none;
    ASSERT_TRUE(empty.AssignFromBitmap(&none));
    EXPECT_TRUE(empty.RowStarts.empty());
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
    EXPECT_EQ(t.RowStarts[1][2], 6) << "colours kept when alpha was added";
    TBitmap alpha;
    ASSERT_TRUE(t.CopyAlphaToBitmap(&alpha));
    EXPECT_EQ(alpha.ScanLine(1)[6], 112);
    EXPECT_EQ(alpha.ScanLine(1)[8], 112);

    TBitmap grey(3, 2, 24);
    grey.Fill(30, 60, 90);
    ASSERT_TRUE(t.BuildAlphaFromBitmap(&grey, nullptr, nullptr));
    EXPECT_EQ(t.RowStarts[0][3], 60); // (90 + 60 + 30) / 3
    TBitmap wrongSize(2, 2, 24);
    EXPECT_FALSE(t.BuildAlphaFromBitmap(&wrongSize, nullptr, nullptr));

    // Working on a copy: the function reads the old buffer and writes the new one.
    t.MapPixels(
        [](const TglBitmapPixelPosition&, const TglBitmapPixel& src, TglBitmapPixel& dest, void*) {
            *dest.Green = uint8_t(*src.Green + 1);
            *src.Green = 0; // the old buffer, which the copy then replaces
        },
        true, nullptr);
    EXPECT_EQ(t.RowStarts[0][1], 18); // 17 + 1

    t.DropAlpha();
    EXPECT_FALSE(t.HasAlpha);
    EXPECT_EQ(t.PixelBytes, 18u);
    EXPECT_EQ(t.RowStarts[1][1], 8);
    EXPECT_EQ(t.RowStarts[1][3], 5);
    EXPECT_FALSE(t.CopyAlphaToBitmap(&alpha));
}

TEST(TglBitmap2DLoad, EachDecoderIsReachedFromWhereTheStreamStands) {
    TglBitmap2D t;
    TMemoryStream jpeg(EncodeJpeg(PatternBitmap(8, 4, 256), 95));
    t.LoadFromStream(jpeg);
    EXPECT_EQ(std::pair(t.Width, t.Height), std::pair(8, 4));
    EXPECT_FALSE(t.HasAlpha);
    const TBitmap alpha = PatternBitmap(3, 5, 256, 32);
    TMemoryStream bmp(EncodeBmp(alpha));
    t.LoadFromStream(bmp);
    TBitmap back;
    ASSERT_TRUE(t.CopyToBitmap(&back));
    EXPECT_TRUE(back.SamePixels(alpha));
    TMemoryStream shifted;
    shifted.Write("junk", 4);
    shifted.Write(kTinyTga.data(), kTinyTga.size());
    shifted.Seek(4);
    t.LoadFromStream(shifted);
    EXPECT_EQ(std::pair(t.Width, t.Height), std::pair(2, 1));
    EXPECT_EQ(t.RowStarts[0][3], 4);
}

TEST(TglBitmap2DLoad, DecliningLoadersPutTheStreamBackAndDamageFailsInTheReader) {
    TglBitmap2D t;
    TMemoryStream bmp(EncodeBmp(PatternBitmap(2, 2, 256))), jpg(EncodeJpeg(PatternBitmap(2, 2, 256), 50)), tga(kTinyTga);
    for (TMemoryStream* s : {&bmp, &jpg, &tga}) s->Seek(0);
    EXPECT_FALSE(t.LoadTgaStream(bmp) || t.LoadJpegStream(bmp));
    EXPECT_FALSE(t.LoadTgaStream(jpg) || t.LoadBmpStream(jpg));
    EXPECT_FALSE(t.LoadJpegStream(tga) || t.LoadBmpStream(tga));
    for (TMemoryStream* s : {&bmp, &jpg, &tga}) EXPECT_EQ(s->Position(), 0u);
    EXPECT_FALSE(t.Pixels);

    TMemoryStream unknown(std::vector<uint8_t>{'h', 'e', 'l', 'l', 'o', ' ', 'w', 'o', 'r', 'l', 'd'});
    unknown.Seek(2);
    EXPECT_EQ(MessageOf([&] { t.LoadFromStream(unknown); }), kLoadFromStreamMessage);
    EXPECT_EQ(unknown.Position(), 2u);
    for (const std::vector<uint8_t>& bytes : {std::vector<uint8_t>{}, std::vector<uint8_t>{'B'}}) {
        TMemoryStream s(bytes);
        EXPECT_EQ(MessageOf([&] { t.LoadFromStream(s); }), kLoadFromStreamMessage);
    }
    std::vector<uint8_t> damaged = EncodeBmp(PatternBitmap(4, 4, 256));
    damaged.resize(40);
    TMemoryStream s(damaged), j(std::vector<uint8_t>{0xFF, 0xD8, 0xFF, 0x00, 0x12});
    EXPECT_EQ(MessageOf([&] { t.LoadFromStream(s); }).rfind("Invalid bitmap file", 0), 0u);
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
    t.LoadImageFile(temp.File("p4.bmp"));
    EXPECT_FALSE(t.HasAlpha); // 4-bit files arrive as 24-bit pixels
    TBitmap back;
    ASSERT_TRUE(t.CopyToBitmap(&back));
    EXPECT_TRUE(back.SamePixels(PatternBitmap(20, 10, 16)));
    t.LoadImageFile(temp.File("photo.jpg"));
    EXPECT_EQ(std::pair(t.Width, t.Height), std::pair(20, 10));
    EXPECT_THROW(t.LoadImageFile(temp.File("missing.jpg")), ELumatex);
    t.MaxImageBytes = 100;
    EXPECT_THROW(t.LoadImageFile(temp.File("p4.bmp")), ELumatex);
    EXPECT_THROW(t.LoadImageFile(temp.File("photo.jpg")), ELumatex);
}
