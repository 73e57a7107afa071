#include "AppTestSupport.h"

#include "app/IdleRenderer.h"
#include "app/QtGLSurface.h"
#include "platform/Files.h"
#include "render/uRenderEngine.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QGuiApplication>
#include <QScreen>
#include <QTimer>

#include <algorithm>
#include <cstdlib>

void RunLoopFor(int ms) {
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

bool RunLoopUntil(const std::function<bool()>& done, int timeoutMs) {
    QElapsedTimer clock;
    clock.start();
    while (!done()) {
        if (clock.elapsed() > timeoutMs) return done();
        RunLoopFor(10);
    }
    return true;
}

QImage GrabScreen(const QRect& rect) {
    QScreen* screen = QGuiApplication::primaryScreen();
    return screen->grabWindow(0, rect.x(), rect.y(), rect.width(), rect.height()).toImage();
}

QRgb BlockColour(int column, int row) {
    static const QRgb colours[3][4] = {
        {qRgb(220, 30, 30), qRgb(30, 200, 40), qRgb(20, 40, 210), qRgb(250, 250, 250)},
        {qRgb(240, 220, 20), qRgb(20, 210, 220), qRgb(200, 30, 200), qRgb(8, 8, 8)},
        {qRgb(250, 140, 20), qRgb(120, 60, 10), qRgb(128, 128, 128), qRgb(90, 160, 250)}};
    return colours[row][column];
}

TBitmap BlockPicture(int width, int height) {
    TBitmap picture(width, height, 24);
    for (int y = 0; y < height; ++y) {
        uint8_t* row = picture.ScanLine(y);
        for (int x = 0; x < width; ++x) {
            const QRgb c = BlockColour(x * 4 / width, y * 3 / height);
            row[3 * x] = uint8_t(qBlue(c));
            row[3 * x + 1] = uint8_t(qGreen(c));
            row[3 * x + 2] = uint8_t(qRed(c));
        }
    }
    return picture;
}

::testing::AssertionResult ShowsBlocks(const QImage& image, const QRect& picture, int tolerance) {
    if (image.isNull()) return ::testing::AssertionFailure() << "nothing grabbed";
    for (int row = 0; row < 3; ++row)
        for (int column = 0; column < 4; ++column) {
            const int x = picture.x() + (2 * column + 1) * picture.width() / 8;
            const int y = picture.y() + (2 * row + 1) * picture.height() / 6;
            const QRgb want = BlockColour(column, row);
            const QRgb got = image.pixel(x, y);
            if (std::abs(qRed(got) - qRed(want)) > tolerance ||
                std::abs(qGreen(got) - qGreen(want)) > tolerance ||
                std::abs(qBlue(got) - qBlue(want)) > tolerance)
                return ::testing::AssertionFailure()
                       << "block " << column << "," << row << " at " << x << "," << y << " shows ("
                       << qRed(got) << ", " << qGreen(got) << ", " << qBlue(got) << "), wanted ("
                       << qRed(want) << ", " << qGreen(want) << ", " << qBlue(want) << ")";
        }
    return ::testing::AssertionSuccess();
}

void MainWindowTest::SetUp() {
    if (QGuiApplication::platformName() != QLatin1String("xcb")) {
        if (std::getenv("CI")) FAIL() << "no X display in CI (scripts/run-ctest.sh starts Xvfb)";
        GTEST_SKIP() << "no X display (scripts/run-ctest.sh starts Xvfb)";
    }
    SinkGuard = std::make_unique<TMessageSinkGuard>(Messages);
    SettingsFile = Temp.File("config/settings.reg");
}

void MainWindowTest::TearDown() {
    Form.reset();
    SinkGuard.reset();
}

bool MainWindowTest::Create() {
    Form = std::make_unique<TForm_Master>();
    Form->SettingsPath = SettingsFile;
    return Form->FormCreate();
}

void MainWindowTest::CreateAndShow() {
    ASSERT_TRUE(Create()) << (Messages.Entries.empty() ? "" : Messages.Entries.back().Text);
    Form->show();
    ASSERT_TRUE(RunLoopUntil([this] { return Form->GLView()->isExposed(); }));
    RunLoopFor(20);
}

void MainWindowTest::OpenAndSettle(const std::string& path, int minFrames) {
    const uint64_t before = Frames();
    Form->OpenFile(path);
    ASSERT_TRUE(RunLoopUntil([&] {
        return !Form->Timer1->isActive() && Frames() >= before + uint64_t(minFrames);
    })) << "no frames after opening "
        << path;
}

uint64_t MainWindowTest::Frames() const {
    return Form->IdleRenderer()->FramesRendered();
}

QRect MainWindowTest::OnScreen(const QWidget* widget) {
    return QRect(widget->mapToGlobal(QPoint(0, 0)), widget->size());
}

QRect MainWindowTest::GLViewportOnScreen() const {
    const TRenderEngine* engine = Form->Engine();
    const QWidget* container = Form->GLContainer();
    const QPoint origin = container->mapToGlobal(QPoint(0, 0));
    // GL counts y upwards from the bottom of the view's window.
    const int top = container->height() - engine->ViewY - engine->ViewHeight;
    return QRect(origin.x() + engine->ViewX, origin.y() + top, engine->ViewWidth, engine->ViewHeight);
}

int MainWindowTest::CountMessages(const std::string& text) const {
    return int(std::count_if(Messages.Entries.begin(), Messages.Entries.end(),
                             [&](const auto& entry) { return entry.Text == text; }));
}

TSettings MainWindowTest::StoredSettings() const {
    TSettings settings = DefaultSettings("/nowhere/");
    LoadSettings(settings, SettingsFile);
    return settings;
}

void MainWindowTest::StoreSettings(const TSettings& settings) {
    SaveSettings(settings, SettingsFile);
}
