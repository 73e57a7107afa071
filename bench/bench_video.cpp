// bench_video: the video source against the ffmpeg tool on the same 640 x 480, 25 frames a second MPEG-4
// AVI clip, in the same run.
//  - Throughput: decode + convert to 24-bit bottom-up BGR + deliver into the frame hand-off as fast as it
//    goes (free-running clock), against `ffmpeg -i CLIP -pix_fmt bgr24 -f null -` as a whole process.
//  - Cost of playback: the CPU time the process uses per second of real-time playback (steady clock,
//    grabber into the hand-off plus the video view's output), against the pure decode cost of 25 frames
//    (libavcodec alone, no conversion, no delivery), with the figures that show where the difference goes.
//  - Sound-reactive analysis: the CPU time of the features (FFT, levels, waveform) per second of a clip's
//    sound, analysed 60 times a second as the view asks, against decoding and resampling that sound.
// The lines at the end give the ratios.
#include "video/AudioAnalyser.h"
#include "video/AudioDecoder.h"
#include "video/FilterGraph.h"
#include "video/FrameHandOff.h"
#include "video/SampleGrabber.h"
#include "video/VideoDecoder.h"
#include "video/VideoWindow.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <deque>
#include <filesystem>
#include <functional>
#include <mutex>
#include <random>
#include <string>
#include <thread>
#include <vector>

namespace fs = std::filesystem;

namespace {

constexpr int kClipSeconds = 10;
constexpr int kClipFrames = kClipSeconds * 25;
constexpr double kPlaybackSeconds = 4.0;
constexpr int kCpuRounds = 3;

struct TClipFolder {
    TClipFolder() {
        std::random_device rd;
        Path = fs::temp_directory_path() / ("lumatex-bench-video-" + std::to_string(rd()));
        fs::create_directories(Path);
        Clip = (Path / "clip.avi").string();
        // The sample media's recipe, longer: moving test picture, MPEG-4 part 2 at quality 3.
        const std::string command =
            "ffmpeg -nostdin -v error -y -f lavfi -i testsrc2=size=640x480:rate=25:duration=" +
            std::to_string(kClipSeconds) + " -c:v mpeg4 -q:v 3 -pix_fmt yuv420p " + Clip;
        Ok = std::system(command.c_str()) == 0;
    }
    ~TClipFolder() {
        std::error_code ec;
        fs::remove_all(Path, ec);
    }
    fs::path Path;
    std::string Clip;
    bool Ok = false;
};

TClipFolder& Clip() {
    static TClipFolder folder;
    return folder;
}

double ProcessCpuSeconds() {
    timespec ts{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) / 1e9;
}

double WallSeconds() {
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

// The owner's side of a graph: waits for the posted end-of-stream call and runs it.
class TEndWaiter {
public:
    TFilterGraph::TDispatcher Dispatcher() {
        return [this](std::function<void()> call) {
            std::lock_guard<std::mutex> guard(FMutex);
            FCalls.push_back(std::move(call));
            FArrived.notify_all();
        };
    }
    void RunOne() {
        std::function<void()> call;
        {
            std::unique_lock<std::mutex> lock(FMutex);
            FArrived.wait(lock, [this] { return !FCalls.empty(); });
            call = std::move(FCalls.front());
            FCalls.pop_front();
        }
        call();
    }

private:
    std::mutex FMutex;
    std::condition_variable FArrived;
    std::deque<std::function<void()>> FCalls;
};

// The graph as the program wires it: grabber into the hand-off, and optionally the video view's output.
struct TPlayer {
    TPlayer(std::shared_ptr<IVideoClock> clock, bool withVideoView, bool withGrabber = true)
        : Graph(std::move(clock)) {
        HandOff.SetAdmission({TPlayState::Playing, true, false, true});
        Grabber.OnBuffer = [this](TSampleGrabber* sender, double time, const uint8_t* buffer,
                                  int32_t length) {
            HandOff.SampleGrabberBuffer(sender, time, buffer, length);
            Frames.fetch_add(1);
        };
        Graph.SetDispatcher(Ends.Dispatcher());
        Graph.OnGraphComplete = [this](TFilterGraph*, int32_t, void*) { Ended = true; };
        if (withGrabber) Grabber.SetFilterGraph(&Graph);
        if (withVideoView) Window.SetFilterGraph(&Graph);
        Graph.SetActive(true);
        Graph.RenderFile(Clip().Clip);
    }
    TFrameHandOff HandOff{640, 480};
    TSampleGrabber Grabber;
    TVideoWindow Window;
    TEndWaiter Ends;
    TFilterGraph Graph;
    std::atomic<int> Frames{0};
    bool Ended = false;
};

struct TFigures {
    double GraphFps = 0;
    double ToolFps = 0;
    double PlaybackCpuMsPerSecond = 0;
    double DecodeCpuMsPer25Frames = 0;
    double UnpacedWorkCpuMsPer25Frames = 0;
    double PacedDecodeCpuMsPerSecond = 0;
    double PacedIdleCpuMsPerSecond = 0;
} Figures;

void BM_GraphUnpaced(benchmark::State& state) {
    if (!Clip().Ok) return state.SkipWithError("ffmpeg could not make the clip");
    int frames = 0;
    double seconds = 0;
    for (auto _ : state) {
        const double start = WallSeconds();
        TPlayer player(std::make_shared<TFreeRunVideoClock>(), false);
        player.Graph.Play();
        player.Ends.RunOne();
        player.Graph.ClearGraph();
        seconds += WallSeconds() - start;
        frames += player.Frames.load();
        if (player.Frames.load() != kClipFrames) state.SkipWithError("frames went missing");
    }
    Figures.GraphFps = frames / seconds;
    state.counters["frames_per_second"] = Figures.GraphFps;
}
BENCHMARK(BM_GraphUnpaced)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);

void BM_FfmpegTool(benchmark::State& state) {
    if (!Clip().Ok) return state.SkipWithError("ffmpeg could not make the clip");
    const std::string command = "ffmpeg -nostdin -v error -i " + Clip().Clip + " -pix_fmt bgr24 -f null -";
    double seconds = 0;
    int runs = 0;
    for (auto _ : state) {
        const double start = WallSeconds();
        if (std::system(command.c_str()) != 0) state.SkipWithError("ffmpeg failed");
        seconds += WallSeconds() - start;
        ++runs;
    }
    Figures.ToolFps = runs * kClipFrames / seconds;
    state.counters["frames_per_second"] = Figures.ToolFps;
}
BENCHMARK(BM_FfmpegTool)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);

