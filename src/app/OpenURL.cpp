#include "OpenURL.h"

#include <QDesktopServices>
#include <QGuiApplication>
#include <QString>
#include <QUrl>

#include <utility>

#if !defined(LUMATEX_HOMEPAGE_URL) || !defined(LUMATEX_PARTNER_URL)
#error "LUMATEX_HOMEPAGE_URL and LUMATEX_PARTNER_URL come from the CMake cache variables of the same names"
#endif

namespace {

TURLLauncher& Launcher() {
    static TURLLauncher launcher;
    return launcher;
}

bool LaunchDesktopBrowser(const std::string& address) {
    // The desktop services need a GUI application; without one there is no desktop to ask.
    if (qobject_cast<QGuiApplication*>(QCoreApplication::instance()) == nullptr) return false;
    // fromUserInput: an address configured without its scheme ("www.example.org") still opens as a web page.
    const QUrl url = QUrl::fromUserInput(QString::fromStdString(address));
    return url.isValid() && QDesktopServices::openUrl(url);
}

} // namespace

std::string HomepageURL() {
    return LUMATEX_HOMEPAGE_URL;
}
std::string PartnerURL() {
    return LUMATEX_PARTNER_URL;
}

void OpenURL(const std::string& address) {
    if (address.find_first_not_of(" \t\r\n") == std::string::npos) return;
    try {
        if (Launcher())
            Launcher()(address);
        else
            LaunchDesktopBrowser(address);
    } catch (...) {
        // A link that does not open is not worth an interruption: the user simply clicks again or types it.
    }
}

TURLLauncher SetURLLauncher(TURLLauncher launcher) {
    return std::exchange(Launcher(), std::move(launcher));
}
