// lumatex: the desktop program. Creates the windows in their order, then runs the event loop; a file named
// on the command line is opened as if chosen in the open dialog.
#include "app/ChainWindowHooks.h"
#include "app/Form_ImgSave.h"
#include "app/Form_Master.h"
#include "app/Form_info.h"
#include "app/QtMessageSink.h"
#include "app/SampleBufferExport.h"
#include "platform/Files.h"
#include "platform/MessageSink.h"
#include "plugins/Form_spc.h"
#include "presets/Form_presets.h"
#include "ui/WindowFonts.h"

#include <QApplication>
#include <QIcon>
#include <QStringList>
#include <QTimer>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QString::fromLatin1(kMainCaption));
    QApplication::setOrganizationName(QStringLiteral("Quorvale"));
    RegisterWindowFonts();
    // The icon the desktop entry names, for the title bar and the task switcher.
    QApplication::setWindowIcon(
        QIcon(QString::fromStdString(ProgramFolder() + "icons/hicolor/64x64/apps/lumatex.png")));

    TQtMessageSink messages;
    TMessageSinkGuard sinkGuard(messages);

    // The windows in their order; the main window's creation comes first and may end the start.
    TForm_Master master;
    if (!master.FormCreate()) {
        // The reasons may still wait in the queue (raised during GL work): the user sees them before the end.
        messages.Flush();
        return 1;
    }
    // Shown by the main window at its show, as the chain setting says. Destroyed before the main window,
    // which owns the chain it shows.
    TForm_spc chainWindow(*master.Chain(), master.Settings, &master);
    AttachChainWindow(master, chainWindow);
    // Hidden until the chain window's "Load/Manage Presets" asks for it.
    TForm_presets presets(*master.Chain(), master.Settings, &master);
    AttachPresetManager(master, chainWindow, presets);
    // Hidden until "Save OpenGL image..." shows it.
    TForm_ImgSave imgSave(master, &master);
    AttachImgSaveWindow(master, imgSave);
    TForm_info about(&master);
    master.OnAbout = [&about] { about.exec(); };
    AttachSampleBufferExport(master);
    master.show();

    const QStringList arguments = QApplication::arguments();
    if (arguments.size() > 1) {
        const std::string file = arguments.at(1).toStdString();
        QTimer::singleShot(0, &master, [&master, file] { master.OpenFile(file); });
    }
    return app.exec();
}