// The cost of real-time playback, in rounds, each measuring in turn (the host's load drifts; the medians
// of interleaved rounds compare like with like):
//  - playback: the CPU time per second of real-time playback, grabber into the hand-off plus the video
//    view's output (the program's dual view);
//  - pure decode: libavcodec alone, as fast as it goes, per 25 frames (the baseline);
//  - unpaced work: the same graph and outputs on a free-running clock, per 25 frames: what each frame
//    costs before any pacing (decode, conversion to the delivered layout, the copy into the hand-off);
//  - paced decode: libavcodec alone at the clip's pace (a sleep until each frame's time), per second:
//    what this machine charges for sleeping between frames;
//  - paced idle: the sleeps alone, per second.
double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v.size() % 2 ? v[v.size() / 2] : (v[v.size() / 2 - 1] + v[v.size() / 2]) / 2;
}

double PlaybackCpuMsPerSecond() {
    TPlayer player(nullptr, true);
    const double cpuStart = ProcessCpuSeconds();
    const double wallStart = WallSeconds();
    player.Graph.Play();
    std::this_thread::sleep_for(std::chrono::duration<double>(kPlaybackSeconds));
    player.Graph.Stop();
    const double cpu = ProcessCpuSeconds() - cpuStart;
    const double wall = WallSeconds() - wallStart;
    player.Graph.ClearGraph();
    return 1000.0 * cpu / wall;
}

double PureDecodeCpuMsPer25Frames() {
    TVideoDecoder decoder;
    if (decoder.Open(Clip().Clip) < 0) return 0;
    const double cpuStart = ProcessCpuSeconds();
    int frames = 0;
    int64_t mediaNs = 0;
    while (decoder.Decode(mediaNs) == 0)
        ++frames;
    return frames > 0 ? 1000.0 * (ProcessCpuSeconds() - cpuStart) / frames * 25 : 0;
}

