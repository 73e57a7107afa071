// bench_app: the desktop program's main window against the plainest program that draws the same frames.
//  - Frame rate of the main window's idle loop on a 640 x 480 picture with 0, 2 and 8 active slots at
//    framebuffer edges 512 and 1024, against a bare QWindow with an OpenGL surface of the same size whose
//    loop does nothing but the same passes and the swap. Interleaved rounds, medians; target ratio >= 0.95.
//  - CPU time of the program with its window shown and no source open (target: under 1 % of a core).
//  - Start-up to the first frame of a picture, against lumatex-render rendering the same picture.
//  - The view's frame rate with the full-screen output window open against without it (2 slots, FBO 512;
//    interleaved rounds, medians; target ratio >= 0.9), and the frames the output window showed meanwhile.
// Needs an X display (make bench starts a private Xvfb). Writes its settings into a temporary folder.
#include "app/Form_Master.h"
#include "app/IdleRenderer.h"
#include "app/OutputWindow.h"
#include "app/QtGLSurface.h"
#include "pipeline/RenderSetup.h"
#include "platform/MessageSink.h"
#include "plugins/uChainState.h"
#include "render/uRenderEngine.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTimer>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <spawn.h>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <vector>

extern char** environ;

namespace fs = std::filesystem;

namespace {

constexpr double kMeasureSeconds = 5.0;
constexpr int kRounds = 3;
constexpr int kPictureWidth = 640;
constexpr int kPictureHeight = 480;

using Clock = std::chrono::steady_clock;

double SecondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values.empty() ? 0.0 : values[values.size() / 2];
}

double ProcessCpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// Runs the event loop for a while, as the program does between two user actions.
void RunLoop(double seconds) {
    QEventLoop loop;
    QTimer::singleShot(int(seconds * 1000), &loop, &QEventLoop::quit);
    loop.exec();
}

struct TWorkFolder {
    TWorkFolder() {
        std::random_device rd;
        Path = fs::temp_directory_path() / ("lumatex-bench-app-" + std::to_string(rd()));
        fs::create_directories(Path);
        Picture = (Path / "picture.jpg").string();
        const std::string command = "convert -size " + std::to_string(kPictureWidth) + "x" +
                                    std::to_string(kPictureHeight) + " plasma:fractal -quality 92 " + Picture;
        Ok = std::system(command.c_str()) == 0;
    }
    ~TWorkFolder() {
        std::error_code ec;
        fs::remove_all(Path, ec);
    }
    fs::path Path;
    std::string Picture;
    bool Ok = false;
};

struct TConfig {
    int ActiveSlots;
    int FBOChoice; // 2: 512, 3: 1024
    int FBOEdge;
};

// The same slots in the main window's chain and in the bare loop's: the first plugins of the catalogue.
void FillSlots(TChainState& chain, int count) {
    const int catalogue = int(chain.Engine.Catalogue.size());
    for (int slot = 1; slot <= 8; ++slot)
        chain.AssignSlot(slot, slot <= count && catalogue > 0 ? (slot - 1) % catalogue : -1, slot <= count);
}

// The reference: the engine drawing into a bare OpenGL window as fast as it can, the events handled now and
// then so that the window system stays served, nothing else.
class TBareLoop {
public:
    // A window of the main window's OpenGL view size, drawing into the same viewport: every swap then
    // copies as many pixels as the main window's does.
    bool Create(const TRenderEngine& model, int width, int height, const std::string& programFolder,
                const TBitmap& picture) {
        Surface.resize(width, height);
        Surface.show();
        if (!Surface.CreateContext()) return false;
        if (!Setup.Create(programFolder, width, height)) return false;
        Setup.GetEngine().SetViewport(model.ViewWidth, model.ViewHeight, model.ViewX, model.ViewY);
        Setup.GetEngine().UploadSourceFrame(picture);
        QCoreApplication::processEvents();
        return true;
    }
    void Configure(const TConfig& config) {
        Surface.MakeCurrent();
        Setup.GetEngine().RecreateFBOs(config.FBOEdge);
        FillSlots(Setup.GetChain(), config.ActiveSlots);
    }
    double FramesPerSecond(double seconds) {
        Surface.MakeCurrent();
        int64_t frames = 0;
        const Clock::time_point start = Clock::now();
        double elapsed = 0;
        do {
            Setup.GetEngine().RenderFrame(true);
            if (++frames % 8 == 0) QCoreApplication::processEvents();
            elapsed = SecondsSince(start);
        } while (elapsed < seconds);
        return double(frames) / elapsed;
    }
    ~TBareLoop() {
        Setup.Destroy();
        Surface.ReleaseContext();
    }

private:
    TQtGLSurface Surface;
    TRenderSetup Setup{Surface};
};

