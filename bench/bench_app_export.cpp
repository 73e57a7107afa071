// bench_app_export: "Save OpenGL image..." in the program against lumatex-render with the same arguments.
// media/sample.jpg (make-media.sh) through a preset filling all eight slots, written as JPEG at 1024 x 1024,
// 4096 x 4096 and the largest square the driver and the export allow, with aspect forcing:
//  - time from "Save" to the file written, against lumatex-render's whole run (targets: ratio <= 1.1);
//  - peak memory above the idle program: the program's high-water mark (reset through
//    /proc/self/clear_refs before each export) above its resident size just before; lumatex-render's peak
//    resident size above that of the same run at 16 x 16 (target: at most twice the picture's RGBA bytes).
// Needs an X display (make bench starts a private Xvfb). Works in a temporary folder.
#include "AppBench.h"
#include "ChildRun.h"
#include "app/Form_ImgSave.h"
#include "app/Form_Master.h"
#include "app/GLImageExport.h"
#include "app/QtGLSurface.h"
#include "platform/MessageSink.h"
#include "plugins/uChainState.h"
#include "presets/uPresets.h"
#include "render/uRenderEngine.h"
#include "render/uShaderPlugin.h"
#include "ui/WindowFonts.h"

#include <QApplication>
#include <QCheckBox>
#include <QEventLoop>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

using namespace app_bench;

// A "Vm...:" line of /proc/self/status in KiB; -1 when missing.
long StatusKiB(const char* field) {
    std::ifstream status("/proc/self/status");
    std::string line;
    const std::string key = std::string(field) + ":";
    while (std::getline(status, line))
        if (line.rfind(key, 0) == 0) return std::stol(line.substr(key.size()));
    return -1;
}

bool ResetPeak() {
    std::ofstream clear("/proc/self/clear_refs");
    clear << "5";
    clear.flush();
    return bool(clear);
}

using TRun = TChildRun;

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    RegisterWindowFonts();
    TRecordingMessageSink messages; // a message box would wait for a click
    TMessageSinkGuard guard(messages);
    std::random_device rd;
    const fs::path work = fs::temp_directory_path() / ("lumatex-bench-export-" + std::to_string(rd()));
    fs::create_directories(work);
    const std::string bin = std::string(LUMATEX_BIN_DIR) + "/";
    const std::string picture = bin + "media/sample.jpg";
    if (!fs::exists(picture)) {
        std::printf("export: skipped, %s is missing (make-media.sh makes it)\n", picture.c_str());
        return 0;
    }

    TForm_Master master;
    master.SettingsPath = (work / "settings.reg").string();
    if (!master.FormCreate()) {
        std::fprintf(stderr, "bench_app_export: the main window did not start\n");
        return 1;
    }
    TForm_ImgSave window(master, &master);
    AttachImgSaveWindow(master, window);
    master.Settings.RenderHUD = false;
    master.Settings.JpegQuality = 90;
    master.show();
    RunLoop(500);
    master.OpenFile(picture);
    RunLoop(1000);

    // A preset of eight filled slots, written from the chain, for lumatex-render to read.
    const char* plugins[] = {"brightness_contrast.ini",  "hue_rotate.ini", "sharpen.ini",  "vignette.ini",
                             "chromatic_aberration.ini", "film_grain.ini", "box_blur.ini", "threshold.ini"};
    TRenderEngine& engine = *master.Engine();
    master.GLView()->MakeCurrent();
    for (int slot = 1; slot <= 8; ++slot)
        for (const auto& plugin : engine.Catalogue)
            if (plugin->IniFileName == plugins[slot - 1])
                master.Chain()->AssignSlot(slot, plugin->CatalogueIndex, true);
    const std::string preset = (work / "full.prs").string();
    WritePreset(*master.Chain(), preset);
    RunLoop(500);

    const int maxEdge = ExportMaxEdge(master);
    const int largest = std::min(maxEdge, int(std::sqrt(double(kMaxOutputPixels))));
    std::printf(
        "sample picture 640x480, 8 slots, FBO %d, JPEG quality 90, aspect forced; driver edge limit %d\n",
        engine.FBOSize, maxEdge);
    std::vector<std::string> cli = {
        bin + "lumatex-render", "--preset", preset,           "--fbo", std::to_string(engine.FBOSize),
        "--jpeg-quality",       "90",       "--force-aspect", "--size"};
    auto cliRun = [&](int edge) {
        std::vector<std::string> arguments = cli;
        arguments.push_back(std::to_string(edge) + "x" + std::to_string(edge));
        arguments.push_back(picture);
        arguments.push_back((work / "cli.jpg").string());
        return RunChild(arguments);
    };
    const TRun cliIdle = cliRun(16);

    window.RunSaveDialog = [&](QFileDialog&) { return QString::fromStdString((work / "app.jpg").string()); };
    bool failed = false;
    for (const int edge : {1024, 4096, largest}) {
        const double rgbaMiB = double(edge) * edge * 4.0 / (1024.0 * 1024.0);
        master.Action_saveGLImg->trigger();
        window.CB_Viewport->setChecked(false);
        window.ED_Width->setText(QString::number(edge));
        window.ED_Height->setText(QString::number(edge));
        window.CB_Aspect->setChecked(true);
        QCoreApplication::processEvents();
        const bool reset = ResetPeak();
        const long idleKiB = StatusKiB("VmRSS");
        const size_t messagesBefore = messages.Entries.size();
        const Clock::time_point start = Clock::now();
        window.BT_OK->click();
        const double appMs = MsSince(start);
        const double appPeakMiB = reset ? double(StatusKiB("VmHWM") - idleKiB) / 1024.0 : -1.0;
        if (messages.Entries.size() != messagesBefore) {
            std::printf("%dx%d: the program's export failed: %s\n", edge, edge,
                        messages.Entries.back().Text.c_str());
            failed = true;
            continue;
        }
        const TRun run = cliRun(edge);
        if (run.Status != 0) {
            std::printf("%dx%d: lumatex-render failed with status %d\n", edge, edge, run.Status);
            failed = true;
            continue;
        }
        const double cliPeakMiB = (run.PeakKiB - cliIdle.PeakKiB) / 1024.0;
        std::printf(
            "%5dx%-5d program %6.0f ms, lumatex-render %6.0f ms (%6.0f ms above its 16x16 run), ratio "
            "%.2f (target <= 1.1)\n",
            edge, edge, appMs, run.Ms, run.Ms - cliIdle.Ms, appMs / run.Ms);
        std::printf(
            "%13s peak above idle: program %5.0f MiB = %.2fx RGBA, lumatex-render %5.0f MiB = %.2fx RGBA "
            "(above its 16x16 run; target <= 2x of %.0f MiB)\n",
            "", appPeakMiB, appPeakMiB / rgbaMiB, cliPeakMiB, cliPeakMiB / rgbaMiB, rgbaMiB);

        std::fflush(stdout);
        RunLoop(200);
    }
    std::error_code ec;
    fs::remove_all(work, ec);
    return failed ? 1 : 0;
}