double UnpacedWorkCpuMsPer25Frames() {
    TPlayer player(std::make_shared<TFreeRunVideoClock>(), true);
    const double cpuStart = ProcessCpuSeconds();
    player.Graph.Play();
    player.Ends.RunOne();
    const double cpu = ProcessCpuSeconds() - cpuStart;
    player.Graph.ClearGraph();
    const int frames = player.Frames.load();
    return frames == kClipFrames ? 1000.0 * cpu / frames * 25 : 0;
}

// Sleeps the way the streaming thread does: a timed wait on a condition variable.
void SleepUntil(std::chrono::steady_clock::time_point due) {
    static std::mutex mutex;
    static std::condition_variable wake;
    std::unique_lock<std::mutex> lock(mutex);
    while (std::chrono::steady_clock::now() < due)
        wake.wait_until(lock, due);
}

double PacedDecodeCpuMsPerSecond() {
    TVideoDecoder decoder;
    if (decoder.Open(Clip().Clip) < 0) return 0;
    const double cpuStart = ProcessCpuSeconds();
    const auto start = std::chrono::steady_clock::now();
    int64_t mediaNs = 0;
    while (decoder.Decode(mediaNs) == 0 && mediaNs < static_cast<int64_t>(kPlaybackSeconds * 1e9)) {
        SleepUntil(start + std::chrono::nanoseconds(mediaNs));
    }
    const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    return 1000.0 * (ProcessCpuSeconds() - cpuStart) / wall;
}

// Only the sleeps: waking at every frame time of the clip and doing nothing else.
double PacedIdleCpuMsPerSecond() {
    const double cpuStart = ProcessCpuSeconds();
    const auto start = std::chrono::steady_clock::now();
    for (int frame = 1; frame <= static_cast<int>(kPlaybackSeconds * 25); ++frame)
        SleepUntil(start + std::chrono::milliseconds(40 * frame));
    const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    return 1000.0 * (ProcessCpuSeconds() - cpuStart) / wall;
}

void BM_PlaybackCpu(benchmark::State& state) {
    if (!Clip().Ok) return state.SkipWithError("ffmpeg could not make the clip");
    std::vector<double> playback, decode, unpaced, paced, idle;
    for (auto _ : state) {
        for (int round = 0; round < kCpuRounds; ++round) {
            playback.push_back(PlaybackCpuMsPerSecond());
            decode.push_back(PureDecodeCpuMsPer25Frames());
            unpaced.push_back(UnpacedWorkCpuMsPer25Frames());
            paced.push_back(PacedDecodeCpuMsPerSecond());
            idle.push_back(PacedIdleCpuMsPerSecond());
        }
    }
    for (const auto* v : {&playback, &decode, &unpaced, &paced})
        if (std::find(v->begin(), v->end(), 0.0) != v->end())
            return state.SkipWithError("a measurement failed");
    Figures.PlaybackCpuMsPerSecond = Median(playback);
    Figures.DecodeCpuMsPer25Frames = Median(decode);
    Figures.UnpacedWorkCpuMsPer25Frames = Median(unpaced);
    Figures.PacedDecodeCpuMsPerSecond = Median(paced);
    Figures.PacedIdleCpuMsPerSecond = Median(idle);
    state.counters["playback_cpu_ms_per_s"] = Figures.PlaybackCpuMsPerSecond;
    state.counters["decode_cpu_ms_per_25"] = Figures.DecodeCpuMsPer25Frames;
    state.counters["unpaced_cpu_ms_per_25"] = Figures.UnpacedWorkCpuMsPer25Frames;
    state.counters["paced_decode_cpu_ms_per_s"] = Figures.PacedDecodeCpuMsPerSecond;
    state.counters["paced_idle_cpu_ms_per_s"] = Figures.PacedIdleCpuMsPerSecond;
}
BENCHMARK(BM_PlaybackCpu)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);

struct TSoundFigures {
    double DecodeMsPerSecond = 0;
    double AnalyseMsPerSecond = 0;
} SoundFigures;

// Ten seconds of AAC stereo at 44.1 kHz (resampled to 48 kHz on decoding, as a typical file is).
std::string SoundClip() {
    static const std::string clip = [] {
        const std::string path = (Clip().Path / "sound.m4a").string();
        const std::string command =
            "ffmpeg -nostdin -v error -y -f lavfi -i \"anoisesrc=d=" + std::to_string(kClipSeconds) +
            ":c=pink:r=44100:a=0.3\" -ac 2 -c:a aac " + path;
        return std::system(command.c_str()) == 0 ? path : std::string();
    }();
    return clip;
}

