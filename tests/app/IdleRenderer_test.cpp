// Rendering from the loop's idle time: frames only while wanted, nothing drawn inside a frame's own nested
// loop, and an idle loop that really sleeps.
#include "app/IdleRenderer.h"

#include "AppTestSupport.h"
#include "app/QtGLSurface.h"
#include "platform/BmpFile.h"

#include <algorithm>

namespace {

class IdleRendererTest : public MainWindowTest {
protected:
    void OpenPicture() {
        const std::string path = Temp.File("picture.bmp");
        SaveBmpFile(BlockPicture(64, 48), path);
        OpenAndSettle(path);
    }
};

TEST_F(IdleRendererTest, AFrameThatRunsANestedLoopIsNotEnteredAgain) {
    CreateAndShow();
    OpenPicture();
    int depth = 0;
    int deepest = 0;
    int nestedLoops = 0;
    TIdleRenderer::THandlers handlers;
    handlers.WantsFrame = [] { return true; };
    handlers.ShowHUD = [] { return false; };
    handlers.BeforeFrame = [&] {
        ++depth;
        deepest = std::max(deepest, depth);
        // As a modal box or a menu would: the nested loop also announces its waits.
        if (nestedLoops++ < 2) RunLoopFor(40);
        --depth;
    };
    TIdleRenderer* idle = Form->IdleRenderer();
    idle->Start(Form->Engine(), handlers);
    const uint64_t start = idle->FramesRendered();
    ASSERT_TRUE(RunLoopUntil([&] { return idle->FramesRendered() > start + 5; }));
    EXPECT_EQ(deepest, 1);
    EXPECT_EQ(nestedLoops, int(idle->FramesRendered() - start));
}

TEST_F(IdleRendererTest, RenderNowDrawsTheWantedFrameAtOnceAndNeverInsideAFrame) {
    CreateAndShow();
    OpenPicture();
    bool wanted = false;
    int uploads = 0, nestedFrames = 0;
    TIdleRenderer* idle = Form->IdleRenderer();
    TIdleRenderer::THandlers handlers;
    handlers.WantsFrame = [&] { return wanted; };
    handlers.ShowHUD = [] { return false; };
    handlers.BeforeFrame = [&] {
        ++uploads;
        const uint64_t before = idle->FramesRendered();
        idle->RenderNow(); // as the end of a video would, raised from inside a frame
        nestedFrames += int(idle->FramesRendered() - before);
    };
    idle->Start(Form->Engine(), handlers);
    const uint64_t start = idle->FramesRendered();
    idle->RenderNow();
    EXPECT_EQ(idle->FramesRendered(), start) << "no frame wanted";
    wanted = true;
    idle->RenderNow();
    EXPECT_EQ(idle->FramesRendered(), start + 1);
    EXPECT_EQ(uploads, 1) << "the waiting frame is handed over first";
    EXPECT_EQ(nestedFrames, 0);
}

TEST_F(IdleRendererTest, RepaintDrawsTheSourceAgainOrClearsTheView) {
    CreateAndShow();
    OpenPicture();
    Form->Settings.RenderHUD = false;
    Form->SetRenderSuspended(true); // as while a dialog is open
    RunLoopFor(30);
    const QRect gl = GLViewportOnScreen();
    Form->IdleRenderer()->Repaint(); // the view was uncovered
    EXPECT_TRUE(ShowsBlocks(GrabScreen(gl), QRect(QPoint(0, 0), gl.size())));

    Form->Settings.Show_GLRenderer = false; // no picture in the OpenGL view: black
    Form->IdleRenderer()->Repaint();
    const QImage cleared = GrabScreen(gl);
    EXPECT_EQ(cleared.pixel(gl.width() / 2, gl.height() / 2) & 0xFFFFFF, 0u);
}

} // namespace
