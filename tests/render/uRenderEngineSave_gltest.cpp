#include "render/EngineTestSupport.h"

#include "imaging/PictureRows.h"
#include "platform/BmpFile.h"
#include "platform/ELumatex.h"
#include "platform/Files.h"
#include "render/uTimer.h"

#include <cstring>

#include <epoxy/egl.h>
#include <gmock/gmock.h>

using testing::ElementsAre;

namespace {

// A 200 x 160 view at (20, 30); every way out of a save must leave the main context current on it.
class RenderEngineSave : public TEngineGLTest {
protected:
    void SetUp() override {
        TEngineGLTest::SetUp();
        if (IsSkipped()) return;
        Engine->SetViewport(200, 160, 20, 30);
    }
    void ExpectBackInTheView() {
        EXPECT_EQ(eglGetCurrentContext(), static_cast<EGLContext>(Context.NativeHandles().Context));
        GLint viewport[4] = {}, binding = -1;
        glGetIntegerv(GL_VIEWPORT, viewport);
        glGetIntegerv(GL_FRAMEBUFFER_BINDING, &binding);
        EXPECT_THAT(viewport, ElementsAre(20, 30, 200, 160));
        EXPECT_EQ(binding, 0);
    }

    // Saves, checks that the view, the swaps and the timer were left alone, and reads the file back.
    TPicture SaveAndLoad(int width, int height) {
        Engine->RenderFrame(false);
        const TPicture before = Window();
        const int swaps = Surface->SwapCount;
        const int32_t ticks = Engine->Timer->FrameCounter;
        EXPECT_TRUE(Engine->SaveGLImage(width, height, File));
        ExpectBackInTheView();
        EXPECT_EQ(Surface->SwapCount, swaps);
        EXPECT_EQ(Engine->Timer->FrameCounter, ticks);
        EXPECT_TRUE(Window() == before) << "the view is not drawn into";
        EXPECT_TRUE(Messages.Entries.empty());
        TBitmap saved;
        LoadBmpFile(File, saved);
        EXPECT_EQ(saved.BitsPerPixel(), 32);
        const TPicture picture(saved);
        EXPECT_EQ(picture.Width, width);
        EXPECT_EQ(picture.Height, height);
        return picture;
    }

    TTempFolder Folder;
    const std::string File = Folder.File("export.bmp");
};

} // namespace

TEST_F(RenderEngineSave, NoActiveSlotSavesTheSourceStretchedUprightAtTheAskedSize) {
    SetQuadrantSource();
    const TPicture saved = SaveAndLoad(300, 100);
    EXPECT_THAT(saved.Quadrants(), ElementsAre(kRed, kGreen, kBlue, kWhite));
    EXPECT_EQ(saved.At(299, 99), kWhite) << "the picture fills the buffer to its edges";
    EXPECT_EQ(Engine->SaveBufferLog.size(), 6u);
}

TEST_F(RenderEngineSave, TheLastActivePluginIsAppliedWhileDrawingIntoTheBuffer) {
    SetUniformSource(kBlack);
    PutPlugin(5, "add.ini");
    Engine->RebuildActiveOrder();
    EXPECT_TRUE(Near(SaveAndLoad(64, 48).At(10, 10), TRGBA{64, 64, 64, 255})) << "one active slot";
    // Three stamps, each shifting the channels and marking blue: every one ran, in slot order.
    SetChain({"stamp.ini", "stamp.ini", "stamp.ini"});
    for (int k = 0; k < 3; ++k)
        Engine->Slots[size_t(k)]->Params1f.at(0).Value[0] = float(40 * (k + 1)) / 255;
    EXPECT_TRUE(Near(SaveAndLoad(320, 240).At(160, 120), TRGBA{40, 80, 120, 255}, 1));
    EXPECT_EQ(Engine->PassCount, 3);
    // A mirroring plugin last: left and right change places in the file, top stays top.
    SetQuadrantSource();
    SetChain({"pass.ini", "flipx.ini"});
    EXPECT_THAT(SaveAndLoad(128, 96).Quadrants(), ElementsAre(kGreen, kRed, kWhite, kBlue));
}

