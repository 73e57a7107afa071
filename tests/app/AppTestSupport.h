// AppTestSupport.h: the main window under test on the X display with its real GL context: making it,
// running the event loop for a while, reading back what the screen shows, and test pictures.
#pragma once

#include "app/Form_Master.h"
#include "app/ImageViewer.h"
#include "platform/Bitmap.h"
#include "platform/MessageSink.h"
#include "platform/Settings.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QCoreApplication>
#include <QImage>
#include <QMenuBar>
#include <QRect>
#include <QStatusBar>
#include <QTimer>
#include <QToolButton>

#include <functional>
#include <memory>
#include <string>

// Runs the real event loop (waits included, so the idle renderer's hook fires) for ms milliseconds.
void RunLoopFor(int ms);
// Runs it until done() holds or timeoutMs passed; answers done().
bool RunLoopUntil(const std::function<bool()>& done, int timeoutMs = 5000);

// What the screen shows in rect (global coordinates), from the X server.
QImage GrabScreen(const QRect& rect);

// A width x height picture of 4 x 3 flat blocks of distinct colours (no two alike under a swap of red and
// blue, a flip or a mirror), 24 bits per pixel.
TBitmap BlockPicture(int width, int height);
QRgb BlockColour(int column, int row);

// Each block's centre in image, read over a rect standing for the picture, equals its colour (within
// tolerance per channel). Reports the first block that differs.
::testing::AssertionResult ShowsBlocks(const QImage& image, const QRect& picture, int tolerance = 6);

// A main window on the display, made by FormCreate with its settings file in a temporary folder.
class MainWindowTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Creates the window over the settings stored so far (none: first run); false when FormCreate failed.
    bool Create();
    // Create, show, and wait until the OpenGL view is on screen.
    void CreateAndShow();
    // Opens path the way the open dialog does, then waits until Timer1 has run and at least minFrames
    // more frames are drawn.
    void OpenAndSettle(const std::string& path, int minFrames = 3);
    // Frames drawn so far by the idle renderer.
    uint64_t Frames() const;
    // The OpenGL viewport on screen (global coordinates).
    QRect GLViewportOnScreen() const;
    // A widget's area on screen.
    static QRect OnScreen(const QWidget* widget);
    int CountMessages(const std::string& text) const;
    // The settings as written at close.
    TSettings StoredSettings() const;
    void StoreSettings(const TSettings& settings);

    TTempFolder Temp;
    TRecordingMessageSink Messages;
    std::unique_ptr<TMessageSinkGuard> SinkGuard;
    std::unique_ptr<TForm_Master> Form;
    std::string SettingsFile;
};