double MainWindowFramesPerSecond(TForm_Master& master, double seconds) {
    master.SetRenderSuspended(false);
    RunLoop(0.2); // the first frames after a change build programs and textures
    const uint64_t before = master.IdleRenderer()->FramesRendered();
    const Clock::time_point start = Clock::now();
    RunLoop(seconds);
    const double elapsed = SecondsSince(start);
    const uint64_t frames = master.IdleRenderer()->FramesRendered() - before;
    master.SetRenderSuspended(true);
    return double(frames) / elapsed;
}

double RunProcessSeconds(const std::vector<std::string>& args) {
    std::vector<char*> argv;
    for (const std::string& a : args)
        argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    const Clock::time_point start = Clock::now();
    pid_t pid = 0;
    if (posix_spawn(&pid, argv[0], nullptr, nullptr, argv.data(), environ) != 0) return -1.0;
    int status = 0;
    waitpid(pid, &status, 0);
    const double seconds = SecondsSince(start);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0 ? seconds : -1.0;
}

// From the window's construction to its first frame of the picture, in this process (the application
// object and the fonts exist already, as they do before the program's window is made).
double StartupToFirstFrameMs(const TWorkFolder& work) {
    const Clock::time_point start = Clock::now();
    TForm_Master master;
    master.SettingsPath = (work.Path / "startup.reg").string();
    if (!master.FormCreate()) return -1.0;
    master.show();
    master.OpenFile(work.Picture);
    while (master.IdleRenderer()->FramesRendered() == 0 && SecondsSince(start) < 30.0)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 10);
    const double ms = SecondsSince(start) * 1000.0;
    master.SetRenderSuspended(true);
    return ms;
}

void MeasureFrameRates(TForm_Master& master, TBareLoop& bare) {
    const std::vector<TConfig> configs = {{0, 2, 512},  {2, 2, 512},  {8, 2, 512},
                                          {0, 3, 1024}, {2, 3, 1024}, {8, 3, 1024}};
    std::vector<std::vector<double>> window(configs.size()), reference(configs.size());
    for (int round = 0; round < kRounds; ++round) {
        for (size_t i = 0; i < configs.size(); ++i) {
            master.SetRenderSuspended(true);
            master.GLView()->MakeCurrent();
            master.SetFBOSize(configs[i].FBOChoice);
            FillSlots(*master.Chain(), configs[i].ActiveSlots);
            window[i].push_back(MainWindowFramesPerSecond(master, kMeasureSeconds));
            bare.Configure(configs[i]);
            reference[i].push_back(bare.FramesPerSecond(kMeasureSeconds));
        }
    }
    std::printf("%-22s %12s %12s %8s\n", "slots, FBO", "main window", "bare loop", "ratio");
    for (size_t i = 0; i < configs.size(); ++i) {
        const double w = Median(window[i]), r = Median(reference[i]);
        std::printf("%d slots, FBO %-4d       %9.1f fps %9.1f fps %8.3f\n", configs[i].ActiveSlots,
                    configs[i].FBOEdge, w, r, r > 0 ? w / r : 0.0);
    }
}

void MeasureStartup(const TWorkFolder& work, const std::string& bin) {
    std::printf("== start-up to the first frame of a %dx%d picture (medians of %d)\n", kPictureWidth,
                kPictureHeight, kRounds);
    std::vector<double> startup, cli;
    for (int round = 0; round < kRounds; ++round) {
        startup.push_back(StartupToFirstFrameMs(work));
        cli.push_back(1000.0 * RunProcessSeconds(
                                   {bin + "lumatex-render", work.Picture, (work.Path / "cli.bmp").string()}));
    }
    std::printf("main window, in process:        %8.1f ms\n", Median(startup));
    std::printf("lumatex-render, whole process:  %8.1f ms\n", Median(cli));
}

