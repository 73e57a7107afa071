// lumatex: the desktop program. Reads its command line before anything needs a display, creates the windows
// in their order, then runs the event loop; the source named on the command line is opened as an address of
// "Open URL..." (a video or picture file by the open dialog's rules, any other video file by its content).
#include "app/ChainWindowHooks.h"
#include "app/CommandLine.h"
#include "app/Form_ImgSave.h"
#include "app/Form_Master.h"
#include "app/Form_RenderVideo.h"
#include "app/Form_info.h"
#include "app/QtMessageSink.h"
#include "app/SampleBufferExport.h"
#include "app/SideBySide.h"
#include "platform/DataFolders.h"
#include "platform/Files.h"
#include "platform/MessageSink.h"
#include "plugins/Form_spc.h"
#include "presets/Form_presets.h"
#include "presets/PresetFolders.h"
#include "ui/WindowFonts.h"

#include <QApplication>
#include <QGuiApplication>
#include <QIcon>
#include <QScreen>
#include <QTimer>

#include <csignal>
#include <cstdio>

namespace {

// The file --preset names, looked up in every data folder's presets/ as the preset manager lists them.
std::string StartPresetFile(const std::string& preset) {
    const TDataFolders data = FindDataFolders(ProgramFolder());
    return TPresetFolders(data.Roots, data.UserRoot).FileFor(preset);
}

// The icon the desktop entry names: the installed theme's, else the one beside the program.
QIcon ProgramIcon() {
    const std::string beside = ProgramFolder() + "icons/hicolor/64x64/apps/lumatex.png";
    return QIcon::fromTheme(QStringLiteral("lumatex"), QIcon(QString::fromStdString(beside)));
}

// Answers the command lines that need no window; -1 when the program is to start.
int AnswerWithoutWindow(const TCommandLine& line) {
    switch (line.Action) {
    case TCommandLine::TAction::Help:
        std::fputs(CommandLineHelp().c_str(), stdout);
        return 0;
    case TCommandLine::TAction::Version:
        std::fputs(CommandLineVersion().c_str(), stdout);
        return 0;
    case TCommandLine::TAction::UsageError:
        std::fprintf(stderr, "lumatex: %s\nTry 'lumatex --help'.\n", line.Error.c_str());
        return kExitUsage;
    case TCommandLine::TAction::Run:
        break;
    }
    if (!line.Preset.empty()) {
        const std::string path = StartPresetFile(line.Preset);
        if (!FileExists(path)) {
            std::fprintf(stderr, "lumatex: %s\n", PresetNotFoundText(path).c_str());
            return kExitUsage;
        }
    }
    if (!HaveDisplay()) {
        // Qt would abort with a page about platform plugins.
        std::fputs(
            "lumatex: no display to show the window on (neither DISPLAY nor WAYLAND_DISPLAY is set).\n",
            stderr);
        return kExitNoDisplay;
    }
    return -1;
}

} // namespace

int main(int argc, char** argv) {
    const TCommandLine line = ParseCommandLine(std::vector<std::string>(argv + 1, argv + argc));
    if (const int answer = AnswerWithoutWindow(line); answer >= 0) return answer;

    // A reader of --output - that goes away (ffplay closed) must end the sending, not the program: the
    // write then fails with EPIPE and is told like any other failing target.
    std::signal(SIGPIPE, SIG_IGN);
    QApplication app(argc, argv);
    QApplication::setApplicationName(QString::fromLatin1(kMainCaption));
    QApplication::setOrganizationName(QStringLiteral("Quorvale"));
    RegisterWindowFonts();
    // The icon the desktop entry names, for the title bar and the task switcher.
    QApplication::setWindowIcon(ProgramIcon());

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
    presets.UserDataFolder = master.DataFolders.UserRoot;
    AttachPresetManager(master, chainWindow, presets);
    // Hidden until "Save OpenGL image..." shows it.
    TForm_ImgSave imgSave(master, &master);
    AttachImgSaveWindow(master, imgSave);
    TForm_info about(&master);
    master.OnAbout = [&about] { about.exec(); };
    AttachSampleBufferExport(master);
    // Hidden until "Render Video..." starts a render; destroyed before the main window, which it renders
    // from.
    TForm_RenderVideo renderVideo(master, &master);
    AttachRenderVideoWindow(master, renderVideo);
    if (line.Loop) master.Settings.Loop = true; // as if ticked in the View menu, and kept like that
    if (line.SideBySide) {
        const QScreen* screen = QGuiApplication::primaryScreen();
        const int screenWidth = screen ? screen->availableGeometry().width() : 1280;
        PlaceSideBySide(master.Settings, screenWidth, chainWindow.frameGeometry().width());
    }
    // For this run only: the setting stays as the Control menu left it.
    if (line.OscPort >= 0)
        master.StartOsc(line.OscPort, line.OscBind);
    else if (!line.OscBind.empty() && master.Settings.OscPort != 0)
        master.StartOsc(master.Settings.OscPort, line.OscBind);
    if (!line.Preset.empty()) master.ApplyStartPreset(StartPresetFile(line.Preset));
    master.show();
    if (line.FullScreen >= 0) master.SetOutputWindow(true, line.FullScreen);

    if (!line.Source.empty())
        QTimer::singleShot(0, &master, [&master, source = line.Source] { master.OpenAddress(source); });
    // After the source: the output takes its size and rate from the first frame.
    if (!line.Output.empty())
        QTimer::singleShot(0, &master, [&master, target = line.Output] { master.StartSending(target); });
    return app.exec();
}
