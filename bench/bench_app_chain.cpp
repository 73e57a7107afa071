// bench_app_chain: the chain window in the program, while the main window renders eight slots at FBO 512.
//  - From a scripted bar move (mouse press, move, release sent to a parameter bar) to the first swapped frame
//    that shows the new value, counted in frames (target: the next frame) and in milliseconds. The last
//    slot holds the threshold plugin at level 0, so the whole picture takes its light colour, and the bar
//    moved is that colour's red: each frame's centre pixel, read back from the X server right after its
//    swap, tells which value the frame carried, whatever the source shows.
//  - The same from an OSC message (/lumatex/slot/8/colour/1 sent with liblo on the loopback to the program's
//    OSC port) to the first swapped frame showing it (target: under one frame interval plus 5 ms).
//  - The cost of the panel's rebuild (controls destroyed, BuildParamPanel) for a plugin with one parameter
//    of each kind, 40 single values and 40 quadruples, alone and with the paint that follows (target: under
//    one frame at 60 fps, 16.7 ms).
// The source is media/sample.avi while the program plays video, else media/sample.jpg; the output says
// which. Needs an X display (make bench starts a private Xvfb). Writes its settings into a temporary folder.
#include "AppBench.h"
#include "app/ChainWindowHooks.h"
#include "app/Form_Master.h"
#include "app/IdleRenderer.h"
#include "app/QtGLSurface.h"
#include "platform/MessageSink.h"
#include "plugins/Form_spc.h"
#include "plugins/ParamPanel.h"
#include "plugins/uChainState.h"
#include "plugins/uWSGradientBar.h"
#include "render/uRenderEngine.h"
#include "render/uShaderPlugin.h"
#include "ui/WindowFonts.h"

#include <QAbstractEventDispatcher>
#include <QApplication>
#include <QEventLoop>
#include <QGuiApplication>
#include <QMouseEvent>
#include <QScreen>
#include <QScrollArea>
#include <QTimer>

#include <lo/lo.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <random>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

using namespace app_bench;

constexpr int kTrials = 40;
constexpr int kBuildRounds = 30;
constexpr int kGiveUpFrames = 60;

struct TWorkFolder {
    TWorkFolder() {
        std::random_device rd;
        Path = fs::temp_directory_path() / ("lumatex-bench-chain-" + std::to_string(rd()));
        fs::create_directories(Path / "plugins");
        fs::create_directories(Path / "shader");
    }
    ~TWorkFolder() {
        std::error_code ec;
        fs::remove_all(Path, ec);
    }
    // A description naming a shader pair that exists (the panel needs no program).
    std::unique_ptr<TShaderPlugin> Plugin(const std::string& name, const std::string& params) const {
        std::ofstream((Path / "shader" / "p.vert").string()) << "";
        std::ofstream((Path / "shader" / "p.frag").string()) << "";
        std::ofstream((Path / "plugins" / name).string())
            << "[FileName]\nShaderFileName=p\n[ScreenName]\nFullName=" << name
            << "\n[Group]\nGroupName=Bench\n[Version]\nPluginReader=0.2\n"
            << params;
        auto plugin = std::make_unique<TShaderPlugin>((Path / "plugins").string() + "/", name,
                                                      (Path / "shader").string() + "/");
        if (!plugin->ReadDescription())
            std::fprintf(stderr, "bench_app_chain: %s is invalid\n", name.c_str());
        return plugin;
    }
    fs::path Path;
};

int CatalogueIndex(const TRenderEngine& engine, const std::string& iniFileName) {
    for (const auto& plugin : engine.Catalogue)
        if (plugin->IniFileName == iniFileName) return plugin->CatalogueIndex;
    return -1;
}

// The red of the OpenGL view's centre as the screen shows it.
int CentreRed(TForm_Master& master) {
    const TRenderEngine& engine = *master.Engine();
    const QWidget* container = master.GLContainer();
    const QPoint origin = container->mapToGlobal(QPoint(0, 0));
    const int x = origin.x() + engine.ViewX + engine.ViewWidth / 2;
    const int y = origin.y() + container->height() - engine.ViewY - engine.ViewHeight / 2;
    const QImage pixel = QGuiApplication::primaryScreen()->grabWindow(0, x, y, 1, 1).toImage();
    return pixel.isNull() ? -1 : qRed(pixel.pixel(0, 0));
}

