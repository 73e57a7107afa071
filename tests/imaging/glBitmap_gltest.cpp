// TglBitmap2D uploads on a real (llvmpipe) context, read back from the texture.
#include "imaging/glBitmap.h"

#include "platform/ELumatex.h"
#include "support/ImageMagick.h"
#include "support/TestSupport.h"

namespace {

using TglBitmap2DGLTest = HeadlessGLTest;

// Level 0 of the bound 2D texture as blue, green, red (, alpha) rows, row 0 = t = 0.
std::vector<uint8_t> ReadTexture(GLuint texture, int width, int height, bool alpha) {
    std::vector<uint8_t> out(size_t(width) * size_t(height) * (alpha ? 4 : 3));
    glBindTexture(GL_TEXTURE_2D, texture);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glGetTexImage(GL_TEXTURE_2D, 0, alpha ? GL_BGRA : GL_BGR, GL_UNSIGNED_BYTE, out.data());
    glPixelStorei(GL_PACK_ALIGNMENT, 4);
    return out;
}

std::vector<uint8_t> Rows(const TBitmap& bmp) {
    std::vector<uint8_t> out;
    const size_t rowBytes = size_t(bmp.Width()) * size_t(bmp.BytesPerPixel());
    for (int y = 0; y < bmp.Height(); ++y)
        out.insert(out.end(), bmp.ScanLine(y), bmp.ScanLine(y) + rowBytes);
    return out;
}

// Of the texture bound to GL_TEXTURE_2D; level < 0 asks the texture, otherwise that level.
GLint TexParameter(GLenum name, int level = -1) {
    GLint value = -1;
    if (level < 0)
        glGetTexParameteriv(GL_TEXTURE_2D, name, &value);
    else
        glGetTexLevelParameteriv(GL_TEXTURE_2D, level, name, &value);
    return value;
}

} // namespace

// On an old context (neither OpenGL 1.2 nor GL_EXT_bgra) the kept pixels are swapped to red, green, blue
// and still show the right colours.
TEST_F(TglBitmap2DGLTest, UploadPutsTheTopRowAtTextureRowZeroOnNewAndOldContexts) {
    TGLFlags old;
    for (auto [bits, flags] : {std::pair{24, &GLFlags()}, {32, &GLFlags()}, {24, &old}}) {
        const TBitmap bmp = PatternBitmap(8, 4, 256, bits);
        TglBitmap2D t;
        t.Flags = flags;
        t.MipMapMode = kMipMapNone;
        if (flags == &old) t.ReleasePixelsAfterUpload = false;
        ASSERT_TRUE(t.AssignFromBitmap(&bmp));
        t.GenTexture(true);
        ASSERT_NE(t.TextureId, 0u);
        EXPECT_EQ(ReadTexture(t.TextureId, 8, 4, bits == 32), Rows(bmp)) << bits;
        EXPECT_EQ(TexParameter(GL_TEXTURE_INTERNAL_FORMAT, 0), bits == 32 ? GL_RGBA : GL_RGB);
        EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
        if (flags != &old) {
            EXPECT_FALSE(t.Pixels) << "released after upload";
            continue;
        }
        ASSERT_TRUE(t.Pixels);
        EXPECT_EQ(t.RowStarts[1][0], bmp.ScanLine(1)[2]) << "kept pixels hold red and blue exchanged";
        EXPECT_EQ(t.RowStarts[1][2], bmp.ScanLine(1)[0]);
    }
}

