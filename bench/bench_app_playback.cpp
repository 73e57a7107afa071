// bench_app_playback: the bundled 25 fps 640 x 480 sample video played in the main window through an 8-slot
// chain at FBO 512 for 20 s (the 4 s sample five times over, play pressed again at each end):
//  - the share of the frames the graph delivered while running that reached the OpenGL view (target 100 %),
//  - the delay from a frame's hand-off (the moment it is due and delivered) to the end of the swap that
//    shows it (target at most two frame intervals, 80 ms, with the queue of waiting frames),
//  - the loop seam: the sample played with the loop on, the time from the last frame of one pass to the
//    first of the next, at the hand-off and on screen (target one frame interval),
//  - the CPU of decoding and hand-off per second of playback: the streaming thread (decoding, conversion,
//    copies into the hand-off and the video view) plus the GUI thread's texture uploads and video-view
//    paints, against `ffmpeg -re -i VIDEO -pix_fmt bgr24 -f null -` on the same file in the same run,
//  - when mpv is installed: the whole process's CPU per second of playback through 8 Invert slots against
//    mpv playing the same clip through 8 inverting user-shader passes (`--vo=gpu --gpu-sw`) for as long
//    (target at most 0.7).
// Needs an X display (make bench starts a private Xvfb). Writes its settings into a temporary folder.
#include "ThreadCpu.h"
#include "app/Form_Master.h"
#include "app/IdleRenderer.h"
#include "app/QtGLSurface.h"
#include "app/QtMessageSink.h"
#include "app/VideoView.h"
#include "platform/MessageSink.h"
#include "plugins/uChainState.h"
#include "render/uRenderEngine.h"
#include "render/uShaderPlugin.h"

#include <QAbstractEventDispatcher>
#include <QApplication>
#include <QEventLoop>
#include <QTimer>

#include <algorithm>
#include <array>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <map>
#include <mutex>
#include <spawn.h>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace fs = std::filesystem;