// A drag on the bar as the window system delivers it: press inside, move to x, release.
void DragBar(TWSGradientBar* bar, int x) {
    const QPointF inside(bar->width() / 2.0, bar->height() / 2.0);
    const QPointF to(x, bar->height() / 2.0);
    QMouseEvent press(QEvent::MouseButtonPress, inside, bar->mapToGlobal(inside), Qt::LeftButton,
                      Qt::LeftButton, Qt::NoModifier);
    QMouseEvent move(QEvent::MouseMove, to, bar->mapToGlobal(to), Qt::NoButton, Qt::LeftButton,
                     Qt::NoModifier);
    QMouseEvent release(QEvent::MouseButtonRelease, to, bar->mapToGlobal(to), Qt::LeftButton, Qt::NoButton,
                        Qt::NoModifier);
    QCoreApplication::sendEvent(bar, &press);
    QCoreApplication::sendEvent(bar, &move);
    QCoreApplication::sendEvent(bar, &release);
}

struct TLatency {
    std::vector<double> Frames;
    std::vector<double> Ms;
    int Missed = 0;
    int Interrupted = 0; // the clip was started again before the move showed: not counted
};

// A UDP port of the loopback that nothing holds at this moment.
int FreeLoopbackPort() {
    const int fd = socket(AF_INET, SOCK_DGRAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    int port = 0;
    if (bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
        getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) == 0)
        port = ntohs(address.sin_port);
    close(fd);
    return port;
}

// move(light): turns the light colour's red on or off, by whatever way is measured.
// restarts: how often the source has been started again so far (null for a picture).
TLatency MeasureMoveToFrame(TForm_Master& master, const std::function<void(bool)>& move,
                            const int* restarts) {
    TLatency result;
    TIdleRenderer& renderer = *master.IdleRenderer();
    bool pending = false;
    bool wantLight = false;
    uint64_t movedAt = 0;
    int restartsAtMove = 0;
    uint64_t seen = renderer.FramesRendered();
    Clock::time_point start;
    int trials = 0;
    QEventLoop loop;

    // Runs after the idle renderer's own handler (connected later), so right after each frame's swap.
    auto* dispatcher = QAbstractEventDispatcher::instance();
    const QMetaObject::Connection hook = QObject::connect(
        dispatcher, &QAbstractEventDispatcher::aboutToBlock, dispatcher,
        [&] {
            const uint64_t frames = renderer.FramesRendered();
            if (frames == seen) return;
            seen = frames;
            if (!pending) return;
            const int red = CentreRed(master);
            if (restarts && *restarts != restartsAtMove) {
                ++result.Interrupted;
                pending = false;
            } else if ((red > 128) == wantLight) {
                result.Frames.push_back(double(frames - movedAt));
                result.Ms.push_back(MsSince(start));
                pending = false;
            } else if (frames - movedAt > uint64_t(kGiveUpFrames)) {
                ++result.Missed;
                pending = false;
            }
        },
        Qt::DirectConnection);

    QTimer trial;
    trial.setInterval(120);
    const Clock::time_point begun = Clock::now();
    QObject::connect(&trial, &QTimer::timeout, [&] {
        if (pending) {
            if (MsSince(start) > 5000.0) { // no frame at all: give the move up
                ++result.Missed;
                pending = false;
            }
            return;
        }
        if (trials++ == kTrials || MsSince(begun) > 120000.0) {
            loop.quit();
            return;
        }
        wantLight = !wantLight;
        move(wantLight);
        movedAt = renderer.FramesRendered();
        restartsAtMove = restarts ? *restarts : 0;
        start = Clock::now();
        pending = true;
    });
    trial.start();
    loop.exec();
    QObject::disconnect(hook);
    return result;
}

struct TBuildCost {
    double BuildMs = 0.0;
    double WithPaintMs = 0.0;
};

TBuildCost MeasureBuild(TForm_spc& window, TRenderEngine& engine, std::unique_ptr<TShaderPlugin> plugin) {
    // Slot 8's instance is lent out for the measurement; no frame is drawn meanwhile.
    std::swap(engine.Slots[7], plugin);
    std::vector<double> build, withPaint;
    for (int round = 0; round < kBuildRounds; ++round) {
        const Clock::time_point start = Clock::now();
        window.ParamPanel->Clear();
        window.ParamPanel->BuildParamPanel(7);
        build.push_back(MsSince(start));
        QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
        window.ScrollBox1->repaint();
        withPaint.push_back(MsSince(start));
    }
    window.ParamPanel->Clear();
    std::swap(engine.Slots[7], plugin);
    window.RefreshSlots(window.Chain.SelectedSlot, true);
    return {Median(build), Median(withPaint)};
}

