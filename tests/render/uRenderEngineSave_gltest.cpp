#include "render/EngineTestSupport.h"

#include "platform/BmpFile.h"
#include "platform/ELumatex.h"
#include "platform/Files.h"
#include "render/uTimer.h"

#include <epoxy/egl.h>
#include <gmock/gmock.h>

namespace {

constexpr TRGBA kRed{255, 0, 0, 255};
constexpr TRGBA kGreen{0, 255, 0, 255};
constexpr TRGBA kBlue{0, 0, 255, 255};
constexpr TRGBA kWhite{255, 255, 255, 255};

class RenderEngineSave : public TEngineGLTest {
protected:
    void SetUp() override {
        TEngineGLTest::SetUp();
        if (IsSkipped()) return;
        Engine->SetViewport(200, 160, 20, 30);
    }

    bool MainContextCurrent() const {
        return eglGetCurrentContext() == static_cast<EGLContext>(Context.NativeHandles().Context);
    }

    // Saves, then checks that the view, the swaps, the timer and the GL state were left alone.
    TBitmap SaveAndLoad(int width, int height) {
        Engine->RenderFrame(false);
        const TPicture before = Window();
        const int swaps = Surface->SwapCount;
        const int32_t ticks = Engine->Timer->FrameCounter;
        const std::string file = Folder.File("export.bmp");
        Engine->SaveGLImage(width, height, file);
        EXPECT_TRUE(MainContextCurrent());
        EXPECT_EQ(Surface->SwapCount, swaps);
        EXPECT_EQ(Engine->Timer->FrameCounter, ticks);
        EXPECT_TRUE(Window() == before) << "the view is not drawn into";
        GLint viewport[4] = {};
        glGetIntegerv(GL_VIEWPORT, viewport);
        EXPECT_THAT(viewport, testing::ElementsAre(20, 30, 200, 160));
        EXPECT_TRUE(Messages.Entries.empty());
        TBitmap saved;
        LoadBmpFile(file, saved);
        EXPECT_EQ(saved.Width(), width);
        EXPECT_EQ(saved.Height(), height);
        EXPECT_EQ(saved.BitsPerPixel(), 32);
        return saved;
    }
    static TRGBA At(const TBitmap& b, int x, int y) {
        const uint8_t* p = b.ScanLine(y) + 4 * x;
        return TRGBA{p[2], p[1], p[0], 255};
    }
    static std::array<TRGBA, 4> Quadrants(const TBitmap& b) {
        const int w = b.Width(), h = b.Height();
        return {At(b, w / 4, h / 4), At(b, 3 * w / 4, h / 4), At(b, w / 4, 3 * h / 4), At(b, 3 * w / 4, 3 * h / 4)};
    }

    TTempFolder Folder;
};

} // namespace

TEST_F(RenderEngineSave, NoActiveSlotSavesTheSourceStretchedUprightAtTheAskedSize) {
    SetQuadrantSource();
    const TBitmap saved = SaveAndLoad(300, 100);
    EXPECT_THAT(Quadrants(saved), testing::ElementsAre(kRed, kGreen, kBlue, kWhite));
    // The picture fills the buffer to its edges.
    EXPECT_EQ(At(saved, 0, 0), kRed);
    EXPECT_EQ(At(saved, 299, 99), kWhite);
    EXPECT_EQ(Engine->PassCount, 2);
    ASSERT_EQ(Engine->SaveBufferLog.size(), 6u);
    EXPECT_EQ(Engine->SaveBufferLog[0], "PixelBuffer->Creating->Width=300 Height=100");
}

TEST_F(RenderEngineSave, OneActiveSlotSavesThatPluginsOutput) {
    SetUniformSource(TRGBA{0, 0, 0, 255});
    PutPlugin(5, "add.ini");
    Engine->RebuildActiveOrder();
    const TBitmap saved = SaveAndLoad(64, 48);
    EXPECT_TRUE(Near(At(saved, 10, 10), TRGBA{64, 64, 64, 255})) << At(saved, 10, 10);
}