namespace {

constexpr double kPlaySeconds = 20.0;
constexpr int kLoops = 5; // the sample lasts 4 s
constexpr int kSlots = 8;
constexpr double kFrameIntervalMs = 40.0;

using Clock = std::chrono::steady_clock;

double NowSeconds() {
    return std::chrono::duration<double>(Clock::now().time_since_epoch()).count();
}

double ThreadCpuSeconds() {
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return double(ts.tv_sec) + double(ts.tv_nsec) / 1e9;
}

void RunLoop(double seconds) {
    QEventLoop loop;
    QTimer::singleShot(int(seconds * 1000), &loop, &QEventLoop::quit);
    loop.exec();
}

using bench_cpu::NamedThreadCpuSeconds;

double ProcessCpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// CPU seconds per second of wall time of a child process run to its end; -1 when it failed.
double ChildCpuPerSecond(std::vector<std::string> args) {
    std::vector<char*> argv;
    for (std::string& a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    const double start = NowSeconds();
    pid_t pid = 0;
    if (posix_spawnp(&pid, argv[0], nullptr, nullptr, argv.data(), environ) != 0) return -1.0;
    int status = 0;
    rusage usage{};
    wait4(pid, &status, 0, &usage);
    const double wall = NowSeconds() - start;
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) return -1.0;
    const double cpu = double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
                       double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
    return cpu / wall;
}

// The ffmpeg tool decoding the file at its own pace, looped to the same length.
double FfmpegCpuPerSecond(const std::string& video) {
    return ChildCpuPerSecond({"ffmpeg", "-nostdin", "-v", "error", "-re", "-stream_loop",
                              std::to_string(kLoops - 1), "-i", video, "-pix_fmt", "bgr24", "-f", "null",
                              "-"});
}

bool OnPath(const std::string& program) {
    const char* path = std::getenv("PATH");
    std::string dirs = path ? path : "";
    for (size_t start = 0; start <= dirs.size();) {
        const size_t end = std::min(dirs.find(':', start), dirs.size());
        if (access((dirs.substr(start, end - start) + "/" + program).c_str(), X_OK) == 0) return true;
        start = end + 1;
    }
    return false;
}

// mpv playing the clip `loops` times through kSlots user-shader passes that each invert the picture (as the
// chain's passes each read and write the whole frame), in a window on the same display; -1 without mpv.
double MpvCpuPerSecond(const std::string& video, const fs::path& folder) {
    if (!OnPath("mpv")) return -1.0;
    std::string shaders;
    for (int i = 0; i < kSlots; ++i) {
        const fs::path file = folder / ("pass" + std::to_string(i) + ".glsl");
        std::ofstream(file) << "//!HOOK MAIN\n//!BIND HOOKED\n//!DESC pass " << i
                            << "\nvec4 hook() {\n    vec4 c = HOOKED_tex(HOOKED_pos);\n"
                               "    return vec4(1.0 - c.rgb, c.a);\n}\n";
        shaders += (i ? ":" : "") + file.string();
    }
    return ChildCpuPerSecond({"mpv", "--really-quiet", "--no-config", "--no-audio", "--vo=gpu", "--gpu-sw",
                              "--geometry=640x480", "--loop-file=" + std::to_string(kLoops - 1),
                              "--glsl-shaders=" + shaders, video});
}

// What the streaming thread hands over, noted as it happens.
struct TDeliveryLog {
    std::mutex Mutex;
    uint64_t Delivered = 0;                 // frames delivered to the grabber while the graph ran
    std::map<double, double> HandOffByTime; // presentation time -> hand-off time of the newest frames
    void Note(double sampleTime, double now) {
        ++Delivered;
        HandOffByTime[sampleTime] = now;
    }
    double HandOffOf(double sampleTime) {
        auto it = HandOffByTime.find(sampleTime);
        return it == HandOffByTime.end() ? 0.0 : it->second;
    }
};

struct TPlayFigures {
    double Playing = 0;     // seconds
    uint64_t Delivered = 0; // frames the graph delivered while running
    uint64_t Uploads = 0;   // drawn in the OpenGL view while running
    uint64_t Reached = 0;   // of the frames delivered, drawn in the OpenGL view
    uint64_t Paints = 0;    // pictures taken by the video view
    uint64_t Renders = 0;   // OpenGL frames drawn
    uint64_t Dropped = 0;   // frames the hand-off's full queue dropped
    double StreamCpu = 0;   // seconds of the streaming thread
    double ProcessCpu = 0;  // seconds of the whole process
    std::vector<double> DelaysMs;
};

// The same eight bundled plugins in every run, whatever else the catalogue holds, so that figures of
// different days compare.
constexpr const char* kChain[kSlots] = {"box_blur.ini",     "brightness_contrast.ini",
                                        "channel_swap.ini", "chromatic_aberration.ini",
                                        "edge_detect.ini",  "emboss.ini",
                                        "film_grain.ini",   "flip.ini"};

// The work mpv's user shaders do: eight passes that each invert the picture.
constexpr const char* kInverts[kSlots] = {"invert.ini", "invert.ini", "invert.ini", "invert.ini",
                                          "invert.ini", "invert.ini", "invert.ini", "invert.ini"};

void FillSlots(TForm_Master& master, int count, const char* const (&plugins)[kSlots] = kChain) {
    TChainState& chain = *master.Chain();
    for (int slot = 1; slot <= kSlots; ++slot) {
        int index = -1;
        for (const auto& plugin : chain.Engine.Catalogue)
            if (plugin->IniFileName == plugins[slot - 1]) index = plugin->CatalogueIndex;
        chain.AssignSlot(slot, index, slot <= count && index >= 0);
    }
}

double Percentile(std::vector<double> values, double p) {
    if (values.empty()) return 0.0;
    std::sort(values.begin(), values.end());
    return values[std::min(values.size() - 1, size_t(p * double(values.size())))];
}

// Plays the sample `loops` times over (play pressed again at each end) through `slotCount` active slots.
TPlayFigures Play(TForm_Master& master, const std::string& video, int slotCount, int loops,
                  const char* const (&plugins)[kSlots] = kChain) {
    FillSlots(master, slotCount, plugins);
    TPlayFigures figures;
    // Noted on the streaming thread, after the hand-off took the frame.
    TDeliveryLog log;
    const TSampleGrabber::TBufferEvent handOff = master.Playback.SampleGrabber.OnBuffer;
    master.Playback.SampleGrabber.OnBuffer = [&](TSampleGrabber* sender, double time, const uint8_t* buffer,
                                                 int32_t length) {
        handOff(sender, time, buffer, length);
        if (master.Playback.FilterGraph.State() != TGraphState::Running) return; // the stop's rewind
        std::lock_guard<std::mutex> lock(log.Mutex);
        log.Note(time, NowSeconds());
    };
    // Runs after the idle renderer's own hook in the same turn: an upload there has been drawn and swapped.
    uint64_t uploadsSeen = master.VideoFramesUploaded();
    bool measuring = false;
    const QMetaObject::Connection hook = QObject::connect(
        QAbstractEventDispatcher::instance(), &QAbstractEventDispatcher::aboutToBlock, &master,
        [&] {
            const uint64_t uploads = master.VideoFramesUploaded();
            if (uploads == uploadsSeen) return;
            uploadsSeen = uploads;
            if (!measuring) return;
            const double now = NowSeconds();
            std::lock_guard<std::mutex> lock(log.Mutex);
            const double handedOver = log.HandOffOf(master.Playback.HandOff.ShownSampleTime());
            if (handedOver <= 0) return; // handed over before the measuring began
            ++figures.Reached;
            figures.DelaysMs.push_back((now - handedOver) * 1000.0);
        },
        Qt::DirectConnection);

    master.OpenFile(video);
    RunLoop(0.2); // the first frames build the plugins' programs
    {
        std::lock_guard<std::mutex> lock(log.Mutex);
        log.Delivered = 0;
        log.HandOffByTime.clear();
    }
    const uint64_t uploadsBefore = master.VideoFramesUploaded();
    const uint64_t paintsBefore = master.VideoWindow->PicturesTaken();
    const uint64_t rendersBefore = master.IdleRenderer()->FramesRendered();
    const uint64_t droppedBefore = master.Playback.HandOff.FramesDropped();
    const double streamCpuBefore = NamedThreadCpuSeconds("lumatex-video");
    const double processCpuBefore = ProcessCpuSeconds();
    measuring = true;
    const double start = NowSeconds();
    int ends = 0;
    while (master.PlayState() == TPlayState::Playing && NowSeconds() - start < 4.0 * loops + 10.0 &&
           ends < loops) {
        const double slice = NowSeconds();
        RunLoop(0.02);
        if (master.PlayState() == TPlayState::Playing) figures.Playing += NowSeconds() - slice;
        if (master.PlayState() == TPlayState::Stopped && ++ends < loops) master.TB_PlayClick();
    }
    measuring = false;
    figures.StreamCpu = NamedThreadCpuSeconds("lumatex-video") - streamCpuBefore;
    figures.ProcessCpu = ProcessCpuSeconds() - processCpuBefore;
    figures.Uploads = master.VideoFramesUploaded() - uploadsBefore;
    figures.Paints = master.VideoWindow->PicturesTaken() - paintsBefore;
    figures.Renders = master.IdleRenderer()->FramesRendered() - rendersBefore;
    figures.Dropped = master.Playback.HandOff.FramesDropped() - droppedBefore;
    {
        std::lock_guard<std::mutex> lock(log.Mutex);
        figures.Delivered = log.Delivered;
    }
    QObject::disconnect(hook);
    master.TB_StopClick();
    master.Playback.SampleGrabber.OnBuffer = handOff;
    return figures;
}

// The gaps between consecutive entries of (presentation time, wall time), split into those where the
// presentation time went back (a loop seam) and the others.
struct TSeams {
    std::vector<double> SeamsMs, IntervalsMs;
};
TSeams SplitSeams(const std::vector<std::pair<double, double>>& entries) {
    TSeams seams;
    for (size_t i = 1; i < entries.size(); ++i) {
        const double gapMs = (entries[i].second - entries[i - 1].second) * 1000.0;
        (entries[i].first < entries[i - 1].first ? seams.SeamsMs : seams.IntervalsMs).push_back(gapMs);
    }
    return seams;
}

void ReportSeams(const char* where, const TSeams& s) {
    std::printf("%-10s loop seams: %zu, longest %.1f ms, median %.1f ms; other frame gaps: median %.1f ms, "
                "max %.1f ms (target: seam one frame interval, %.0f ms)\n",
                where, s.SeamsMs.size(), Percentile(s.SeamsMs, 1.0), Percentile(s.SeamsMs, 0.5),
                Percentile(s.IntervalsMs, 0.5), Percentile(s.IntervalsMs, 1.0), kFrameIntervalMs);
}

// Plays the sample with the loop on for `passes` passes through `slotCount` slots; notes every hand-off and
// every swap that shows a new frame with the frame's presentation time.
struct TLoopFigures {
    int Slots = 0, Passes = 0;
    bool StillPlaying = false;
    TSeams HandOff, OnScreen;
};
TLoopFigures PlayLooped(TForm_Master& master, const std::string& video, int slotCount, int passes) {
    FillSlots(master, slotCount);
    std::mutex mutex;
    std::vector<std::pair<double, double>> handOffs, swaps;
    const TSampleGrabber::TBufferEvent handOff = master.Playback.SampleGrabber.OnBuffer;
    master.Playback.SampleGrabber.OnBuffer = [&](TSampleGrabber* sender, double time, const uint8_t* buffer,
                                                 int32_t length) {
        handOff(sender, time, buffer, length);
        std::lock_guard<std::mutex> lock(mutex);
        handOffs.emplace_back(time, NowSeconds());
    };
    uint64_t uploadsSeen = master.VideoFramesUploaded();
    const QMetaObject::Connection hook = QObject::connect(
        QAbstractEventDispatcher::instance(), &QAbstractEventDispatcher::aboutToBlock, &master,
        [&] {
            if (master.VideoFramesUploaded() == uploadsSeen) return;
            uploadsSeen = master.VideoFramesUploaded();
            swaps.emplace_back(master.Playback.HandOff.ShownSampleTime(), NowSeconds());
        },
        Qt::DirectConnection);
    if (!master.Action_Loop->isChecked()) master.Action_Loop->trigger();
    master.OpenFile(video);
    RunLoop(4.0 * passes);
    const bool stillPlaying = master.PlayState() == TPlayState::Playing;
    QObject::disconnect(hook);
    if (master.Action_Loop->isChecked()) master.Action_Loop->trigger();
    master.TB_StopClick();
    master.Playback.SampleGrabber.OnBuffer = handOff;
    std::lock_guard<std::mutex> lock(mutex);
    return {slotCount, passes, stillPlaying, SplitSeams(handOffs), SplitSeams(swaps)};
}

void ReportLoop(const TLoopFigures& f) {
    std::printf("\n== loop on, %d slots, %d passes of the sample (%s)\n", f.Slots, f.Passes,
                f.StillPlaying ? "still playing at the end" : "STOPPED: the loop did not go on");
    ReportSeams("hand-off", f.HandOff);
    ReportSeams("on screen", f.OnScreen);
}

void Report(const char* title, const TPlayFigures& f) {
    std::printf("\n== %s, %.1f s playing\n", title, f.Playing);
    std::printf("frames delivered while running:  %6llu (%.1f per second)\n", (unsigned long long)f.Delivered,
                double(f.Delivered) / f.Playing);
    std::printf("frames that reached the GL view: %6llu = %.1f %% (target 100 %%)\n",
                (unsigned long long)f.Reached,
                f.Delivered ? 100.0 * double(f.Reached) / double(f.Delivered) : 0.0);
    std::printf("GL frames drawn:                 %6llu (%.1f per second)\n", (unsigned long long)f.Renders,
                double(f.Renders) / f.Playing);
    std::printf("hand-off to swap, ms:            median %.1f, 90th %.1f, max %.1f (target <= %.0f)\n",
                Percentile(f.DelaysMs, 0.5), Percentile(f.DelaysMs, 0.9), Percentile(f.DelaysMs, 1.0),
                2 * kFrameIntervalMs);
    std::printf("frames dropped from a full queue: %5llu\n", (unsigned long long)f.Dropped);
    std::printf("streaming thread CPU:            %.3f s/s\n", f.StreamCpu / f.Playing);
}

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    TRecordingMessageSink messages; // a message box would wait for a click
    TMessageSinkGuard guard(messages);
    const std::string video = std::string(LUMATEX_BIN_DIR) + "/media/sample.avi";
    if (!fs::exists(video)) {
        std::fprintf(stderr, "bench_app_playback: no %s (scripts/make-media.sh makes it)\n", video.c_str());
        return 1;
    }
    const fs::path settings =
        fs::temp_directory_path() / ("lumatex-bench-app-playback-" + std::to_string(getpid()));

