// The main window as a window: its menus, start-up and close with the settings, placement, minimising,
// the input rules, and a frame that fails.
#include "AppTestSupport.h"

#include "AppGLHelpers.h"
#include "app/IdleRenderer.h"
#include "app/OpenURL.h"
#include "app/QtGLSurface.h"
#include "platform/BmpFile.h"
#include "platform/Files.h"
#include "render/uRenderEngine.h"

#include <QAction>
#include <QGuiApplication>
#include <QMenu>
#include <QMenuBar>
#include <QOpenGLContext>
#include <QScreen>
#include <QTest>
#include <QTimer>

#include <filesystem>

namespace {

class WindowTest : public MainWindowTest {
protected:
    std::string Picture() {
        const std::string path = Temp.File("picture.bmp");
        SaveBmpFile(BlockPicture(64, 48), path);
        return path;
    }
    QSize Screen() const { return QGuiApplication::primaryScreen()->geometry().size(); }
};

struct TActionRow {
    const char* Name;
    const char* Menu;
    const char* Caption;
    QKeySequence Shortcut;
    bool Checkable;
    bool AlwaysEnabled;
};

TEST_F(WindowTest, MenusCarryEveryActionWithCaptionShortcutCheckAndEnabledRule) {
    CreateAndShow();
    const TActionRow rows[] = {
        {"Action_File", "&File", "&Open File...", QKeySequence(Qt::CTRL | Qt::Key_L), false, true},
        {"Action_OpenURL", "&File", "Open &URL...", QKeySequence(Qt::CTRL | Qt::Key_U), false, true},
        {"Action_OpenCamera", "&File", "Open &Camera...", QKeySequence(), false, true},
        {"Action_saveVideoImg", "&File", "&Save SampleBuffer...", QKeySequence(Qt::CTRL | Qt::Key_B), false,
         false},
        {"Action_saveGLImg", "&File", "S&ave OpenGL image...", QKeySequence(Qt::CTRL | Qt::Key_S), false,
         false},
        {"Action_RenderVideo", "&File", "Render &Video...", QKeySequence(Qt::CTRL | Qt::Key_R), false, false},
        {"Action_Exit", "&File", "&Exit", QKeySequence(), false, true},
        {"Action_RenderGL", "&OpenGL", "&Render OpenGL", QKeySequence(), true, false},
        {"Action_HUD", "&OpenGL", "&Show HUD", QKeySequence(), true, false},
        {"Action_FBO1", "&OpenGL", "&FBO 256", QKeySequence(Qt::Key_F5), true, false},
        {"Action_FBO2", "&OpenGL", "F&BO 512", QKeySequence(Qt::Key_F6), true, false},
        {"Action_FBO3", "&OpenGL", "FB&O 1024", QKeySequence(Qt::Key_F7), true, false},
        // Shown only where the driver renders into float textures, as llvmpipe does.
        {"Action_FBOFloat", "&OpenGL", "High &Precision", QKeySequence(), true, true},
        {"Action_ShowSPC", "&View", "S&how Shader Plugin Chain", QKeySequence(Qt::Key_F10), true, true},
        {"Action_Loop", "&View", "&Loop", QKeySequence(Qt::Key_F8), true, true},
        {"Action_WatchPlugins", "&View", "&Watch Plugin Files", QKeySequence(), true, true},
        {"Action_Aspect", "&View", "&Force Aspect Ratio", QKeySequence(), true, false},
        {"Action_ShowBoth", "&View", "D&ual View", QKeySequence(Qt::Key_F1), true, false},
        {"Action_ShowDS", "&View", "&DirectShow", QKeySequence(Qt::Key_F2), true, false},
        {"Action_ShowGL", "&View", "&OpenGL", QKeySequence(Qt::Key_F3), true, false},
        {"Action_hp", "&Help", "&Quorvale-Homepage", QKeySequence(), false, true},
        {"Action_Help", "&Help", "&About", QKeySequence(), false, true},
        {"Action_SendOutput", "O&utput", "&Send Output To...", QKeySequence(), true, true},
        {"Action_StopSending", "O&utput", "S&top Sending", QKeySequence(), false, false}, // while sending
    };
    for (const TActionRow& row : rows) {
        SCOPED_TRACE(row.Name);
        auto* action = Form->findChild<QAction*>(QString::fromLatin1(row.Name));
        ASSERT_NE(action, nullptr);
        EXPECT_EQ(action->text(), QString::fromLatin1(row.Caption));
        EXPECT_EQ(action->shortcut(), row.Shortcut);
        EXPECT_EQ(action->isCheckable(), row.Checkable);
        EXPECT_EQ(action->isEnabled(), row.AlwaysEnabled) << "no source open";
        QMenu* menu = nullptr;
        for (QAction* top : Form->ActionMainMenuBar1->actions())
            if (top->menu() && top->menu()->actions().contains(action)) menu = top->menu();
        ASSERT_NE(menu, nullptr);
        EXPECT_EQ(menu->title(), QString::fromLatin1(row.Menu));
    }
    // The homepage action hands the maker's address to the browser launcher.
    std::vector<std::string> opened;
    const TURLLauncher previous = SetURLLauncher([&](const std::string& url) {
        opened.push_back(url);
        return true;
    });
    Form->Action_hp->trigger();
    SetURLLauncher(previous);
    EXPECT_EQ(opened, std::vector<std::string>{HomepageURL()});

    // A picture enables the source actions but not the playback buttons; a video enables both.
    Form->SetMediaKind(TMediaKind::Image);
    EXPECT_TRUE(Form->Action_FBO1->isEnabled());
    EXPECT_TRUE(Form->Action_saveGLImg->isEnabled());
    EXPECT_FALSE(Form->TB_Play->isEnabled());
    Form->SetMediaKind(TMediaKind::Video);
    EXPECT_TRUE(Form->TB_Play->isEnabled() && Form->TB_Pause->isEnabled() && Form->TB_Stop->isEnabled());
    Form->SetMediaKind(static_cast<TMediaKind>(9)); // no such kind: nothing else changes
    EXPECT_TRUE(Form->TB_Play->isEnabled());
    EXPECT_EQ(Form->StatusText(spMediaKind), QStringLiteral(" AVI Player"));
}

TEST_F(WindowTest, HighPrecisionAndWatchingPluginFilesFollowTheirSettingsAndReachTheEngine) {
    CreateAndShow();
    EXPECT_TRUE(Form->Settings.WatchPluginFiles && Form->Action_WatchPlugins->isChecked()) << "on by default";
    EXPECT_FALSE(Form->Settings.FBOFloat || Form->Action_FBOFloat->isChecked());
    ASSERT_TRUE(Form->Action_FBOFloat->isVisible());
    Form->Action_FBOFloat->trigger();
    EXPECT_TRUE(Form->Settings.FBOFloat && Form->Action_FBOFloat->isChecked());
    EXPECT_TRUE(Form->Engine()->FloatFramebuffers);
    Form->Action_FBOFloat->trigger();
    EXPECT_FALSE(Form->Engine()->FloatFramebuffers || Form->Settings.FBOFloat);
    Form->Action_WatchPlugins->trigger();
    EXPECT_FALSE(Form->Settings.WatchPluginFiles);
    EXPECT_EQ(Form->findChild<QTimer*>(QStringLiteral("PluginWatchTimer"))->isActive(), false);
    Form->Action_WatchPlugins->trigger();
    EXPECT_TRUE(Form->findChild<QTimer*>(QStringLiteral("PluginWatchTimer"))->isActive());
}

TEST_F(WindowTest, TheViewHasACompatibilityContextAndItsNativeHandles) {
    CreateAndShow();
    ASSERT_TRUE(Form->GLView()->MakeCurrent());
    const QSurfaceFormat format = QOpenGLContext::currentContext()->format();
    EXPECT_NE(format.profile(), QSurfaceFormat::CoreProfile);
    EXPECT_GE(format.depthBufferSize(), 24);
    EXPECT_EQ(format.swapBehavior(), QSurfaceFormat::DoubleBuffer);
    // What a pixel buffer sharing with the view needs, from the window system itself.
    const TNativeGLHandles handles = Form->GLView()->NativeHandles();
    EXPECT_EQ(handles.System, TWindowSystem::GLX);
    EXPECT_NE(handles.Display, nullptr);
    EXPECT_NE(handles.Context, nullptr);
    EXPECT_NE(handles.Config, nullptr);
    EXPECT_EQ(handles.Drawable, uintptr_t(Form->GLView()->winId()));
}

TEST_F(WindowTest, FirstRunUsesTheDefaultsAndWritesTheSettingsAtClose) {
    CreateAndShow();
    EXPECT_EQ(Form->pos(), QPoint(20, 20));
    EXPECT_EQ(Form->size(), QSize(1024, 600));
    EXPECT_EQ(Form->Settings.LastPath, ProgramFolder());
    EXPECT_EQ(Form->StatusText(spPlayState), QStringLiteral("  Ready"));
    EXPECT_EQ(Form->StatusBar1->height(), 19);
    EXPECT_EQ(Form->Panel_buttom->mapTo(Form.get(), QPoint()).y(), Form->height() - 19 - 54);
    EXPECT_FALSE(std::filesystem::exists(SettingsFile)) << "nothing is written before the close";
    Form->move(40, 60);
    Form->resize(900, 500);
    RunLoopFor(30);
    Form->close();
    const TSettings stored = StoredSettings();
    EXPECT_EQ(stored.main_left, 40);
    EXPECT_EQ(stored.main_top, 60);
    EXPECT_EQ(stored.main_width, 900);
    EXPECT_EQ(stored.main_height, 500);
    EXPECT_FALSE(stored.main_maximized);
}

TEST_F(WindowTest, StoredPlacementIsBroughtOntoTheScreen) {
    TSettings settings = DefaultSettings(Temp.Path());
    settings.main_left = 300;
    settings.main_top = -40;
    settings.main_width = Screen().width() + 720;
    settings.main_height = 500;
    StoreSettings(settings);
    CreateAndShow();
    EXPECT_EQ(Form->pos(), QPoint(10, 0));
    EXPECT_EQ(Form->width(), Screen().width() - 10);
    EXPECT_EQ(Form->height(), 500);
}

// Stored edges at the ends of the value range (a hand-edited or damaged settings file) still put the whole
// window on the screen: the sums are taken in 64 bits.
TEST_F(WindowTest, StoredEdgesAtTheLimitsOfTheRangeAreBroughtOntoTheScreen) {
    const struct {
        int32_t Left, Top;
    } cases[] = {{2147483637, 2147483637}, {-2147483647 - 1, -2147483647 - 1}, {2147483637, -2147483647 - 1}};
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.Left << ", " << c.Top);
        TSettings settings = DefaultSettings(Temp.Path());
        settings.main_left = c.Left;
        settings.main_top = c.Top;
        settings.main_width = 700;
        settings.main_height = 500;
        StoreSettings(settings);
        CreateAndShow();
        const QRect onScreen(QPoint(0, 0), Screen());
        EXPECT_TRUE(onScreen.contains(Form->geometry())) << "at " << Form->x() << ", " << Form->y();
        Form.reset();
    }
}