TEST_F(RenderEngineSave, ABufferThatCannotBeMadeIsReportedAndNothingIsWritten) {
    for (int width : {0, 1 << 20}) {
        Messages.Entries.clear();
        EXPECT_FALSE(Engine->SaveGLImage(width, 16, File));
        ExpectBackInTheView();
        ASSERT_EQ(Messages.Entries.size(), 1u);
        EXPECT_EQ(Messages.Entries[0].Text, "Datei konnte nicht erstellt werden.");
        EXPECT_EQ(Messages.Entries[0].Caption, "Lumatex");
        EXPECT_EQ(Messages.Entries[0].Icon, TMessageIcon::Warning);
        EXPECT_FALSE(FileExists(File));
    }
}

TEST_F(RenderEngineSave, FileAndFramebufferErrorsLeaveWithTheMainContextCurrent) {
    SetUniformSource(kGreen);
    EXPECT_THROW(Engine->SaveGLImage(64, 64, Folder.File("missing/folder/export.bmp")), ELumatex);
    ExpectBackInTheView();
    Engine->RenderFrame(false);
    EXPECT_EQ(Window().At(120, 150), kGreen) << "the view still renders";
    // A framebuffer error leaves before the buffer exists.
    Engine->SaveBufferLog.clear();
    SetChain({"pass.ini", "pass.ini", "pass.ini"});
    Engine->FBOB = std::make_unique<TFBO>();
    Engine->FBOB->Create(256, 256, GL_DEPTH_COMPONENT, GL_DEPTH_COMPONENT, GL_CLAMP_TO_EDGE,
                         GL_CLAMP_TO_EDGE);
    EXPECT_THROW(Engine->SaveGLImage(64, 64, File), ELumatex);
    ExpectBackInTheView();
    EXPECT_TRUE(Engine->SaveBufferLog.empty());
    EXPECT_FALSE(FileExists(File));
}

TEST_F(RenderEngineSave, RowsReadBackInBandsAreTheWholeCapturesOverAnyBuffer) {
    // Every pixel its own colour, and a plugin last, so that a row out of place or a pass missed shows.
    SetSource(64, 64, [](int x, int y) {
        return TRGBA{uint8_t(x * 4), uint8_t(y * 4), uint8_t(x ^ y), 255};
    });
    SetChain({"pass.ini", "flipx.ini"});
    // A size the pixel buffer takes, and one with an edge longer than it takes (a framebuffer of its own).
    for (const auto& [width, height] : {std::pair{301, 97}, std::pair{4100, 6}}) {
        TBitmap whole;
        ASSERT_TRUE(Engine->SaveGLImage(width, height, whole));
        TBitmap rows(width, height, 32);
        int calls = 0;
        EXPECT_TRUE(Engine->SaveGLImage(width, height, [&](TPictureRows& picture) {
            ++calls;
            EXPECT_EQ(picture.Width(), width);
            EXPECT_EQ(picture.Height(), height);
            for (int y = picture.Height() - 1; y >= 0; --y)
                std::memcpy(rows.ScanLine(y), picture.Row(y), size_t(width) * 4);
            return true;
        }));
        EXPECT_EQ(calls, 1);
        ExpectBackInTheView();
        EXPECT_TRUE(rows.SamePixels(whole)) << width << "x" << height;
    }
    EXPECT_TRUE(Messages.Entries.empty());
    // A writer answering false is a capture that failed; one that raises leaves through the same door.
    EXPECT_FALSE(Engine->SaveGLImage(16, 16, [](TPictureRows&) { return false; }));
    ASSERT_EQ(Messages.Entries.size(), 1u);
    EXPECT_EQ(Messages.Entries[0].Text, "Datei konnte nicht erstellt werden.");
    EXPECT_THROW(Engine->SaveGLImage(16, 16, [](TPictureRows&) -> bool { throw ELumatex("disk full"); }),
                 ELumatex);
    ExpectBackInTheView();
}
