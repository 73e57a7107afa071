// The off-screen export in the running program, on the view's GLX context: the picture equals what the
// headless renderer makes of the same picture, preset and size, through the GLX pixel buffer, through a
// framebuffer for sizes above the buffer's limit, and through a shared Qt context where there is no pixel
// buffer; afterwards the view's context is current for GLX and for Qt, and the view keeps rendering.
#include "AppTestSupport.h"

#include "app/QtGLSurface.h"
#include "gl/ContextHandles.h"
#include "platform/BmpFile.h"
#include "platform/Files.h"
#include "plugins/uChainState.h"
#include "presets/uPresets.h"
#include "render/glPBuffer.h"
#include "render/uRenderEngine.h"

#include <QOpenGLContext>

#include <cstdlib>
#include <set>
#include <string>
#include <utility>

namespace {

const std::string kPreset = "Comic Book";

// Largest difference of red, green or blue over all pixels; -1 when the sizes differ.
int MaxColourDifference(const TBitmap& a, const TBitmap& b) {
    if (a.Width() != b.Width() || a.Height() != b.Height()) return -1;
    int worst = 0;
    for (int y = 0; y < a.Height(); ++y)
        for (int x = 0; x < a.Width(); ++x)
            for (int c = 0; c < 3; ++c)
                worst = std::max(worst, std::abs(int(a.ScanLine(y)[a.BytesPerPixel() * x + c]) -
                                                 int(b.ScanLine(y)[b.BytesPerPixel() * x + c])));
    return worst;
}

int DistinctColours(const TBitmap& picture) {
    std::set<uint32_t> colours;
    for (int y = 0; y < picture.Height(); ++y)
        for (int x = 0; x < picture.Width(); ++x) {
            const uint8_t* p = picture.ScanLine(y) + picture.BytesPerPixel() * x;
            colours.insert(uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16);
        }
    return int(colours.size());
}

class GLExportTest : public MainWindowTest {
protected:
    void SetUp() override {
        MainWindowTest::SetUp();
        if (IsSkipped() || HasFatalFailure()) return;
        CreateAndShow();
        if (HasFatalFailure()) return;
        Form->Settings.RenderHUD = false;
        SaveBmpFile(BlockPicture(256, 192), Picture);
        OpenAndSettle(Picture);
        ASSERT_TRUE(ApplyPreset(*Form->Chain(), PresetFile()).empty());
        RunLoopFor(100);
    }

    TRenderEngine& Engine() const { return *Form->Engine(); }
    TQtGLSurface& View() const { return *Form->GLView(); }
    static std::string PresetFile() { return ProgramDataFolder() + "presets/" + kPreset + ".prs"; }

    const std::string Picture = Temp.File("blocks.bmp");

    // The headless renderer's picture of the same input, preset, framebuffer size and output size.
    TBitmap Reference(int width, int height) {
        const std::string renderer = std::string(LUMATEX_BIN_DIR) + "/lumatex-render";
        const std::string out = Temp.File("reference.bmp");
        const std::string command = "'" + renderer + "' --preset '" + kPreset + "' --fbo " +
                                    std::to_string(Engine().FBOSize) + " --size " + std::to_string(width) +
                                    "x" + std::to_string(height) + " '" + Picture + "' '" + out + "'";
        TBitmap picture;
        if (!FileExists(renderer)) {
            ADD_FAILURE() << "lumatex-render is not built";
            return picture;
        }
        if (std::system(command.c_str()) != 0) {
            ADD_FAILURE() << "failed: " << command;
            return picture;
        }
        LoadBmpFile(out, picture);
        return picture;
    }

    // The view's context is current both for GLX and for Qt.
    void ExpectViewCurrent() const {
        EXPECT_EQ(CurrentGLXContext(), View().NativeHandles().Context);
        EXPECT_EQ(CurrentGLXDrawable(), uintptr_t(View().winId()));
        ASSERT_NE(QOpenGLContext::currentContext(), nullptr);
        EXPECT_EQ(QOpenGLContext::currentContext()->surface(), &View());
    }

    // What the view shows on screen now.
    QImage ViewOnScreen() const { return GrabScreen(GLViewportOnScreen()); }

