// The app tests' main: one QApplication for the whole run, a settings folder of its own, GoogleTest on top.
// With an X display the windows are real (xcb, GLX on the machine's driver); without one Qt's offscreen
// platform stands in and the tests that need the display skip. Listing the tests needs no application.
#include "ui/WindowFonts.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QTemporaryDir>

#include <cstdlib>
#include <memory>
#include <string>
#include <sys/stat.h>

namespace {

// A local display whose socket is missing would make Qt abort; such a display counts as none.
bool DisplayReachable() {
    const char* display = std::getenv("DISPLAY");
    if (!display || !*display) return false;
    const std::string name = display;
    if (name[0] != ':') return true; // a remote display: let Qt try
    const std::string number =
        name.substr(1, name.find('.') == std::string::npos ? std::string::npos : name.find('.') - 1);
    struct stat info {};
    return stat(("/tmp/.X11-unix/X" + number).c_str(), &info) == 0;
}

} // namespace

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    if (GTEST_FLAG_GET(list_tests)) return RUN_ALL_TESTS();

    QTemporaryDir config; // nothing may land in the real user's settings
    setenv("XDG_CONFIG_HOME", config.path().toLocal8Bit().constData(), 1);
    // No video's sound reaches the desktop's server, nor starts one: the sound tests name a server of their
    // own.
    setenv("PULSE_SERVER", ("unix:" + config.path().toStdString() + "/no-sound-server").c_str(), 1);
    if (!DisplayReachable()) {
        unsetenv("DISPLAY");
        if (!std::getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
    }
    QApplication app(argc, argv);
    // Closing a test's main window must not end anything.
    QApplication::setQuitOnLastWindowClosed(false);
    RegisterWindowFonts();
    return RUN_ALL_TESTS();
}