    TForm_Master master;
    master.SettingsPath = (settings / "settings.reg").string();
    if (!master.FormCreate()) {
        std::fprintf(stderr, "bench_app_playback: the main window did not start\n");
        return 1;
    }
    master.show();
    RunLoop(1.0);
    master.SetFBOSize(2);
    master.OpenFile(video);
    if (master.PlayState() != TPlayState::Playing) {
        std::fprintf(stderr, "bench_app_playback: the sample video does not play\n");
        return 1;
    }
    const TPlayFigures chain = Play(master, video, kSlots, kLoops);
    // A chain this machine can draw within the frame interval most of the time, with peaks above it: what
    // the queue of waiting frames is for (on a slow machine eight slots may never keep up).
    const TPlayFigures six = Play(master, video, 6, 3);
    const TPlayFigures bare = Play(master, video, 0, 2);
    const TPlayFigures inverts = Play(master, video, kSlots, kLoops, kInverts);
    const TLoopFigures looped = PlayLooped(master, video, kSlots, 3);

    // The GUI thread's part of the hand-off, timed apart: one upload, one video-view paint of a new frame;
    // and one frame of the 8-slot chain, the least a frame waits for before its swap.
    TBitmap frame;
    master.VideoWindow->Output().CopyFrame(frame);
    constexpr int kRepeats = 50;
    TGLWorkScope work;
    master.GLView()->MakeCurrent();
    double before = ThreadCpuSeconds();
    for (int i = 0; i < kRepeats; ++i)
        master.Engine()->UploadVideoFrame(frame);
    const double uploadSeconds = (ThreadCpuSeconds() - before) / kRepeats;
    TBitmap copy = frame;
    before = ThreadCpuSeconds();
    for (int i = 0; i < kRepeats; ++i) {
        master.VideoWindow->Output().TakeFrame(copy);
        if (copy.Empty()) copy = frame;
        master.VideoWindow->repaint();
    }
    const double paintSeconds = (ThreadCpuSeconds() - before) / kRepeats;
    FillSlots(master, kSlots);
    master.Engine()->RenderFrame(false);
    before = NowSeconds();
    for (int i = 0; i < kRepeats; ++i)
        master.Engine()->RenderFrame(false);
    const double renderMs = (NowSeconds() - before) * 1000.0 / kRepeats;
    const int viewWidth = master.Engine()->ViewWidth, viewHeight = master.Engine()->ViewHeight;
    master.close();