TEST_F(TglBitmap2DGLTest, EngineStartUpOrderTurnsDefaultMipMapsIntoLinearSampling) {
    TglBitmap2D t;
    t.OwnsTexture = true;
    t.ReleasePixelsAfterUpload = true;
    TBitmap black(512, 512, 24);
    ASSERT_TRUE(t.AssignFromBitmap(&black));
    t.GenTexture(true);
    glBindTexture(GL_TEXTURE_2D, t.TextureId);
    EXPECT_EQ(TexParameter(GL_GENERATE_MIPMAP), GL_TRUE) << "by default the hardware builds the mip maps";
    EXPECT_EQ(TexParameter(GL_TEXTURE_MIN_FILTER), GL_LINEAR_MIPMAP_LINEAR);
    EXPECT_EQ(TexParameter(GL_TEXTURE_WIDTH, 9), 1);
    t.Bind();
    t.MipMapMode = 0;
    t.SetWrap(GL_CLAMP_TO_EDGE, GL_CLAMP_TO_EDGE, GL_CLAMP_TO_EDGE);
    t.SetFilter(GL_LINEAR_MIPMAP_LINEAR, GL_LINEAR);
    glBindTexture(GL_TEXTURE_2D, t.TextureId);
    EXPECT_EQ(TexParameter(GL_TEXTURE_MIN_FILTER), GL_LINEAR);
    EXPECT_EQ(TexParameter(GL_TEXTURE_WRAP_R), GL_CLAMP_TO_EDGE);

    // The next per-frame upload keeps those settings on its new texture.
    const TBitmap frame = PatternBitmap(512, 512, 256);
    ASSERT_TRUE(t.AssignFromBitmap(&frame));
    t.GenTexture(false);
    glBindTexture(GL_TEXTURE_2D, t.TextureId);
    EXPECT_EQ(TexParameter(GL_TEXTURE_MIN_FILTER), GL_LINEAR);
    EXPECT_EQ(TexParameter(GL_TEXTURE_WIDTH, 1), 0) << "no mip level built";
    EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
}

TEST_F(TglBitmap2DGLTest, EveryUploadReplacesTheTextureObjectAndOnlyOwnersDeleteIt) {
    const TBitmap bmp = PatternBitmap(4, 4, 256);
    const auto upload = [&](TglBitmap2D& t) {
        EXPECT_TRUE(t.AssignFromBitmap(&bmp));
        t.GenTexture(false);
        return t.TextureId;
    };
    GLuint first = 0, owned = 0, kept = 0;
    TglBitmap2D t;
    first = upload(t);
    const GLuint last = upload(t);
    EXPECT_NE(last, 0u);
    EXPECT_FALSE(glIsTexture(first) && first != last) << "the old name is deleted";
    {
        TglBitmap2D owner, borrower;
        borrower.OwnsTexture = false;
        owned = upload(owner);
        kept = upload(borrower);
    }
    EXPECT_FALSE(glIsTexture(owned));
    EXPECT_TRUE(glIsTexture(kept));
    glDeleteTextures(1, &kept);
    EXPECT_TRUE(glIsTexture(last));
}

TEST_F(TglBitmap2DGLTest, SizeChecksComeBeforeTheOldTextureIsTouched) {
    TGLFlags flags = GLFlags();
    TglBitmap2D t;
    t.Flags = &flags;
    t.ReleasePixelsAfterUpload = false;
    const TBitmap square = PatternBitmap(512, 512, 256);
    ASSERT_TRUE(t.AssignFromBitmap(&square));
    t.GenTexture(true);
    const GLuint previous = t.TextureId;

    const TBitmap odd = PatternBitmap(513, 512, 256);
    ASSERT_TRUE(t.AssignFromBitmap(&odd));
    flags.ArbTextureNonPowerOfTwo = false;
    EXPECT_EQ(MessageOf([&] { t.GenTexture(true); }), kGenTextureNpotMessage);
    EXPECT_EQ(t.TextureId, previous);
    EXPECT_TRUE(glIsTexture(previous));
    EXPECT_TRUE(t.Pixels);
    flags.ArbTextureNonPowerOfTwo = true;
    EXPECT_EQ(MessageOf([&] { t.GenTexture(true); }), "(nothing raised)");

    GLint maxSize = 0;
    glGetIntegerv(GL_MAX_TEXTURE_SIZE, &maxSize);
    const GLuint beforeTooLarge = t.TextureId;
    TBitmap wide(maxSize + 1, 1, 24);
    ASSERT_TRUE(t.AssignFromBitmap(&wide));
    EXPECT_EQ(MessageOf([&] { t.GenTexture(true); }), kGenTextureTooLargeMessage);
    EXPECT_EQ(t.TextureId, beforeTooLarge);
    EXPECT_TRUE(glIsTexture(beforeTooLarge));
}