std::string Params(int singles, int quadruples, bool oneOfEach) {
    std::string text;
    if (oneOfEach)
        return "[parameter_u1f]\na = 0.5 : 1 : One\n[parameter_u2f]\nb = 0.1;0.2 : 1 : Two\n"
               "[parameter_u3f]\nc = 0.1;0.2;0.3 : 1 : Three\n[parameter_u4f]\nd = 0.1;0.2;0.3;0.4 : 1 : "
               "Four\n";
    if (singles) text += "[parameter_u1f]\n";
    for (int i = 0; i < singles; ++i)
        text += "s" + std::to_string(i) + " = 0.5 : 255 : Single value " + std::to_string(i) + "\n";
    if (quadruples) text += "[parameter_u4f]\n";
    for (int i = 0; i < quadruples; ++i)
        text += "q" + std::to_string(i) + " = 0.1;0.2;0.3;0.4 : 255 : Quadruple " + std::to_string(i) + "\n";
    return text;
}

void ReportLatency(const TLatency& latency, double fps, const char* framesLine) {
    std::printf("shown: %zu, %d not shown within %d frames, %d not counted (the clip started again)\n",
                latency.Frames.size(), latency.Missed, kGiveUpFrames, latency.Interrupted);
    std::printf(framesLine, Median(latency.Frames),
                *std::max_element(latency.Frames.begin(), latency.Frames.end()));
    std::printf("time to that frame's swap: median %.1f ms, max %.1f ms (with one screen read per frame; a "
                "frame takes %.1f ms)\n",
                Median(latency.Ms), *std::max_element(latency.Ms.begin(), latency.Ms.end()),
                fps > 0 ? 1000.0 / fps : 0.0);
}

} // namespace