    const double ffmpeg = FfmpegCpuPerSecond(video);
    const double mpv = MpvCpuPerSecond(video, settings);

    std::printf("%s, GL view %dx%d, FBO 512\n", video.c_str(), viewWidth, viewHeight);
    Report("8 slots, the sample 5 times over", chain);
    std::printf("one frame of the 8-slot chain:   %.1f ms (wall)\n", renderMs);
    Report("6 slots, the sample 3 times over", six);
    Report("no slot, the sample twice", bare);
    Report("8 x Invert, the sample 5 times over", inverts);
    ReportLoop(looped);
    const double streamCpu = chain.StreamCpu / chain.Playing;
    const double uploadCpu = double(chain.Uploads) * uploadSeconds / chain.Playing;
    const double paintCpu = double(chain.Paints) * paintSeconds / chain.Playing;
    std::printf("\n== CPU of decoding and hand-off per second, 8 slots\n");
    std::printf("streaming thread (decode, convert, copies): %.3f s/s\n", streamCpu);
    std::printf("GUI: upload %.2f ms x %.1f/s = %.3f s/s, video view paint %.2f ms x %.1f/s = %.3f s/s\n",
                uploadSeconds * 1000, double(chain.Uploads) / chain.Playing, uploadCpu, paintSeconds * 1000,
                double(chain.Paints) / chain.Playing, paintCpu);
    std::printf("ffmpeg -re -pix_fmt bgr24 -f null, same file: %.3f s/s\n", ffmpeg);
    if (ffmpeg > 0)
        std::printf("ratio: streaming thread %.2f, with the upload %.2f, with upload and paint %.2f (target "
                    "<= 1.0)\n",
                    streamCpu / ffmpeg, (streamCpu + uploadCpu) / ffmpeg,
                    (streamCpu + uploadCpu + paintCpu) / ffmpeg);
    std::printf("\n== the whole process against mpv, 8 inverting passes on both sides\n");
    const double lumatex = inverts.ProcessCpu / inverts.Playing;
    if (mpv > 0)
        std::printf("Lumatex %.3f s/s (%.1f %% of the frames shown), mpv --vo=gpu --gpu-sw %.3f s/s: ratio "
                    "%.2f (target <= 0.7); the fixed 8-plugin chain: %.3f s/s\n",
                    lumatex,
                    inverts.Delivered ? 100.0 * double(inverts.Reached) / double(inverts.Delivered) : 0.0,
                    mpv, lumatex / mpv, chain.ProcessCpu / chain.Playing);
    else
        std::printf("Lumatex %.3f s/s; mpv is not installed (or failed): no comparison\n", lumatex);
    std::error_code ec;
    fs::remove_all(settings, ec);
    return 0;
}