TEST_F(RenderEngineSave, TheLastActivePluginIsAppliedWhileDrawingIntoTheBuffer) {
    auto mark = [](int k) { return uint8_t(40 * (k + 1)); };
    SetUniformSource(TRGBA{10, 20, 30, 255});
    for (int n : {2, 3, 4}) {
        for (int k = 0; k < 8; ++k) Engine->Slots[size_t(k)].reset();
        for (int k = 0; k < n; ++k) PutPlugin(k, "stamp.ini").Params1f.at(0).Value[0] = float(mark(k)) / 255.0f;
        Engine->RebuildActiveOrder();
        const TBitmap saved = SaveAndLoad(320, 240);
        const TRGBA expected{mark(n - 3 >= 0 ? n - 3 : 0), mark(n - 2), mark(n - 1), 255};
        const TRGBA got = At(saved, 160, 120);
        EXPECT_TRUE(Near(got, n == 2 ? TRGBA{30, mark(0), mark(1), 255} : expected, 1)) << n << ": " << got;
        EXPECT_EQ(Engine->PassCount, std::max(n, 2));
    }
    // A mirroring plugin last: left and right change places in the file, top stays top.
    SetQuadrantSource();
    for (int k = 0; k < 8; ++k) Engine->Slots[size_t(k)].reset();
    PutPlugin(0, "pass.ini");
    PutPlugin(1, "flipx.ini");
    Engine->RebuildActiveOrder();
    EXPECT_THAT(Quadrants(SaveAndLoad(128, 96)), testing::ElementsAre(kGreen, kRed, kWhite, kBlue));
}

TEST_F(RenderEngineSave, ABufferThatCannotBeMadeIsReportedAndNothingIsWritten) {
    const std::string file = Folder.File("export.bmp");
    for (auto [width, height] : {std::pair{0, 0}, std::pair{1 << 20, 16}}) {
        Messages.Entries.clear();
        Engine->SaveGLImage(width, height, file);
        EXPECT_TRUE(MainContextCurrent());
        ASSERT_EQ(Messages.Entries.size(), 1u);
        EXPECT_EQ(Messages.Entries[0].Text, "Datei konnte nicht erstellt werden.");
        EXPECT_EQ(Messages.Entries[0].Caption, "Lumatex");
        EXPECT_EQ(Messages.Entries[0].Icon, TMessageIcon::Warning);
        EXPECT_FALSE(FileExists(file));
        ASSERT_FALSE(Engine->SaveBufferLog.empty());
        EXPECT_EQ(Engine->SaveBufferLog.back(), "PixelBuffer->wglCreatePBufferARB->Couldn't obtain valid handle");
    }
    // The view still renders as before.
    SetUniformSource(kGreen);
    Engine->RenderFrame(false);
    EXPECT_EQ(Window().At(120, 150), kGreen);
}

TEST_F(RenderEngineSave, AFileErrorLeavesWithTheMainContextCurrent) {
    SetUniformSource(kGreen);
    EXPECT_THROW(Engine->SaveGLImage(64, 64, Folder.File("missing/folder/export.bmp")), ELumatex);
    EXPECT_TRUE(MainContextCurrent());
    GLint viewport[4] = {};
    glGetIntegerv(GL_VIEWPORT, viewport);
    EXPECT_THAT(viewport, testing::ElementsAre(20, 30, 200, 160));
    Engine->RenderFrame(false);
    EXPECT_EQ(Window().At(120, 150), kGreen);
}

TEST_F(RenderEngineSave, AFramebufferErrorLeavesBeforeTheBufferExists) {
    for (int k = 0; k < 3; ++k) PutPlugin(k, "pass.ini");
    Engine->RebuildActiveOrder();
    Engine->FBOB = std::make_unique<TFBO>();
    Engine->FBOB->Create(256, 256, GL_DEPTH_COMPONENT, GL_DEPTH_COMPONENT, GL_CLAMP_TO_EDGE, GL_CLAMP_TO_EDGE);
    const std::string file = Folder.File("export.bmp");
    EXPECT_THROW(Engine->SaveGLImage(64, 64, file), ELumatex);
    EXPECT_TRUE(MainContextCurrent());
    EXPECT_TRUE(Engine->SaveBufferLog.empty());
    EXPECT_FALSE(FileExists(file));
    GLint binding = -1;
    glGetIntegerv(GL_FRAMEBUFFER_BINDING, &binding);
    EXPECT_EQ(binding, 0);
    GLint viewport[4] = {};
    glGetIntegerv(GL_VIEWPORT, viewport);
    EXPECT_THAT(viewport, testing::ElementsAre(20, 30, 200, 160));
}
