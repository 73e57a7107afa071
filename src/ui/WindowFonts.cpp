#include "ui/WindowFonts.h"

#include <QFile>
#include <QFontDatabase>

#include <iterator>

namespace {

struct TFace {
    const char* Family;
    const char* File;
};

constexpr TFace kFaces[] = {
    {kWindowFontFace, "tahoma.ttf"},
    {kWindowFontFace, "tahomabd.ttf"},
    {kDialogFontFace, "ms_sans_serif.ttf"},
};

constexpr const char* kFolders[] = {"/usr/share/wine/fonts/", "/usr/share/fonts/truetype/wine/"};

} // namespace

int RegisterWindowFonts() {
    // Decided before registering: every file of a missing family is added (the bold face too).
    bool known[std::size(kFaces)];
    for (size_t i = 0; i < std::size(kFaces); ++i)
        known[i] = QFontDatabase::hasFamily(QString::fromLatin1(kFaces[i].Family));
    for (size_t i = 0; i < std::size(kFaces); ++i) {
        if (known[i]) continue;
        for (const char* folder : kFolders) {
            const QString path = QString::fromLatin1(folder) + QString::fromLatin1(kFaces[i].File);
            if (QFile::exists(path) && QFontDatabase::addApplicationFont(path) >= 0) break;
        }
    }
    int usable = 0;
    for (const char* family : {kWindowFontFace, kDialogFontFace})
        usable += QFontDatabase::hasFamily(QString::fromLatin1(family)) ? 1 : 0;
    return usable;
}

namespace {

QFont PlainFont(const char* family) {
    QFont font(QString::fromLatin1(family));
    font.setPixelSize(kWindowFontPixels);
    font.setBold(false);
    font.setItalic(false);
    return font;
}

} // namespace

QFont WindowFont() {
    return PlainFont(kWindowFontFace);
}

QFont DialogFont() {
    return PlainFont(kDialogFontFace);
}