TEST_F(WindowTest, ClosingWhileMaximizedKeepsThePlacementFromBefore) {
    TSettings settings = DefaultSettings(Temp.Path());
    settings.main_left = 30;
    settings.main_top = 40;
    settings.main_width = 800;
    settings.main_height = 550;
    StoreSettings(settings);
    CreateAndShow();
    Form->showMaximized();
    RunLoopFor(30);
    EXPECT_TRUE(Form->Settings.main_maximized);
    Form->close();
    const TSettings stored = StoredSettings();
    EXPECT_TRUE(stored.main_maximized);
    EXPECT_EQ(stored.main_left, 30);
    EXPECT_EQ(stored.main_top, 40);
    EXPECT_EQ(stored.main_width, 800);
    EXPECT_EQ(stored.main_height, 550);

    // The next start shows it maximized again; restoring clears the flag.
    Form.reset();
    CreateAndShow();
    EXPECT_TRUE(Form->isMaximized());
    Form->showNormal();
    RunLoopFor(30);
    EXPECT_FALSE(Form->Settings.main_maximized);
}

TEST_F(WindowTest, MinimizingStopsTheFramesAndRestoringResumesThem) {
    CreateAndShow();
    OpenAndSettle(Picture());
    Form->showMinimized();
    RunLoopFor(30);
    EXPECT_TRUE(Form->RenderSuspended());
    const uint64_t minimized = Frames();
    const uint64_t wakeUps = Form->IdleRenderer()->WakeUpsPosted();
    RunLoopFor(150);
    EXPECT_EQ(Frames(), minimized);
    EXPECT_LE(Form->IdleRenderer()->WakeUpsPosted(), wakeUps + 1) << "the loop sleeps while minimized";

    Form->showNormal();
    EXPECT_FALSE(Form->RenderSuspended());
    EXPECT_TRUE(RunLoopUntil([&] { return Frames() > minimized + 3; }));
}