// The sample clip is short: opened again whenever it has stopped, so that frames keep coming.
class TKeepPlaying {
public:
    TKeepPlaying(TForm_Master& master, std::string video) : Master(master), Video(std::move(video)) {
        Timer.setInterval(250);
        QObject::connect(&Timer, &QTimer::timeout, [this] {
            const uint64_t frames = Master.IdleRenderer()->FramesRendered();
            if (Master.MediaKind == TMediaKind::Video && frames == Last) {
                Master.OpenFile(Video);
                ++Restarts;
            }
            Last = frames;
        });
        Timer.start();
    }
    int Restarts = 0;

private:
    TForm_Master& Master;
    std::string Video;
    QTimer Timer;
    uint64_t Last = 0;
};

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    RegisterWindowFonts();
    TRecordingMessageSink messages; // a message box would wait for a click
    TMessageSinkGuard guard(messages);
    TWorkFolder work;
    const std::string bin = std::string(LUMATEX_BIN_DIR) + "/";

    TForm_Master master;
    master.SettingsPath = (work.Path / "settings.reg").string();
    if (!master.FormCreate()) {
        std::fprintf(stderr, "bench_app_chain: the main window did not start\n");
        return 1;
    }
    TForm_spc window(*master.Chain(), master.Settings, &master);
    AttachChainWindow(master, window);
    master.Settings.RenderHUD = false;
    master.show();
    RunLoop(500);

    // The video while the program plays it; the picture otherwise.
    std::string source = "sample.avi (video)";
    master.OpenFile(bin + "media/sample.avi");
    RunLoop(1500);
    uint64_t before = master.IdleRenderer()->FramesRendered();
    RunLoop(500);
    std::unique_ptr<TKeepPlaying> keepPlaying;
    if (master.MediaKind != TMediaKind::Video || master.IdleRenderer()->FramesRendered() == before) {
        source = "sample.jpg (picture; the program does not play video yet)";
        master.OpenFile(bin + "media/sample.jpg");
        RunLoop(1000);
    } else {
        keepPlaying = std::make_unique<TKeepPlaying>(master, bin + "media/sample.avi");
    }
    if (master.IdleRenderer()->FramesRendered() == before || !master.Engine()) {
        std::fprintf(stderr, "bench_app_chain: no frames from %smedia/ (make-media.sh makes the samples)\n",
                     bin.c_str());
        return 1;
    }

    TRenderEngine& engine = *master.Engine();
    master.GLView()->MakeCurrent();
    master.SetFBOSize(2);
    const char* chainPlugins[] = {
        "brightness_contrast.ini",  "hue_rotate.ini", "sharpen.ini",  "vignette.ini",
        "chromatic_aberration.ini", "film_grain.ini", "box_blur.ini", "threshold.ini"};
    for (int slot = 1; slot <= 8; ++slot) {
        const int index = CatalogueIndex(engine, chainPlugins[slot - 1]);
        if (index < 0) {
            std::fprintf(stderr, "bench_app_chain: %s is not in the catalogue\n", chainPlugins[slot - 1]);
            return 1;
        }
        window.Image1MouseDown(slot);
        window.PluginMenuClick(index);
    }
    window.Image1MouseDown(8);
    if (engine.ActiveCount != 8 || window.ParamPanel->PanelEntries.size() != 2) {
        std::fprintf(stderr, "bench_app_chain: the chain did not fill\n");
        return 1;
    }
    // Threshold's level (its single value, shown first) to 0: every pixel takes the light colour.
    window.ParamPanel->PanelEntries[0].ValueBars[0]->SetPosition(0.0);
    TWSGradientBar* red = window.ParamPanel->PanelEntries[1].ValueBars[0];
    RunLoop(500);

    before = master.IdleRenderer()->FramesRendered();
    const Clock::time_point rateStart = Clock::now();
    RunLoop(2000);
    const double fps =
        double(master.IdleRenderer()->FramesRendered() - before) / (MsSince(rateStart) / 1000.0);

    std::printf("== bar move to the first frame showing it: %s, 8 active slots, FBO %d, view %dx%d\n",
                source.c_str(), engine.FBOSize, engine.ViewWidth, engine.ViewHeight);
    std::printf("frame rate without moves: %.1f fps (%.1f ms a frame)\n", fps, fps > 0 ? 1000.0 / fps : 0.0);
    const int* restarts = keepPlaying ? &keepPlaying->Restarts : nullptr;
    const TLatency latency = MeasureMoveToFrame(
        master, [red](bool light) { DragBar(red, light ? red->width() + 5 : -5); }, restarts);
    if (latency.Frames.empty()) {
        std::fprintf(stderr, "bench_app_chain: no frame showed a move\n");
        return 1;
    }
    ReportLatency(latency, fps, "frames after the move: median %.0f, max %.0f (target: 1, the next frame)\n");

    const int port = FreeLoopbackPort();
    std::printf("\n== OSC message to the first frame showing it: /lumatex/slot/8/colour/1 on 127.0.0.1:%d\n",
                port);
    if (port == 0 || !master.StartOsc(port, "")) {
        std::printf("the OSC port could not be opened: not measured\n");
    } else {
        lo_address target = lo_address_new("127.0.0.1", std::to_string(port).c_str());
        const TLatency osc = MeasureMoveToFrame(
            master,
            [target](bool light) { lo_send(target, "/lumatex/slot/8/colour/1", "f", light ? 1.0f : 0.0f); },
            restarts);
        lo_address_free(target);
        if (osc.Frames.empty())
            std::printf("no frame showed a message\n");
        else
            ReportLatency(osc, fps, "frames after the message: median %.0f, max %.0f\n");
        std::printf("target: under one frame interval plus 5 ms, %.1f ms\n",
                    fps > 0 ? 1000.0 / fps + 5.0 : 0.0);
    }
    if (keepPlaying) std::printf("the clip was started again %d times\n", keepPlaying->Restarts);
    keepPlaying.reset();

    std::printf("\n== parameter panel rebuilt (controls destroyed, BuildParamPanel), medians of %d\n",
                kBuildRounds);
    std::printf("%-34s %10s %16s\n", "plugin", "build", "build + paint");
    const struct {
        const char* Name;
        std::string Params;
    } panels[] = {{"one parameter of each kind", Params(0, 0, true)},
                  {"40 single values", Params(40, 0, false)},
                  {"40 quadruples", Params(0, 40, false)}};
    for (const auto& panel : panels) {
        const TBuildCost cost = MeasureBuild(window, engine, work.Plugin("bench.ini", panel.Params));
        std::printf("%-34s %7.2f ms %13.2f ms\n", panel.Name, cost.BuildMs, cost.WithPaintMs);
    }
    std::printf("(target: under 16.7 ms, one frame at 60 fps)\n");
    if (!messages.Entries.empty()) std::printf("messages: %s\n", messages.Entries.front().Text.c_str());
    master.close();
    return 0;
}
