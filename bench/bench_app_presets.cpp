// bench_app_presets: the preset manager in the program.
//  - Showing the window over a presets folder of 10,000 presets: from the show to the end of the events it
//    causes, the list read, sorted and painted (target: under 200 ms). Median of 10 showings.
//  - Loading a preset that fills all eight slots while the main window plays media/sample.avi: how long the
//    load keeps the GUI thread, against the time between two frames measured just before; the frames it
//    holds up are the whole frame periods inside it (target: at most one). Median of 10 loads.
// Needs an X display (make bench starts a private Xvfb). Works in a temporary folder.
#include "AppBench.h"
#include "app/ChainWindowHooks.h"
#include "app/Form_Master.h"
#include "app/IdleRenderer.h"
#include "platform/MessageSink.h"
#include "plugins/Form_spc.h"
#include "plugins/uChainState.h"
#include "presets/Form_presets.h"
#include "presets/uPresets.h"
#include "render/uRenderEngine.h"
#include "render/uShaderPlugin.h"
#include "ui/WindowFonts.h"

#include <QApplication>
#include <QEventLoop>
#include <QLineEdit>
#include <QTimer>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

namespace fs = std::filesystem;

using namespace app_bench;

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    RegisterWindowFonts();
    TRecordingMessageSink messages; // a message box would wait for a click
    TMessageSinkGuard guard(messages);
    std::random_device rd;
    const fs::path work = fs::temp_directory_path() / ("lumatex-bench-presets-" + std::to_string(rd()));
    fs::create_directories(work / "program" / "presets");
    const std::string bin = std::string(LUMATEX_BIN_DIR) + "/";
    fs::create_directory_symlink(bin + "plugins", work / "program" / "plugins");
    fs::create_directory_symlink(bin + "shader", work / "program" / "shader");

    TForm_Master master;
    master.SettingsPath = (work / "settings.reg").string();
    if (!master.FormCreate()) {
        std::fprintf(stderr, "bench_app_presets: the main window did not start\n");
        return 1;
    }
    TForm_spc chainWindow(*master.Chain(), master.Settings, &master);
    AttachChainWindow(master, chainWindow);
    TForm_presets presets(*master.Chain(), master.Settings, &master);
    AttachPresetManager(master, chainWindow, presets);
    master.Settings.RenderHUD = false;
    master.show();
    RunLoop(500);
    TRenderEngine& engine = *master.Engine();
    const std::string savedFolder = engine.ProgramFolder;
    engine.ProgramFolder = (work / "program").string() + "/";

    for (int i = 0; i < 10000; ++i)
        std::ofstream(work / "program" / "presets" / ("preset " + std::to_string(i * 7919 % 10000) + ".prs"))
            << "[1]\r\nPlugInName=NONE\r\n";
    std::vector<double> shows;
    for (int round = 0; round < 10; ++round) {
        presets.hide();
        QCoreApplication::processEvents();
        const Clock::time_point start = Clock::now();
        presets.ShowManager();
        QCoreApplication::processEvents();
        shows.push_back(MsSince(start));
    }
    std::printf("show with 10000 presets: median %.1f ms, max %.1f ms (target < 200 ms)\n", Median(shows),
                *std::max_element(shows.begin(), shows.end()));

    // A preset of eight filled slots, written from the chain.
    const char* plugins[] = {"brightness_contrast.ini",  "hue_rotate.ini", "sharpen.ini",  "vignette.ini",
                             "chromatic_aberration.ini", "film_grain.ini", "box_blur.ini", "threshold.ini"};
    master.GLView()->MakeCurrent();
    for (int slot = 1; slot <= 8; ++slot)
        for (const auto& plugin : engine.Catalogue)
            if (plugin->IniFileName == plugins[slot - 1])
                master.Chain()->AssignSlot(slot, plugin->CatalogueIndex, true);
    fs::remove(work / "program" / "presets" / "full.prs");
    WritePreset(*master.Chain(), (work / "program" / "presets" / "full.prs").string());

    master.OpenFile(bin + "media/sample.avi");
    RunLoop(1500);
    if (master.MediaKind != TMediaKind::Video) {
        std::printf(
            "apply while playing: skipped, media/sample.avi does not play (make-media.sh makes it)\n");
    } else {
        std::vector<double> loads;
        std::vector<double> periods;
        for (int round = 0; round < 10; ++round) {
            const uint64_t framesBefore = master.IdleRenderer()->FramesRendered();
            const Clock::time_point periodStart = Clock::now();
            RunLoop(1000);
            const uint64_t frames = master.IdleRenderer()->FramesRendered() - framesBefore;
            if (frames > 0) periods.push_back(MsSince(periodStart) / double(frames));
            presets.Edit1->setText(QStringLiteral("full"));
            const Clock::time_point start = Clock::now();
            presets.BT_loadClick();
            loads.push_back(MsSince(start));
        }
        const double period = Median(periods);
        const double load = Median(loads);
        std::printf(
            "apply 8 slots while playing: median %.1f ms, max %.1f ms; frame period %.1f ms; frames held "
            "up %d (target at most 1)\n",
            load, *std::max_element(loads.begin(), loads.end()), period,
            period > 0 ? int(load / period) : -1);
    }
    engine.ProgramFolder = savedFolder;
    std::error_code ec;
    fs::remove_all(work, ec);
    return messages.Entries.empty() ? 0 : 2;
}
