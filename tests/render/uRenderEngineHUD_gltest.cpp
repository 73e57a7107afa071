#include "render/EngineTestSupport.h"

#include "render/uBitmapFontExt.h"
#include "render/uTimer.h"

#include <cmath>

namespace {

// A 400 x 200 surface with a 300 x 150 view whose lower-left corner is at (50, 0): the view's top left
// corner is at (50, 50) of the surface counted from the top.
class RenderEngineHUD : public TEngineGLTest {
protected:
    void SetUp() override {
        TEngineGLTest::SetUp();
        if (IsSkipped()) return;
        ASSERT_TRUE(Context.Resize(400, 200));
        Engine->SetViewport(300, 150, 50, 0);
    }
    static const TRGBA& InView(const TPicture& p, int x, int y) { return p.At(50 + x, 50 + y); }

    // Where the view's top 32 rows are pure white.
    static std::vector<bool> WhiteMask(const TPicture& p) {
        std::vector<bool> mask;
        for (int y = 0; y < 32; ++y)
            for (int x = 0; x < 300; ++x)
                mask.push_back(InView(p, x, y) == kWhite);
        return mask;
    }
    // The two texts as the font alone draws them, on black, in the view's projection.
    std::vector<bool> ExpectedTextMask(const std::string& passes, const std::string& fps) {
        glClearColor(0, 0, 0, 1);
        glClear(GL_COLOR_BUFFER_BIT);
        glViewport(Engine->ViewX, Engine->ViewY, Engine->ViewWidth, Engine->ViewHeight);
        glMatrixMode(GL_PROJECTION);
        glLoadIdentity();
        glOrtho(0, Engine->ViewWidth, Engine->ViewHeight, 0, -1, 1);
        glMatrixMode(GL_MODELVIEW);
        glLoadIdentity();
        Engine->Font->Print(20, 22, passes);
        Engine->Font->Print(200, 22, fps);
        return WhiteMask(Window());
    }
};

// The HUD bar's colour blended half over a picture colour.
TRGBA BarOver(TRGBA picture) {
    auto blend = [](float bar, uint8_t under) {
        return uint8_t(std::lround(0.5f * bar * 255.0f + 0.5f * under));
    };
    return TRGBA{blend(0.2f, picture.R), blend(0.2f, picture.G), blend(0.6f, picture.B), 255};
}

} // namespace

TEST_F(RenderEngineHUD, TheBarIsBlendedOverThePictureAcrossTheWholeViewOnlyWhenAsked) {
    const TRGBA picture{200, 100, 50, 255};
    SetUniformSource(picture);
    Engine->RenderFrame(false);
    TPicture window = Window();
    EXPECT_EQ(InView(window, 150, 15), picture);

    Engine->RenderFrame(true);
    window = Window();
    const TRGBA bar = BarOver(picture);
    for (int x : {2, 150, 297}) {
        for (int y = 3; y <= 28; ++y)
            EXPECT_TRUE(Near(InView(window, x, y), bar)) << x << ", " << y;
        EXPECT_EQ(InView(window, x, 0), picture) << "the bar starts one row below the top edge";
        EXPECT_EQ(InView(window, x, 32), picture) << "and ends at row 30";
    }
    // The bar stops at the view's edges (the frame line may light either pixel column at the left edge).
    EXPECT_EQ(window.At(50 - 3, 50 + 15), kBlack);
    EXPECT_EQ(window.At(50 + 300, 50 + 15), kBlack);
    // The frame is drawn more opaque in a lighter colour, one pixel inside the right edge.
    const TRGBA edge = InView(window, 299, 15), inner = InView(window, 298, 15);
    EXPECT_TRUE(edge.B > bar.B + 40 || inner.B > bar.B + 40) << edge << " " << inner;
}

TEST_F(RenderEngineHUD, TextIsWhiteAndSaysPassesAndFPS) {
    SetUniformSource(kBlack);
    Engine->RenderFrame(true);
    const TPicture window = Window();
    // The passes text is drawn from (20, 22): capitals and digits of a 16-pixel face sitting on row 21.
    int left = 300, top = 32, bottom = -1;
    for (int y = 0; y < 32; ++y)
        for (int x = 0; x < 190; ++x)
            if (InView(window, x, y) == kWhite)
                left = std::min(left, x), top = std::min(top, y), bottom = std::max(bottom, y);
    EXPECT_EQ(bottom, 21);
    EXPECT_TRUE(top >= 22 - 16 && top <= 22 - 9) << top;
    EXPECT_TRUE(left >= 20 && left <= 22) << left;
    const std::vector<bool> shown = WhiteMask(window);
    EXPECT_TRUE(shown == ExpectedTextMask("Passes: 2", "FPS: 0"));
    EXPECT_FALSE(shown == ExpectedTextMask("Passes: 3", "FPS: 0")) << "the masks tell texts apart";

    // FPS shows the timer's published value, Passes the passes run.
    SetChain(std::vector<std::string>(8, "pass.ini"));
    int64_t now = 1'000'000;
    Engine->Timer = std::make_unique<TGameTimer>([&now] { return now; }, 1'000'000); // microseconds
    for (int frame = 0; frame < 100; ++frame) {
        now += 20'000;
        Engine->RenderFrame(frame == 99);
    }
    EXPECT_EQ(Engine->Timer->FPS, 50);
    EXPECT_TRUE(WhiteMask(Window()) == ExpectedTextMask("Passes: 8", "FPS: 50"));
}

TEST_F(RenderEngineHUD, AFontThatFailedToBuildLeavesBarAndFrame) {
    Engine->Font = std::make_unique<TBitmapFontExt>();
    Engine->Font->BuildFromFile("/nonexistent/font.ttf", 16);
    ASSERT_EQ(Messages.Entries.size(), 1u);
    EXPECT_EQ(Messages.Entries[0].Text + "|" + Messages.Entries[0].Caption, "unable to build font|Error");
    EXPECT_EQ(Messages.Entries[0].Icon, TMessageIcon::Error);
    SetUniformSource(kBlack);
    Engine->RenderFrame(true);
    const TPicture window = Window();
    EXPECT_TRUE(Near(InView(window, 150, 15), BarOver(kBlack)));
    const std::vector<bool> mask = WhiteMask(window);
    EXPECT_EQ(std::count(mask.begin(), mask.end(), true), 0);
}
