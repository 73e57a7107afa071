// bench_app_send: what "Send Output To..." costs the GUI thread. A 640 x 480 test source at 25 frames a
// second plays through three slots in the main window, first without sending, then sending to a UDP
// address of this machine (nobody needs to listen: UDP just sends), in the same run:
//  - the time the send hooks took per frame (TLiveOutput::AfterFrameCostsNs: median, 99th percentile and
//    longest; target < 2 ms);
//  - the longest and the 99th-percentile gap between ticks of a 1-ms timer on the GUI thread, and the
//    view's frames per second, sending against not sending (ratios).
// Needs an X display (make bench starts a private Xvfb). Works in a temporary folder.
#include "AppBench.h"
#include "app/Form_Master.h"
#include "app/IdleRenderer.h"
#include "app/QtGLSurface.h"
#include "pipeline/LiveOutput.h"
#include "platform/MessageSink.h"
#include "plugins/uChainState.h"
#include "render/uRenderEngine.h"
#include "render/uShaderPlugin.h"
#include "ui/WindowFonts.h"

#include <QApplication>
#include <QTimer>

#include <cstdio>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

using namespace app_bench;

constexpr int kMeasureMs = 6000;

struct TLoopFigures {
    double LongestGapMs = 0;
    double Gap99Ms = 0;
    double FramesPerSecond = 0;
};

// The GUI thread's responsiveness over kMeasureMs: gaps between the ticks of a precise 1-ms timer.
TLoopFigures MeasureLoop(TForm_Master& master) {
    std::vector<double> gaps;
    Clock::time_point last = Clock::now();
    QTimer tick;
    tick.setTimerType(Qt::PreciseTimer);
    tick.setInterval(1);
    QObject::connect(&tick, &QTimer::timeout, [&] {
        const Clock::time_point now = Clock::now();
        gaps.push_back(std::chrono::duration<double, std::milli>(now - last).count());
        last = now;
    });
    const uint64_t framesBefore = master.IdleRenderer()->FramesRendered();
    const Clock::time_point start = Clock::now();
    tick.start();
    RunLoop(kMeasureMs);
    tick.stop();
    const double seconds = MsSince(start) / 1000.0;
    TLoopFigures figures;
    std::sort(gaps.begin(), gaps.end());
    if (!gaps.empty()) {
        figures.LongestGapMs = gaps.back();
        figures.Gap99Ms = gaps[gaps.size() * 99 / 100];
    }
    figures.FramesPerSecond = double(master.IdleRenderer()->FramesRendered() - framesBefore) / seconds;
    return figures;
}

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    RegisterWindowFonts();
    TRecordingMessageSink messages; // a message box would wait for a click
    TMessageSinkGuard guard(messages);
    std::random_device rd;
    const fs::path work = fs::temp_directory_path() / ("lumatex-bench-send-" + std::to_string(rd()));
    fs::create_directories(work);

    TForm_Master master;
    master.SettingsPath = (work / "settings.reg").string();
    if (!master.FormCreate()) {
        std::fprintf(stderr, "bench_app_send: the main window did not start\n");
        return 1;
    }
    master.Settings.RenderHUD = false;
    master.show();
    RunLoop(500);
    master.OpenAddress("lavfi:testsrc2=size=640x480:rate=25");
    const char* plugins[] = {"brightness_contrast.ini", "hue_rotate.ini", "vignette.ini"};
    TRenderEngine& engine = *master.Engine();
    master.GLView()->MakeCurrent();
    for (int slot = 1; slot <= 3; ++slot)
        for (const auto& plugin : engine.Catalogue)
            if (plugin->IniFileName == plugins[slot - 1])
                master.Chain()->AssignSlot(slot, plugin->CatalogueIndex, true);
    RunLoop(1000);

    const TLoopFigures quiet = MeasureLoop(master);
    if (!master.StartSending("udp://127.0.0.1:45999")) {
        std::fprintf(stderr, "bench_app_send: the sending did not start\n");
        return 1;
    }
    RunLoop(1000); // the worker's open, the encoder's start and the first buffers are not what is measured
    master.LiveOutput()->ClearCosts();
    const TLoopFigures sending = MeasureLoop(master);
    const TLiveOutput& output = *master.LiveOutput();
    std::vector<double> hookMs;
    for (const int64_t ns : output.AfterFrameCostsNs())
        hookMs.push_back(double(ns) / 1e6);
    std::sort(hookMs.begin(), hookMs.end());
    const double hookMedian = Median(hookMs);
    const double hook99 = hookMs.empty() ? 0.0 : hookMs[hookMs.size() * 99 / 100];
    const double hookLongest = hookMs.empty() ? 0.0 : hookMs.back();
    const TSendStatus status = output.Status();
    master.StopSending();

    std::printf("640x480 test source at 25 fps, 3 slots, %d s each way, UDP to 127.0.0.1\n",
                kMeasureMs / 1000);
    std::printf("send hooks per frame: median %.2f ms, 99th percentile %.2f ms, longest %.2f ms (target < 2 "
                "ms) over %zu frames; %lld frames sent, %lld dropped\n",
                hookMedian, hook99, hookLongest, hookMs.size(), static_cast<long long>(status.Written),
                static_cast<long long>(status.Dropped));
    std::printf("GUI loop gap, longest: %.2f ms sending, %.2f ms not (ratio %.2f)\n", sending.LongestGapMs,
                quiet.LongestGapMs, quiet.LongestGapMs > 0 ? sending.LongestGapMs / quiet.LongestGapMs : 0.0);
    std::printf("GUI loop gap, 99th percentile: %.2f ms sending, %.2f ms not (ratio %.2f)\n", sending.Gap99Ms,
                quiet.Gap99Ms, quiet.Gap99Ms > 0 ? sending.Gap99Ms / quiet.Gap99Ms : 0.0);
    std::printf("view: %.1f frames/s sending, %.1f not (ratio %.2f)\n", sending.FramesPerSecond,
                quiet.FramesPerSecond,
                quiet.FramesPerSecond > 0 ? sending.FramesPerSecond / quiet.FramesPerSecond : 0.0);
    fs::remove_all(work);
    // Figures are reported, not judged: a missed target must not stop the other benchmarks. The longest
    // single frame is at the mercy of the machine's other work; the 99th percentile is the mark.
    if (status.State != TSendState::Sending) {
        std::fprintf(stderr, "bench_app_send: the sending stopped while measured\n");
        return 1;
    }
    return 0;
}