TEST_F(WindowTest, WithoutASourceTheLoopSleeps) {
    CreateAndShow();
    RunLoopFor(50);
    const uint64_t wakeUps = Form->IdleRenderer()->WakeUpsPosted();
    RunLoopFor(200);
    EXPECT_EQ(Form->IdleRenderer()->WakeUpsPosted(), wakeUps);
    EXPECT_EQ(Frames(), 0u);
}

TEST_F(WindowTest, AFailingFrameStopsAndShowsTheRenderMessageOnce) {
    CreateAndShow();
    OpenAndSettle(Picture());
    Form->GLView()->MakeCurrent();
    BreakSourceFramebuffer(*Form->Engine());
    // Also a fresh open, whose resume timer is still pending when its first frame fails.
    Form->OpenFile(Picture());
    RunLoopFor(300);
    EXPECT_EQ(CountMessages(kRenderFailedText), 1);
    EXPECT_EQ(Messages.Entries.back().Caption, "Lumatex");
    EXPECT_EQ(Messages.Entries.back().Icon, TMessageIcon::Error);
    EXPECT_EQ(Form->PlayState(), TPlayState::Stopped);
    EXPECT_EQ(Form->StatusText(spPlayState), QStringLiteral("  Stopped"));
    EXPECT_TRUE(Form->RenderSuspended());

    // Mended, the next open draws again without a message.
    Form->SetFBOSize(2);
    OpenAndSettle(Picture());
    EXPECT_EQ(CountMessages(kRenderFailedText), 1);
}