void BM_SoundAnalysis(benchmark::State& state) {
    if (SoundClip().empty()) return state.SkipWithError("ffmpeg could not make the sound clip");
    std::vector<double> decode, analyse;
    for (auto _ : state) {
        for (int round = 0; round < kCpuRounds; ++round) {
            TAudioDecoder decoder;
            if (decoder.Open(SoundClip()) < 0) return state.SkipWithError("the sound clip does not open");
            std::vector<int16_t> samples;
            double start = ProcessCpuSeconds();
            while (decoder.Read(samples)) {
            }
            decode.push_back(ProcessCpuSeconds() - start);
            const auto frames = int64_t(samples.size() / kAudioChannels);
            TAudioAnalyser analyser(kAudioRate);
            const int64_t step = kAudioRate / 60;
            start = ProcessCpuSeconds();
            for (int64_t at = 0; at + step <= frames; at += step) {
                analyser.Push(samples.data() + at * kAudioChannels, size_t(step), kAudioChannels);
                benchmark::DoNotOptimize(analyser.Analyse(at + step));
            }
            analyse.push_back(ProcessCpuSeconds() - start);
        }
    }
    SoundFigures.DecodeMsPerSecond = 1000.0 * Median(decode) / kClipSeconds;
    SoundFigures.AnalyseMsPerSecond = 1000.0 * Median(analyse) / kClipSeconds;
    state.counters["sound_decode_cpu_ms_per_s"] = SoundFigures.DecodeMsPerSecond;
    state.counters["sound_analyse_cpu_ms_per_s"] = SoundFigures.AnalyseMsPerSecond;
}
BENCHMARK(BM_SoundAnalysis)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);

} // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    std::printf("\nVideo source against the ffmpeg tool (640 x 480 MPEG-4 AVI, %d frames)\n", kClipFrames);
    if (Figures.GraphFps > 0 && Figures.ToolFps > 0)
        std::printf("  throughput: graph %.0f fps, ffmpeg tool %.0f fps, ratio %.2f (target >= 0.90)\n",
                    Figures.GraphFps, Figures.ToolFps, Figures.GraphFps / Figures.ToolFps);
    const double decode = Figures.DecodeCpuMsPer25Frames;
    if (Figures.PlaybackCpuMsPerSecond > 0 && decode > 0) {
        std::printf(
            "  real-time playback: %.1f ms CPU per second, pure decode of 25 frames %.1f ms, ratio %.2f "
            "(target <= 1.20)\n",
            Figures.PlaybackCpuMsPerSecond, decode, Figures.PlaybackCpuMsPerSecond / decode);
        std::printf("  the same frames unpaced (decode, conversion, hand-off copy): %.1f ms per 25 frames, "
                    "%.2f x pure "
                    "decode; playback against it: %.2f\n",
                    Figures.UnpacedWorkCpuMsPer25Frames, Figures.UnpacedWorkCpuMsPer25Frames / decode,
                    Figures.PlaybackCpuMsPerSecond / Figures.UnpacedWorkCpuMsPer25Frames);
        std::printf("  decoding alone at the clip's pace: %.1f ms CPU per second, %.2f x pure decode\n",
                    Figures.PacedDecodeCpuMsPerSecond, Figures.PacedDecodeCpuMsPerSecond / decode);
        std::printf("  waking at every frame time and doing nothing else: %.2f ms CPU per second, %.2f x "
                    "pure decode\n",
                    Figures.PacedIdleCpuMsPerSecond, Figures.PacedIdleCpuMsPerSecond / decode);
        std::printf("  (medians of %d interleaved rounds)\n", kCpuRounds);
    }
    if (SoundFigures.DecodeMsPerSecond > 0)
        std::printf("  sound-reactive analysis, 60 a second: %.2f ms CPU per second of sound; decoding and "
                    "resampling that sound (AAC 44.1 kHz stereo): %.2f ms; ratio %.2f\n",
                    SoundFigures.AnalyseMsPerSecond, SoundFigures.DecodeMsPerSecond,
                    SoundFigures.AnalyseMsPerSecond / SoundFigures.DecodeMsPerSecond);
    return 0;
}
