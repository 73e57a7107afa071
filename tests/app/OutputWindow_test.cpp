// The full-screen output window: which screen it takes, where the picture goes on it, and on the display
// the processed picture covering the chosen screen while the main view goes on.
#include "AppTestSupport.h"

#include "app/OutputWindow.h"
#include "platform/BmpFile.h"

#include <QGuiApplication>
#include <QKeyEvent>
#include <QScreen>

#include <cstdlib>

namespace {

TEST(OutputWindowScreens, TheScreenAskedForOrTheLastOne) {
    struct TCase {
        int Requested;
        int Count;
        int Expected;
    };
    const TCase cases[] = {{0, 1, 0}, {0, 3, 2},  {1, 3, 0},  {2, 3, 1}, {3, 3, 2},
                           {4, 3, 2}, {-1, 2, 1}, {1, 0, -1}, {0, 0, -1}};
    for (const TCase& c : cases)
        EXPECT_EQ(TOutputWindow::ChooseScreen(c.Requested, c.Count), c.Expected)
            << "screen " << c.Requested << " of " << c.Count;
}

TEST(OutputWindowScreens, ThePictureKeepsItsAspectInBlackBarsOnlyWhenForced) {
    struct TCase {
        int ScreenW, ScreenH, SourceW, SourceH;
        bool Force;
        TPresentRect Expected;
    };
    const TCase cases[] = {
        {1920, 1080, 640, 480, true, {240, 0, 1440, 1080}}, // pillar-boxed
        {1280, 1024, 640, 480, true, {0, 32, 1280, 960}},   // letter-boxed
        {1920, 1080, 1280, 720, true, {0, 0, 1920, 1080}},  // same aspect: the whole screen
        {1920, 1080, 640, 480, false, {0, 0, 1920, 1080}},  // stretched
        {1920, 1080, 0, 480, true, {0, 0, 1920, 1080}},     // no size known yet
        {100, 100, 10000, 1, true, {0, 49, 100, 1}},        // never empty
        {1366, 768, 512, 512, true, {299, 0, 768, 768}},    // odd margins truncated
    };
    for (const TCase& c : cases) {
        const TPresentRect r =
            TOutputWindow::PictureRect(c.ScreenW, c.ScreenH, c.SourceW, c.SourceH, c.Force);
        EXPECT_EQ(r.X, c.Expected.X) << c.SourceW << "x" << c.SourceH << " on " << c.ScreenW << "x"
                                     << c.ScreenH;
        EXPECT_EQ(r.Y, c.Expected.Y) << c.SourceW << "x" << c.SourceH << " on " << c.ScreenW << "x"
                                     << c.ScreenH;
        EXPECT_EQ(r.Width, c.Expected.Width) << c.SourceW << "x" << c.SourceH;
        EXPECT_EQ(r.Height, c.Expected.Height) << c.SourceW << "x" << c.SourceH;
    }
}

class OutputWindowTest : public MainWindowTest {};

TEST_F(OutputWindowTest, CoversTheLastScreenWithTheProcessedPictureInBlackBars) {
    CreateAndShow();
    const std::string path = Temp.File("blocks.bmp");
    SaveBmpFile(BlockPicture(320, 240), path);
    OpenAndSettle(path);
    Form->Settings.ForceAspectRatio = true;

    Form->Action_OutputWindow->trigger();
    ASSERT_TRUE(Form->Action_OutputWindow->isChecked());
    TOutputWindow* output = Form->OutputWindow();
    ASSERT_NE(output, nullptr);
    QScreen* last = QGuiApplication::screens().back();
    ASSERT_TRUE(RunLoopUntil([&] { return output->isExposed() && output->FramesShown() >= 5; }));
    RunLoopFor(200);
    EXPECT_EQ(output->screen(), last);
    EXPECT_EQ(output->geometry(), last->geometry());

    const QRect screen = last->geometry();
    const TPresentRect rect = TOutputWindow::PictureRect(screen.width(), screen.height(), 320, 240, true);
    const QImage shown = last->grabWindow(0, 0, 0, screen.width(), screen.height()).toImage();
    ASSERT_FALSE(shown.isNull());
    const QRect picture(rect.X, screen.height() - rect.Y - rect.Height, rect.Width, rect.Height);
    EXPECT_TRUE(ShowsBlocks(shown, picture));
    if (rect.Y > 2) {
        EXPECT_EQ(qGray(shown.pixel(screen.width() / 2, 1)), 0) << "the bar above";
        EXPECT_EQ(qGray(shown.pixel(screen.width() / 2, screen.height() - 2)), 0) << "the bar below";
    }
    if (rect.X > 2) {
        EXPECT_EQ(qGray(shown.pixel(1, screen.height() / 2)), 0) << "the bar on the left";
    }

    // The main view goes on drawing meanwhile.
    const uint64_t frames = Frames();
    ASSERT_TRUE(RunLoopUntil([&] { return Frames() >= frames + 3; }));

    // Escape on the window closes it and unticks the menu item; F11 opens it again.
    QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
    QCoreApplication::sendEvent(output, &escape);
    ASSERT_TRUE(RunLoopUntil([&] { return Form->OutputWindow() == nullptr; }));
    EXPECT_FALSE(Form->Action_OutputWindow->isChecked());
    EXPECT_EQ(Form->Action_OutputWindow->shortcut(), QKeySequence(Qt::Key_F11));
    Form->Action_OutputWindow->trigger();
    ASSERT_NE(Form->OutputWindow(), nullptr);
    ASSERT_TRUE(RunLoopUntil([&] { return Form->OutputWindow()->FramesShown() >= 2; }));
    EXPECT_TRUE(Form->SetOutputWindow(false));
    EXPECT_EQ(Form->OutputWindow(), nullptr);
    EXPECT_TRUE(RunLoopUntil([&] { return Frames() >= frames + 6; })) << "the view draws on without it";

    // Left open, it goes with the main window, before the engine.
    ASSERT_TRUE(Form->SetOutputWindow(true, 1));
    EXPECT_EQ(Form->OutputWindow()->screen(), QGuiApplication::screens().front());
    ASSERT_TRUE(RunLoopUntil([&] { return Form->OutputWindow()->FramesShown() >= 2; }));
    Form.reset();
    EXPECT_EQ(Messages.Entries.size(), 0u);
}

// Run by scripts/with-two-monitors.sh, which names the second monitor it made: the output window takes it,
// leaves the main window's screen alone, closes when that monitor is taken away, and takes it again when it
// is back. On a display of one screen there is nothing to unplug.
TEST_F(OutputWindowTest, OnASecondMonitorItClosesWhenThatMonitorGoesAndTakesItAgainWhenItIsBack) {
    const char* monitor = std::getenv("LUMATEX_SECOND_MONITOR");
    const char* geometry = std::getenv("LUMATEX_SECOND_MONITOR_GEOMETRY");
    if (!monitor || !geometry) GTEST_SKIP() << "needs the two monitors of scripts/with-two-monitors.sh";
    ASSERT_EQ(QGuiApplication::screens().size(), 2);
    CreateAndShow();
    const std::string path = Temp.File("blocks.bmp");
    SaveBmpFile(BlockPicture(320, 240), path);
    OpenAndSettle(path);
    QScreen* first = QGuiApplication::screens().front();
    QScreen* second = QGuiApplication::screens().back();
    ASSERT_EQ(second->geometry(), QRect(1024, 0, 800, 600));

    ASSERT_TRUE(Form->SetOutputWindow(true));
    TOutputWindow* output = Form->OutputWindow();
    ASSERT_TRUE(RunLoopUntil([&] { return output->isExposed() && output->FramesShown() >= 5; }));
    EXPECT_EQ(output->screen(), second);
    EXPECT_EQ(output->geometry(), second->geometry());
    EXPECT_TRUE(first->geometry().contains(Form->geometry().center())) << "the main window stays uncovered";

    const auto xrandr = [](const std::string& args) { return std::system(("xrandr " + args).c_str()); };
    ASSERT_EQ(xrandr(std::string("--delmonitor ") + monitor), 0);
    ASSERT_TRUE(RunLoopUntil([&] { return Form->OutputWindow() == nullptr; }, 5000))
        << "closed with its screen";
    EXPECT_FALSE(Form->Action_OutputWindow->isChecked());
    ASSERT_EQ(Messages.Entries.size(), 1u) << "told once";
    EXPECT_NE(Messages.Entries[0].Text.find("its screen is gone"), std::string::npos);
    const uint64_t frames = Frames();
    EXPECT_TRUE(RunLoopUntil([&] { return Frames() >= frames + 3; })) << "the program goes on";

    ASSERT_EQ(xrandr(std::string("--setmonitor ") + monitor + " " + geometry + " none"), 0);
    ASSERT_TRUE(RunLoopUntil([] { return QGuiApplication::screens().size() == 2; }, 5000));
    Form->Action_OutputWindow->trigger();
    output = Form->OutputWindow();
    ASSERT_NE(output, nullptr);
    ASSERT_TRUE(RunLoopUntil([&] { return output->isExposed() && output->FramesShown() >= 2; }));
    EXPECT_EQ(output->screen(), QGuiApplication::screens().back());
    EXPECT_EQ(output->geometry(), QRect(1024, 0, 800, 600));
    EXPECT_TRUE(Form->SetOutputWindow(false));
    EXPECT_EQ(Messages.Entries.size(), 1u);
}

} // namespace