TEST_F(WindowTest, APlainRightClickTogglesTheChainWindow) {
    CreateAndShow();
    QWidget chain;
    Form->ChainWindow = &chain;
    Form->ShowShaderPluginChain(true);
    ASSERT_TRUE(chain.isVisible());

    QTest::mouseClick(Form->IMG_Viewer, Qt::RightButton);
    EXPECT_FALSE(Form->Settings.Show_ShaderPluginChain);
    EXPECT_FALSE(Form->Action_ShowSPC->isChecked());
    EXPECT_FALSE(chain.isVisible());
    QTest::mouseClick(Form->VideoWindow, Qt::RightButton, Qt::ControlModifier); // a modifier: no toggle
    EXPECT_FALSE(Form->Settings.Show_ShaderPluginChain);
    QTest::mouseClick(Form->VideoWindow, Qt::LeftButton); // another button: no toggle
    EXPECT_FALSE(Form->Settings.Show_ShaderPluginChain);
    QTest::mouseClick(Form->VideoWindow, Qt::RightButton);
    EXPECT_TRUE(Form->Settings.Show_ShaderPluginChain);
    EXPECT_TRUE(chain.isVisible());
    QTest::mouseClick(Form->GLView(), Qt::RightButton, Qt::NoModifier, QPoint(900, 100)); // the OpenGL view
    EXPECT_FALSE(Form->Settings.Show_ShaderPluginChain);
    QTest::mouseClick(Form->Panel_buttom, Qt::RightButton); // the bottom panel is not the window's area
    EXPECT_FALSE(Form->Settings.Show_ShaderPluginChain);
    Form->ChainWindow = nullptr;
}

TEST_F(WindowTest, DoubleClickTogglesMaximizedAndEscapeCloses) {
    CreateAndShow();
    QTest::mouseDClick(Form->VideoWindow, Qt::LeftButton);
    EXPECT_TRUE(Form->isMaximized());
    QTest::mouseDClick(Form->GLView(), Qt::LeftButton, Qt::NoModifier, QPoint(900, 100));
    EXPECT_FALSE(Form->isMaximized());
    QTest::mouseDClick(Form->IMG_Viewer, Qt::LeftButton); // the image view keeps its double clicks
    EXPECT_FALSE(Form->isMaximized());

    QTest::keyClick(Form.get(), Qt::Key_Escape);
    EXPECT_FALSE(Form->isVisible());
    EXPECT_TRUE(std::filesystem::exists(SettingsFile)) << "closed the ordinary way, settings saved";
}

TEST_F(WindowTest, ASettingsFileThatCannotBeWrittenIsReported) {
    WriteTextFile(Temp.File("blocked"), "a file where the settings folder should be");
    SettingsFile = Temp.File("blocked/settings.reg");
    CreateAndShow();
    Form->close();
    ASSERT_EQ(Messages.Entries.size(), 1u);
    EXPECT_EQ(Messages.Entries[0].Caption, "Lumatex");
    EXPECT_EQ(Messages.Entries[0].Icon, TMessageIcon::Error);
    EXPECT_NE(Messages.Entries[0].Text.find("blocked"), std::string::npos) << Messages.Entries[0].Text;
}

} // namespace
