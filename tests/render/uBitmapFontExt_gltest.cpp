#include "render/uBitmapFontExt.h"

#include "render/RenderTestSupport.h"
#include "support/TestSupport.h"

#include <gmock/gmock.h>

namespace {

class TBitmapFontExtGLTest : public HeadlessGLTest {
protected:
    void SetUp() override {
        HeadlessGLTest::SetUp();
        if (IsSkipped()) return;
        glViewport(0, 0, 256, 256);
        glMatrixMode(GL_PROJECTION);
        glLoadIdentity();
        glOrtho(0, 256, 256, 0, -1, 1);
        glMatrixMode(GL_MODELVIEW);
        glLoadIdentity();
        glClearColor(0, 0, 0, 1);
        glClear(GL_COLOR_BUFFER_BIT);
    }

    // The lit pixels' bounding box and whether every lit pixel is white.
    struct TInk {
        int Count = 0, Left = 1 << 20, Top = 1 << 20, Right = -1, Bottom = -1;
        bool AllWhite = true;
    };
    static TInk InkOf(const TPicture& p) {
        TInk ink;
        for (int y = 0; y < p.Height; ++y)
            for (int x = 0; x < p.Width; ++x) {
                const TRGBA& c = p.At(x, y);
                if (c.R == 0 && c.G == 0 && c.B == 0) continue;
                ++ink.Count;
                ink.Left = std::min(ink.Left, x);
                ink.Right = std::max(ink.Right, x);
                ink.Top = std::min(ink.Top, y);
                ink.Bottom = std::max(ink.Bottom, y);
                if (!(c.R == 255 && c.G == 255 && c.B == 255)) ink.AllWhite = false;
            }
        return ink;
    }
};

} // namespace

TEST(TBitmapFontExt, ArialResolvesToLiberationSans) {
    EXPECT_THAT(TBitmapFontExt::ResolveFontFile("Arial", false), testing::HasSubstr("LiberationSans-Regular"));
    EXPECT_THAT(TBitmapFontExt::ResolveFontFile("Arial", true), testing::HasSubstr("LiberationSans-Bold"));
}

TEST_F(TBitmapFontExtGLTest, BuildsGlyphListsForCodesUpTo126) {
    TBitmapFontExt font;
    font.Build("Arial", 16, false);
    EXPECT_TRUE(Messages.Entries.empty());
    ASSERT_NE(font.ListBase, 0u);
    EXPECT_TRUE(glIsList(font.ListBase + 'A'));
    EXPECT_TRUE(glIsList(font.ListBase + ' '));
    EXPECT_TRUE(glIsList(font.ListBase + 126));
    // Code 127 is reserved but draws nothing and leaves the raster position where it was.
    glRasterPos2i(30, 30);
    GLfloat before[4] = {}, after[4] = {};
    glGetFloatv(GL_CURRENT_RASTER_POSITION, before);
    glListBase(font.ListBase);
    const GLubyte del = 127;
    glCallLists(1, GL_UNSIGNED_BYTE, &del);
    glGetFloatv(GL_CURRENT_RASTER_POSITION, after);
    EXPECT_EQ(after[0], before[0]);
    glCallLists(1, GL_UNSIGNED_BYTE, "A");
    glGetFloatv(GL_CURRENT_RASTER_POSITION, after);
    EXPECT_GT(after[0], before[0] + 5); // a glyph advances it
}

TEST_F(TBitmapFontExtGLTest, PrintsWhiteTextOnTheBaselineAtTheRasterPosition) {
    TBitmapFontExt font;
    font.Build("Arial", 16, false);
    glColor4f(1, 0, 0, 1);
    font.Print(20, 40, "Passes: 8");
    const TInk ink = InkOf(TPicture(256, 256));
    ASSERT_GT(ink.Count, 50);
    EXPECT_TRUE(ink.AllWhite);
    // Capitals and digits of a 16-pixel face: about 11 pixels high, sitting on the row above y = 40.
    EXPECT_EQ(ink.Bottom, 39);
    EXPECT_GE(ink.Top, 40 - 16);
    EXPECT_LE(ink.Top, 40 - 9);
    EXPECT_GE(ink.Left, 20);
    EXPECT_LE(ink.Left, 22);
    EXPECT_GT(ink.Right, 20 + 50); // nine characters advance the raster position
    EXPECT_LT(ink.Right, 20 + 100);
    GLfloat color[4] = {};
    glGetFloatv(GL_CURRENT_COLOR, color);
    EXPECT_EQ(color[0], 1.0f);
    EXPECT_EQ(color[1], 1.0f);
    EXPECT_EQ(color[2], 1.0f);
}

TEST_F(TBitmapFontExtGLTest, EmptyTextTouchesNothing) {
    TBitmapFontExt font;
    font.Build("Arial", 16, false);
    glColor4f(1, 0, 0, 1);
    glRasterPos2i(5, 5);
    GLfloat rasterBefore[4] = {};
    glGetFloatv(GL_CURRENT_RASTER_POSITION, rasterBefore);
    font.Print(100, 100, "");
    GLfloat color[4] = {}, rasterAfter[4] = {};
    glGetFloatv(GL_CURRENT_COLOR, color);
    glGetFloatv(GL_CURRENT_RASTER_POSITION, rasterAfter);
    EXPECT_EQ(color[1], 0.0f); // still red
    EXPECT_EQ(rasterAfter[0], rasterBefore[0]);
    EXPECT_EQ(rasterAfter[1], rasterBefore[1]);
    EXPECT_EQ(InkOf(TPicture(256, 256)).Count, 0);
}

TEST_F(TBitmapFontExtGLTest, CodesFrom128UpAreLeftOut) {
    TBitmapFontExt font;
    font.Build("Arial", 16, false);
    font.Print(10, 30, "FPS: 60");
    const TPicture plain(256, 256);
    glClear(GL_COLOR_BUFFER_BIT);
    font.Print(10, 30, "F\xC3\xA9PS: \xFF"
                       "60\x80");
    EXPECT_TRUE(TPicture(256, 256) == plain);
}

TEST_F(TBitmapFontExtGLTest, AFaceThatCannotBeLoadedReportsOnceAndPrintsNothing) {
    TBitmapFontExt font;
    font.BuildFromFile("/nonexistent/font.ttf", 16);
    ASSERT_EQ(Messages.Entries.size(), 1u);
    EXPECT_EQ(Messages.Entries[0].Text, "unable to build font");
    EXPECT_EQ(Messages.Entries[0].Caption, "Error");
    EXPECT_EQ(Messages.Entries[0].Icon, TMessageIcon::Error);
    font.Print(20, 40, "Passes: 2");
    EXPECT_EQ(InkOf(TPicture(256, 256)).Count, 0);
}

TEST_F(TBitmapFontExtGLTest, DestructionDeletesTheListsAndAnUnbuiltFontPrintsNothing) {
    GLuint base = 0;
    {
        TBitmapFontExt font;
        font.Build("Arial", 16, false);
        base = font.ListBase;
        ASSERT_TRUE(glIsList(base + 'A'));
    }
    EXPECT_FALSE(glIsList(base + 'A'));
    TBitmapFontExt unbuilt;
    unbuilt.Print(20, 40, "Passes: 2");
    EXPECT_EQ(InkOf(TPicture(256, 256)).Count, 0);
}
