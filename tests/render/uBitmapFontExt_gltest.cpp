// Where the font's text lands and what an unloadable face shows are checked through the HUD.
#include "render/uBitmapFontExt.h"

#include "render/EngineTestSupport.h"

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
        glClearColor(0, 0, 0, 1);
        glClear(GL_COLOR_BUFFER_BIT);
        Font.Build("Arial", 16, false);
    }
    static int Ink() {
        const TPicture p(256, 256);
        return int(
            std::count_if(p.Pixels.begin(), p.Pixels.end(), [](const TRGBA& c) { return c != kBlack; }));
    }
    static std::array<float, 4> Get(GLenum name) {
        std::array<float, 4> v{};
        glGetFloatv(name, v.data());
        return v;
    }

    TBitmapFontExt Font;
};

} // namespace

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

TEST_F(TBitmapFontExtGLTest, EmptyTextTouchesNothingAndCodesFrom128UpAreLeftOut) {
    glColor4f(1, 0, 0, 1);
    glRasterPos2i(5, 5);
    const auto raster = Get(GL_CURRENT_RASTER_POSITION);
    Font.Print(100, 100, "");
    EXPECT_EQ(Get(GL_CURRENT_COLOR)[1], 0.0f) << "still red";
    EXPECT_EQ(Get(GL_CURRENT_RASTER_POSITION), raster);
    EXPECT_EQ(Ink(), 0);

    Font.Print(10, 30, "FPS: 60");
    const TPicture plain(256, 256);
    glClear(GL_COLOR_BUFFER_BIT);
    Font.Print(10, 30, "F\xC3\xA9PS: \xFF" "60\x80");
    EXPECT_TRUE(TPicture(256, 256) == plain);
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
    EXPECT_EQ(Ink(), 0);
}
