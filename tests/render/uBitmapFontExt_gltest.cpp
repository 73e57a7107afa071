// Where the font's text lands and what an unloadable face shows are checked through the HUD.
#include "render/uBitmapFontExt.h"

#include "render/EngineTestSupport.h"

TEST_F(HeadlessGLTest, BitmapFontListsEndAt126AndCodesFrom128AreLeftOut) {
    glMatrixMode(GL_PROJECTION);
    glOrtho(0, 256, 256, 0, -1, 1);
    glClearColor(0, 0, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT);
    GLuint base = 0;
    {
        TBitmapFontExt font;
        font.Build("Arial", 16, false);
        base = font.ListBase;
        ASSERT_TRUE(glIsList(base + 126));
        float before[4] = {}, after[4] = {};
        glRasterPos2i(30, 30);
        glGetFloatv(GL_CURRENT_RASTER_POSITION, before);
        glListBase(base);
        glCallLists(1, GL_UNSIGNED_BYTE, "\x7F");
        glGetFloatv(GL_CURRENT_RASTER_POSITION, after);
        EXPECT_EQ(after[0], before[0]) << "127 draws nothing and does not advance";

        font.Print(10, 30, "FPS: 60");
        const TPicture plain(256, 256);
        glClear(GL_COLOR_BUFFER_BIT);
        font.Print(10, 30,
                   "F\xC3\xA9PS: \xFF"
                   "60\x80");
        EXPECT_TRUE(TPicture(256, 256) == plain);
        EXPECT_GT(
            std::count_if(plain.Pixels.begin(), plain.Pixels.end(), [](auto& c) { return c != kBlack; }), 60);
    }
    EXPECT_FALSE(glIsList(base + 'A')) << "destruction deletes the lists";
    EXPECT_TRUE(Messages.Entries.empty());
}
