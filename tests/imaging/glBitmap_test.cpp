// TglBitmap without a GL context: setter checks, pixel copies and stream loading.
#include "imaging/glBitmap.h"

#include "imaging/JpegCodec.h"
#include "platform/BmpFile.h"
#include "platform/ELumatex.h"
#include "support/ImageMagick.h"
#include "support/TestSupport.h"

#include <cstring>
#include <new>

// Each value is stored right after its own check, so a later bad value leaves the earlier ones set.
TEST(TglBitmap2D, SettersCheckInOrderWithTheirOwnMessages) {
    TglBitmap2D t;
    const std::pair<std::function<void()>, const char*> cases[] = {
        {[&] { t.SetWrap(1, GL_REPEAT, GL_REPEAT); }, "TglBitmap.SetWrap - Unknow Texturewrap(s)."},
        {[&] { t.SetWrap(GL_REPEAT, 0, GL_REPEAT); }, "TglBitmap.SetWrap - Unknow Texturewrap(t)."},
        {[&] { t.SetWrap(GL_CLAMP, GL_REPEAT, 1); }, "TglBitmap.SetWrap - Unknow Texturewrap(r)."},
        {[&] { t.SetFilter(GL_REPEAT, GL_LINEAR); }, "TglBitmap.SetFilter - Unknow Minfilter."},
        {[&] { t.SetFilter(GL_NEAREST, GL_LINEAR_MIPMAP_NEAREST); },
         "TglBitmap.SetFilter - Unknow Magfilter."},
    };
    for (const auto& [call, message] : cases)
        EXPECT_EQ(MessageOf(call), message);
    EXPECT_EQ(std::tuple(t.WrapS, t.WrapT, t.WrapR),
              std::tuple(GLenum(GL_CLAMP), GLenum(GL_REPEAT), GLenum(GL_CLAMP_TO_EDGE)));
    EXPECT_EQ(t.MinFilter, GLenum(GL_NEAREST));
}

// The process-wide setters check like the object's own, make no GL call (none is current here), and new
// objects start from what they stored.
TEST(TglBitmap2D, DefaultSettersCheckInOrderAndNewObjectsStartFromThem) {
    const TglBitmapDefaults saved = glBitmapDefaults();
    const std::pair<std::function<void()>, const char*> cases[] = {
        {[] { glBitmapSetDefaultFilter(GL_REPEAT, GL_LINEAR); },
         "glBitmapSetDefaultFilter - Unknow Minfilter."},
        {[] { glBitmapSetDefaultFilter(GL_NEAREST, GL_NEAREST_MIPMAP_LINEAR); },
         "glBitmapSetDefaultFilter - Unknow Magfilter."},
        {[] { glBitmapSetDefaultWrap(1, GL_REPEAT, GL_REPEAT); },
         "glBitmapSetDefaultWrap - Unknow Texturewrap(s)."},
        {[] { glBitmapSetDefaultWrap(GL_REPEAT, 0, GL_REPEAT); },
         "glBitmapSetDefaultWrap - Unknow Texturewrap(t)."},
        {[] { glBitmapSetDefaultWrap(GL_CLAMP, GL_REPEAT, 1); },
         "glBitmapSetDefaultWrap - Unknow Texturewrap(r)."},
    };
    for (const auto& [call, message] : cases)
        EXPECT_EQ(MessageOf(call), message);
    const TglBitmap2D t;
    glBitmapDefaults() = saved;
    EXPECT_EQ(std::tuple(t.MinFilter, t.MagFilter), std::tuple(GLenum(GL_NEAREST), GLenum(GL_LINEAR)));
    EXPECT_EQ(std::tuple(t.WrapS, t.WrapT, t.WrapR),
              std::tuple(GLenum(GL_CLAMP), GLenum(GL_REPEAT), GLenum(GL_CLAMP_TO_EDGE)));
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
    EXPECT_FALSE(t.AssignFromBitmap(nullptr));
    TglBitmap2D empty;
    TBitmap back;
    EXPECT_FALSE(empty.CopyToBitmap(&back));
    empty.GenTexture(true); // without pixels nothing happens; no GL context here, so any GL call would fault
    EXPECT_EQ(empty.TextureId, 0u);
}

TEST(TglBitmap2D, ACopyThatCannotBeAllocatedIsOutOfMemory) {
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP()
        << "AddressSanitizer reserves its shadow memory up front: a bounded address space says nothing";
#endif
    // 192 MiB: more than the heap may keep free from earlier tests, so the copy needs new address space.
    const TBitmap source(8192, 8192, 24);
    // 2: the copy's allocation failed and said so, rather than answering false like a missing picture.
    EXPECT_EQ(RunWithinAddressSpace(16u << 20,
                                    [&] {
                                        TglBitmap2D t;
                                        try {
                                            return t.AssignFromBitmap(&source);
                                        } catch (const std::bad_alloc&) {
                                            if (t.Pixels || t.Width != 0 || t.Height != 0) return true;
                                            throw;
                                        }
                                    }),
              2);
}

