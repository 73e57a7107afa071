// Where the views sit on screen, the viewer modes with their checks, panels and status texts, and what the
// stored settings decide when the window is shown.
#include "AppTestSupport.h"

#include "app/QtGLSurface.h"
#include "platform/BmpFile.h"
#include "render/uRenderEngine.h"

#include <QAction>
#include <QMenuBar>

namespace {

class LayoutTest : public MainWindowTest {
protected:
    std::string Picture(int width, int height) {
        const std::string path = Temp.File("picture.bmp");
        SaveBmpFile(BlockPicture(width, height), path);
        return path;
    }
    // Resizes the window so that the view area between menu bar and bottom panel is width x viewHeight.
    void ResizeView(int width, int viewHeight) {
        const int m = Form->ActionMainMenuBar1->height();
        Form->resize(width, viewHeight + m + kBottomPanelHeight + kStatusBarHeight);
        ASSERT_TRUE(RunLoopUntil([&] { return Form->GLContainer()->size() == QSize(width, viewHeight); }))
            << "view area " << Form->GLContainer()->width() << "x" << Form->GLContainer()->height();
        RunLoopFor(30);
    }
    QPoint Client() const { return Form->mapToGlobal(QPoint(0, 0)); }
    std::vector<bool> ViewChecks() const {
        return {Form->Action_ShowBoth->isChecked(), Form->Action_ShowDS->isChecked(),
                Form->Action_ShowGL->isChecked()};
    }
};

TEST_F(LayoutTest, TheDualExampleLetterBoxesBothViewsOnScreen) {
    CreateAndShow();
    OpenAndSettle(Picture(640, 480));
    ResizeView(1030, 600);
    const int m = Form->ActionMainMenuBar1->height();
    EXPECT_EQ(Form->GLContainer()->mapTo(Form.get(), QPoint(0, 0)), QPoint(0, m));

    EXPECT_EQ(OnScreen(Form->IMG_Viewer), QRect(Client() + QPoint(0, m + 107), QSize(514, 385)));
    const TRenderEngine* engine = Form->Engine();
    EXPECT_EQ(engine->ViewX, 516);
    EXPECT_EQ(engine->ViewY, 108); // from the bottom of the view's window
    EXPECT_EQ(engine->ViewWidth, 514);
    EXPECT_EQ(engine->ViewHeight, 385);
    const QRect gl = GLViewportOnScreen();
    EXPECT_EQ(gl, QRect(Client() + QPoint(516, m + 107), QSize(514, 385)));

    Form->Settings.RenderHUD = false;
    RunLoopFor(60);
    EXPECT_TRUE(ShowsBlocks(GrabScreen(gl), QRect(QPoint(0, 0), gl.size())));
    // Outside the picture the view is black: the strip above it and the gap between the views.
    const QImage strip = GrabScreen(QRect(Client() + QPoint(0, m), QSize(1030, 100)));
    EXPECT_EQ(strip.pixel(700, 50) & 0xFFFFFF, 0u);
    EXPECT_EQ(GrabScreen(QRect(Client() + QPoint(514, m + 200), QSize(2, 1))).pixel(0, 0) & 0xFFFFFF, 0u);
}

TEST_F(LayoutTest, SingleViewsFillTheWidthOrArePillarBoxed) {
    CreateAndShow();
    OpenAndSettle(Picture(640, 480));
    ResizeView(1030, 600);
    const int m = Form->ActionMainMenuBar1->height();

    Form->Action_ShowGL->trigger();
    RunLoopUntil([&] { return !Form->Timer1->isActive(); });
    RunLoopFor(30);
    EXPECT_EQ(GLViewportOnScreen(), QRect(Client() + QPoint(115, m), QSize(800, 600)));

    Form->Action_Aspect->trigger(); // aspect off: the whole area
    EXPECT_FALSE(Form->Settings.ForceAspectRatio);
    EXPECT_EQ(GLViewportOnScreen(), QRect(Client() + QPoint(0, m), QSize(1030, 600)));

    Form->Action_ShowDS->trigger(); // the video view alone: the image view over the whole area
    RunLoopUntil([&] { return !Form->Timer1->isActive(); });
    EXPECT_EQ(OnScreen(Form->IMG_Viewer), QRect(Client() + QPoint(0, m), QSize(1030, 600)));
}

TEST_F(LayoutTest, ViewerModesSetTheirChecksPanelsAndStatusTexts) {
    CreateAndShow();
    // Without a source the panels stay as they are and nothing is reopened.
    Form->SetViewerMode(1);
    EXPECT_EQ(ViewChecks(), (std::vector<bool>{false, true, false}));
    EXPECT_EQ(Form->StatusText(spViewerMode), QStringLiteral(" DirectShow Viewer"));

    OpenAndSettle(Picture(64, 48), 0);
    EXPECT_TRUE(Form->Panel_IMG->isVisible());
    const uint64_t before = Frames();
    RunLoopFor(100);
    EXPECT_EQ(Frames(), before) << "the OpenGL view is off in the video-only mode";

    Form->SetViewerMode(2);
    EXPECT_EQ(ViewChecks(), (std::vector<bool>{false, false, true}));
    EXPECT_FALSE(Form->Settings.Show_VideoRenderer);
    EXPECT_TRUE(Form->Settings.Show_GLRenderer);
    EXPECT_FALSE(Form->Panel_IMG->isVisible());
    EXPECT_FALSE(Form->Panel_DS->isVisible());
    EXPECT_EQ(Form->StatusText(spViewerMode), QStringLiteral(" OpenGL Renderer"));
    EXPECT_EQ(Form->StatusText(spPlayState), QStringLiteral("  Image")) << "the picture was opened again";
    const uint64_t glOnly = Frames();
    EXPECT_TRUE(RunLoopUntil([&] { return Frames() > glOnly + 2; }));

    Form->SetViewerMode(10); // panel refresh: the OpenGL view alone keeps both hidden
    EXPECT_FALSE(Form->Panel_IMG->isVisible());

    Form->SetViewerMode(0);
    EXPECT_EQ(ViewChecks(), (std::vector<bool>{true, false, false}));
    EXPECT_TRUE(Form->Settings.Show_VideoRenderer && Form->Settings.Show_GLRenderer);
    EXPECT_TRUE(Form->Panel_IMG->isVisible());
    EXPECT_FALSE(Form->Panel_DS->isVisible());
    EXPECT_EQ(Form->StatusText(spViewerMode), QStringLiteral(" Dual View"));

    Form->SetViewerMode(7); // no such mode: nothing changes
    EXPECT_EQ(ViewChecks(), (std::vector<bool>{true, false, false}));
    EXPECT_EQ(Form->StatusText(spViewerMode), QStringLiteral(" Dual View"));
}

TEST_F(LayoutTest, StoredFramebufferSizeIsCheckedAndBuiltAtShowTime) {
    TSettings settings = DefaultSettings(Temp.Path());
    settings.FBOSize = 256;
    StoreSettings(settings);
    CreateAndShow();
    EXPECT_TRUE(Form->Action_FBO1->isChecked());
    EXPECT_FALSE(Form->Action_FBO2->isChecked());
    EXPECT_FALSE(Form->Action_FBO3->isChecked());
    EXPECT_EQ(Form->Engine()->FBOSize, 256);
    EXPECT_FALSE(Form->Action_FBO1->isEnabled()) << "no source yet";

    Form->SetFBOSize(3);
    EXPECT_EQ(Form->Engine()->FBOSize, 1024);
    EXPECT_EQ(Form->Settings.FBOSize, 1024);
    EXPECT_TRUE(Form->Action_FBO3->isChecked());
    EXPECT_FALSE(Form->Action_FBO1->isChecked());
    Form->SetFBOSize(4); // no such choice
    EXPECT_EQ(Form->Engine()->FBOSize, 1024);
}

TEST_F(LayoutTest, BothViewsOffInTheSettingsApplyNoModeAndTheSingleLayout) {
    TSettings settings = DefaultSettings(Temp.Path());
    settings.Show_VideoRenderer = false;
    settings.Show_GLRenderer = false;
    StoreSettings(settings);
    CreateAndShow();
    EXPECT_EQ(ViewChecks(), (std::vector<bool>{false, false, false}));
    EXPECT_EQ(Form->StatusText(spViewerMode), QString());
    EXPECT_FALSE(Form->Settings.Show_VideoRenderer);
    EXPECT_FALSE(Form->Settings.Show_GLRenderer);
    // The single layout for the square start size: one view over the whole height, centred.
    EXPECT_EQ(Form->Panel_DS->height(), Form->GLContainer()->height());
    EXPECT_EQ(Form->Panel_DS->width(), Form->Panel_DS->height());
    EXPECT_EQ(Form->Panel_DS->x(), (Form->width() - Form->Panel_DS->width()) / 2);

    OpenAndSettle(Picture(64, 48), 0);
    // One view, pillar-boxed in the middle of the whole width.
    EXPECT_EQ(Form->Panel_IMG->height(), Form->GLContainer()->height());
    EXPECT_EQ(Form->Panel_IMG->x(), (Form->width() - Form->Panel_IMG->width()) / 2);
    RunLoopFor(60);
    EXPECT_EQ(Frames(), 0u) << "nothing draws with the OpenGL view off";
}

} // namespace