    // An export of width x height compared with the headless renderer's; the view shows the same before and
    // after and keeps rendering.
    void ExportMatchesTheHeadlessRenderer(int width, int height) {
        const QImage before = ViewOnScreen();
        ASSERT_TRUE(View().MakeCurrent());
        TBitmap picture;
        ASSERT_TRUE(Engine().SaveGLImage(width, height, picture))
            << (Engine().SaveBufferLog.empty() ? "" : Engine().SaveBufferLog.back());
        ExpectViewCurrent();
        EXPECT_TRUE(Messages.Entries.empty());
        const TBitmap reference = Reference(width, height);
        ASSERT_EQ(picture.Width(), width);
        ASSERT_EQ(picture.Height(), height);
        EXPECT_LE(MaxColourDifference(picture, reference), 1);
        EXPECT_GE(DistinctColours(picture), std::min(width * height, 4)) << "a flat picture proves nothing";

        const uint64_t frames = Frames();
        EXPECT_TRUE(RunLoopUntil([&] { return Frames() >= frames + 3; })) << "the view stopped rendering";
        EXPECT_EQ(ViewOnScreen(), before);
    }
};

} // namespace

TEST_F(GLExportTest, TheGLXPixelBufferGivesTheHeadlessRenderersPictureAndTheViewIsUnchanged) {
    ASSERT_EQ(View().NativeHandles().System, TWindowSystem::GLX);
    ExportMatchesTheHeadlessRenderer(320, 240);
    ASSERT_EQ(Engine().SaveBufferLog.size(), 6u);
    EXPECT_EQ(Engine().SaveBufferLog[0], "PixelBuffer->Creating->Width=320 Height=240");
    EXPECT_EQ(Engine().SaveBufferLog[3], "PixelBuffer->wglCreatePBufferARB->PixelBuffer successfully "
                                         "created.Received size : Width=320 Height=240");
}

TEST_F(GLExportTest, ASizeAboveThePixelBuffersLimitIsDrawnThroughAFramebuffer) {
    TPixelBuffer probe;
    ASSERT_TRUE(probe.Create(16, 16, View().NativeHandles()));
    const int limit = probe.MaxWidth;
    ASSERT_GT(limit, 0);
    ASSERT_TRUE(probe.Disable());
    ExportMatchesTheHeadlessRenderer(limit + 1, 16);
    ASSERT_EQ(Engine().SaveBufferLog.size(), 6u);
    EXPECT_EQ(Engine().SaveBufferLog[0],
              "PixelBuffer->Creating->Width=" + std::to_string(limit) + " Height=16");
}

TEST_F(GLExportTest, WithoutPixelBuffersASharedQtContextDrawsTheSamePicture) {
    View().ForceSharedOffscreenContext = true;
    // The offscreen surface is 1 x 1 at most: every size, 1 x 1 too, goes through a framebuffer.
    for (const auto& [width, height] : {std::pair{320, 240}, {1, 1}, {4097, 16}}) {
        SCOPED_TRACE(testing::Message() << width << " x " << height);
        ExportMatchesTheHeadlessRenderer(width, height);
        ASSERT_EQ(Engine().SaveBufferLog.size(), 6u);
        EXPECT_EQ(Engine().SaveBufferLog[0], "PixelBuffer->Creating->Width=" + std::to_string(width) +
                                                 " Height=" + std::to_string(height));
        EXPECT_EQ(Engine().SaveBufferLog[3], "PixelBuffer->wglCreatePBufferARB->PixelBuffer successfully "
                                             "created.Received size : Width=1 Height=1");
    }
}

TEST_F(GLExportTest, MakeCurrentReturnsToTheViewAfterABufferWasMadeCurrentBehindQtsBack) {
    {
        TPixelBuffer buffer;
        ASSERT_TRUE(buffer.Create(64, 64, View().NativeHandles()));
        EXPECT_EQ(CurrentGLXContext(), buffer.BufferRC);
        EXPECT_EQ(QOpenGLContext::currentContext()->surface(), &View()) << "Qt was not asked";
        ASSERT_TRUE(View().MakeCurrent());
        ExpectViewCurrent();
    } // freed while the view's context is current: nothing to go back to
    ExpectViewCurrent();
}