// Handing a picture over reorders its store in place: the same buffer, the pixels the copies give.
TEST(TglBitmap2D, HandOversKeepTheStoreAndGiveWhatTheCopiesGive) {
    for (const auto& [width, height, bits] :
         {std::tuple(6, 3, 24), std::tuple(8, 5, 24), std::tuple(5, 4, 32), std::tuple(3, 1, 24),
          std::tuple(1, 1, 32)}) {
        SCOPED_TRACE(testing::Message() << width << " x " << height << " x " << bits);
        const TBitmap source = PatternBitmap(width, height, 256, bits);
        TglBitmap2D copied;
        ASSERT_TRUE(copied.AssignFromBitmap(&source));
        TBitmap handed = source;
        const uint8_t* store = handed.Data();
        TglBitmap2D moved;
        ASSERT_TRUE(moved.AssignFromBitmap(std::move(handed)));
        EXPECT_TRUE(handed.Empty());
        EXPECT_EQ(moved.Pixels.get(), store);
        ASSERT_EQ(
            std::tuple(moved.Width, moved.Height, moved.HasAlpha, moved.PixelBytes, moved.RowStarts.size()),
            std::tuple(copied.Width, copied.Height, copied.HasAlpha, copied.PixelBytes,
                       copied.RowStarts.size()));
        EXPECT_EQ(0, std::memcmp(moved.Pixels.get(), copied.Pixels.get(), copied.PixelBytes));

        TBitmap back;
        ASSERT_TRUE(moved.MoveToBitmap(back));
        EXPECT_TRUE(back.SamePixels(source));
        EXPECT_FALSE(moved.Pixels);
        EXPECT_TRUE(moved.RowStarts.empty());
        // 24-bit rows that need padding do not fit the unpadded buffer; every other one comes back in it.
        EXPECT_EQ(back.Data() == store, (width * bits / 8) % 4 == 0);
        EXPECT_FALSE(moved.MoveToBitmap(back)) << "nothing left to hand over";
    }
}

TEST(TglBitmap2DLoad, EachDecoderIsReachedFromWhereTheStreamStands) {
    TglBitmap2D t;
    const TBitmap alpha = PatternBitmap(3, 5, 256, 32);
    TMemoryStream bmp(EncodeBmp(alpha));
    t.LoadFromStream(bmp);
    TBitmap back;
    ASSERT_TRUE(t.CopyToBitmap(&back));
    EXPECT_TRUE(back.SamePixels(alpha)) << "32-bit pixels keep their alpha";
    // 2 x 1 uncompressed 24-bit TGA after four bytes of junk.
    TMemoryStream shifted(std::vector<uint8_t>{'j', 'u', 'n', 'k', 0, 0, 2,  0, 0, 0, 0, 0, 0, 0,
                                               0,   0,   2,   0,   1, 0, 24, 0, 1, 2, 3, 4, 5, 6});
    shifted.Seek(4);
    t.LoadFromStream(shifted);
    EXPECT_EQ(std::pair(t.Width, t.Height), std::pair(2, 1));
    EXPECT_EQ(t.RowStarts[0][3], 4);
}

TEST(TglBitmap2DLoad, UnknownBytesRaiseTheQuotedMessageAndDamageFailsInTheReader) {
    TglBitmap2D t;
    TMemoryStream unknown(std::vector<uint8_t>{'h', 'e', 'l', 'l', 'o', ' ', 'w', 'o', 'r', 'l', 'd'});
    unknown.Seek(2);
    EXPECT_EQ(MessageOf([&] { t.LoadFromStream(unknown); }), kLoadFromStreamMessage);
    EXPECT_EQ(unknown.Position(), 2u) << "every declining reader puts the stream back";
    TMemoryStream nothing(std::vector<uint8_t>{});
    EXPECT_EQ(MessageOf([&] { t.LoadFromStream(nothing); }), kLoadFromStreamMessage);
    std::vector<uint8_t> damaged = EncodeBmp(PatternBitmap(4, 4, 256));
    damaged.resize(40);
    TMemoryStream s(damaged), j(std::vector<uint8_t>{0xFF, 0xD8, 0xFF, 0x00, 0x12});
    EXPECT_EQ(MessageOf([&] { t.LoadFromStream(s); }).rfind("Invalid bitmap file", 0), 0u);
    EXPECT_EQ(MessageOf([&] { t.LoadFromStream(j); }).rfind("Invalid JPEG file", 0), 0u);
    EXPECT_FALSE(t.Pixels);
}

// Reading the files themselves is the still-image loader's test; the caller's limit is checked here.
TEST(TglBitmap2DLoad, ImageFilesHonourTheSizeLimit) {
    TTempFolder temp;
    WriteBinaryFile(temp.File("p.bmp"), EncodeBmp(PatternBitmap(20, 10, 16)));
    WriteBinaryFile(temp.File("p.jpg"), EncodeJpeg(PatternBitmap(20, 10, 16), 80));
    TglBitmap2D t;
    t.MaxImageBytes = 600;
    t.LoadImageFile(temp.File("p.jpg"));
    EXPECT_EQ(std::pair(t.Width, t.Height), std::pair(20, 10));
    t.MaxImageBytes = 100;
    EXPECT_THROW(t.LoadImageFile(temp.File("p.bmp")), ELumatex);
    EXPECT_THROW(t.LoadImageFile(temp.File("p.jpg")), ELumatex);
}
