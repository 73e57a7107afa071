#include "render/uBitmapFontExt.h"

#include "render/EngineTestSupport.h"

#include <gmock/gmock.h>

namespace {

// A 256 x 256 black target in window coordinates, y growing downwards, and an Arial 16 font.
class TBitmapFontExtGLTest : public HeadlessGLTest {
protected:
    void SetUp() override {
        HeadlessGLTest::SetUp();
        if (IsSkipped()) return;
        glMatrixMode(GL_PROJECTION);
        glLoadIdentity();
        glOrtho(0, 256, 256, 0, -1, 1);
        glMatrixMode(GL_MODELVIEW);
        glLoadIdentity();
        glClearColor(0, 0, 0, 1);
        glClear(GL_COLOR_BUFFER_BIT);
        Font.Build("Arial", 16, false);
    }

    // The lit pixels: how many, their bounding box and whether they are all white.
    struct TInk {
        int Count = 0, Left = 1 << 20, Top = 1 << 20, Right = -1, Bottom = -1;
        bool AllWhite = true;
    };
    static TInk Ink() {
        const TPicture p(256, 256);
        TInk ink;
        for (int y = 0; y < p.Height; ++y)
            for (int x = 0; x < p.Width; ++x) {
                const TRGBA& c = p.At(x, y);
                if (c == kBlack) continue;
                ++ink.Count;
                ink.Left = std::min(ink.Left, x), ink.Right = std::max(ink.Right, x);
                ink.Top = std::min(ink.Top, y), ink.Bottom = std::max(ink.Bottom, y);
                ink.AllWhite &= c == kWhite;
            }
        return ink;
    }
    static std::array<float, 4> Get(GLenum name) {
        std::array<float, 4> v{};
        glGetFloatv(name, v.data());
        return v;
    }

    TBitmapFontExt Font;
};

} // namespace

TEST(TBitmapFontExt, ArialResolvesToLiberationSans) {
    EXPECT_THAT(TBitmapFontExt::ResolveFontFile("Arial", false), testing::HasSubstr("LiberationSans-Regular"));
    EXPECT_THAT(TBitmapFontExt::ResolveFontFile("Arial", true), testing::HasSubstr("LiberationSans-Bold"));
}

TEST_F(TBitmapFontExtGLTest, BuildsGlyphListsForCodesUpTo126AndAnEmptyOneFor127) {
    EXPECT_TRUE(Messages.Entries.empty());
    ASSERT_NE(Font.ListBase, 0u);
    for (int code : {int(' '), int('A'), 126}) EXPECT_TRUE(glIsList(Font.ListBase + GLuint(code))) << code;
    glRasterPos2i(30, 30);
    const auto before = Get(GL_CURRENT_RASTER_POSITION);
    glListBase(Font.ListBase);
    const GLubyte del = 127;
    glCallLists(1, GL_UNSIGNED_BYTE, &del);
    EXPECT_EQ(Get(GL_CURRENT_RASTER_POSITION)[0], before[0]) << "127 draws nothing and does not advance";
    glCallLists(1, GL_UNSIGNED_BYTE, "A");
    EXPECT_GT(Get(GL_CURRENT_RASTER_POSITION)[0], before[0] + 5);
}

TEST_F(TBitmapFontExtGLTest, PrintsWhiteTextOnTheBaselineAtTheRasterPosition) {
    glColor4f(1, 0, 0, 1);
    Font.Print(20, 40, "Passes: 8");
    const TInk ink = Ink();
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
    EXPECT_THAT(Get(GL_CURRENT_COLOR), testing::ElementsAre(1.0f, 1.0f, 1.0f, 1.0f));
}

TEST_F(TBitmapFontExtGLTest, EmptyTextTouchesNothingAndCodesFrom128UpAreLeftOut) {
    glColor4f(1, 0, 0, 1);
    glRasterPos2i(5, 5);
    const auto raster = Get(GL_CURRENT_RASTER_POSITION);
    Font.Print(100, 100, "");
    EXPECT_EQ(Get(GL_CURRENT_COLOR)[1], 0.0f) << "still red";
    EXPECT_EQ(Get(GL_CURRENT_RASTER_POSITION), raster);
    EXPECT_EQ(Ink().Count, 0);

    Font.Print(10, 30, "FPS: 60");
    const TPicture plain(256, 256);
    glClear(GL_COLOR_BUFFER_BIT);
    Font.Print(10, 30, "F\xC3\xA9PS: \xFF" "60\x80");
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
    TBitmapFontExt unbuilt;
    unbuilt.Print(20, 40, "Passes: 2");
    EXPECT_EQ(Ink().Count, 0);
}

TEST_F(TBitmapFontExtGLTest, DestructionDeletesTheLists) {
    GLuint base = 0;
    {
        TBitmapFontExt font;
        font.Build("Arial", 16, false);
        base = font.ListBase;
        ASSERT_TRUE(glIsList(base + 'A'));
    }
    EXPECT_FALSE(glIsList(base + 'A'));
}