void MeasureIdleCpu() {
    std::printf("\n== CPU with no source open, window shown, over %.0f s\n", kMeasureSeconds);
    const double cpuBefore = ProcessCpuSeconds();
    RunLoop(kMeasureSeconds);
    const double cpuShare = (ProcessCpuSeconds() - cpuBefore) / kMeasureSeconds;
    std::printf("CPU: %.3f %% of a core (target < 1 %%)\n", cpuShare * 100.0);
}

void MeasureOutputWindow(TForm_Master& master) {
    master.SetRenderSuspended(true);
    master.GLView()->MakeCurrent();
    master.SetFBOSize(2);
    FillSlots(*master.Chain(), 2);
    std::vector<double> without, with, shown;
    for (int round = 0; round < kRounds; ++round) {
        without.push_back(MainWindowFramesPerSecond(master, kMeasureSeconds));
        if (!master.SetOutputWindow(true)) {
            std::printf("output window: could not be opened\n");
            return;
        }
        RunLoop(0.5); // mapped, full screen, its context made
        const uint64_t before = master.OutputWindow()->FramesShown();
        with.push_back(MainWindowFramesPerSecond(master, kMeasureSeconds));
        shown.push_back(double(master.OutputWindow()->FramesShown() - before) / kMeasureSeconds);
        const QSize screen = master.OutputWindow()->size();
        if (round == 0) std::printf("output window %dx%d\n", screen.width(), screen.height());
        master.SetOutputWindow(false);
        RunLoop(0.3);
    }
    const double w = Median(with), wo = Median(without);
    std::printf("view without the output window %8.1f fps, with it %8.1f fps, ratio %.3f (target >= 0.9);"
                " output window showed %.1f frames/s\n",
                wo, w, wo > 0 ? w / wo : 0.0, Median(shown));
}

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    TRecordingMessageSink messages; // a message box would wait for a click
    TMessageSinkGuard guard(messages);
    TWorkFolder work;
    if (!work.Ok) {
        std::fprintf(stderr, "bench_app: ImageMagick could not make the test picture\n");
        return 1;
    }
    const std::string bin = std::string(LUMATEX_BIN_DIR) + "/";
    // "--output-window": that section alone, for a quick look while working on it.
    const bool outputOnly = argc > 1 && std::string(argv[1]) == "--output-window";
    if (!outputOnly) MeasureStartup(work, bin);

    TForm_Master master;
    master.SettingsPath = (work.Path / "settings.reg").string();
    if (!master.FormCreate()) {
        std::fprintf(stderr, "bench_app: the main window did not start\n");
        return 1;
    }
    master.show();
    RunLoop(1.0);

    if (!outputOnly) MeasureIdleCpu();

    master.OpenFile(work.Picture);
    RunLoop(0.5);
    if (!master.Engine() || master.MediaKind != TMediaKind::Image) {
        std::fprintf(stderr, "bench_app: the picture did not open\n");
        return 1;
    }
    const TRenderEngine& engine = *master.Engine();
    const int viewWidth = master.GLView()->Width(), viewHeight = master.GLView()->Height();
    std::printf(
        "\n== frames per second over %.0f s, OpenGL view %dx%d, viewport %dx%d, %d interleaved rounds, "
        "medians\n",
        kMeasureSeconds, viewWidth, viewHeight, engine.ViewWidth, engine.ViewHeight, kRounds);
    TBitmap picture;
    if (!outputOnly) {
        master.Playback.HandOff.WithFrameBitmap([&picture](const TBitmap& frame) { picture = frame; });
        TBareLoop bare;
        if (!bare.Create(engine, viewWidth, viewHeight, bin, picture)) {
            std::fprintf(stderr, "bench_app: no bare OpenGL window\n");
            return 1;
        }
        MeasureFrameRates(master, bare);
    }
    std::printf("\n== the view with the full-screen output window open against without (2 slots, FBO 512, "
                "%d interleaved rounds of %.0f s, medians)\n",
                kRounds, kMeasureSeconds);
    MeasureOutputWindow(master);
    master.close();
    return 0;
}
