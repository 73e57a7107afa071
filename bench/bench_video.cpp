// bench_video: the video source against the ffmpeg tool on the same 640 x 480, 25 frames a second MPEG-4
// AVI clip, in the same run.
//  - Throughput: decode + convert to 24-bit bottom-up BGR + deliver into the frame hand-off as fast as it
//    goes (free-running clock), against `ffmpeg -i CLIP -pix_fmt bgr24 -f null -` as a whole process.
//  - Cost of playback: the CPU time the process uses per second of real-time playback (steady clock,
//    grabber into the hand-off plus the video view's output), against the pure decode cost of 25 frames
//    (libavcodec alone, no conversion, no delivery).
// The table at the end gives the two ratios.
#include "video/FilterGraph.h"
#include "video/FrameHandOff.h"
#include "video/SampleGrabber.h"
#include "video/VideoDecoder.h"
#include "video/VideoWindow.h"

#include <benchmark/benchmark.h>

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

struct TClipFolder {
    TClipFolder() {
        std::random_device rd;
        Path = fs::temp_directory_path() / ("lumatex-bench-video-" + std::to_string(rd()));
        fs::create_directories(Path);
        Clip = (Path / "clip.avi").string();
        // The sample media's recipe, longer: moving test picture, MPEG-4 part 2 at quality 3.
        const std::string command = "ffmpeg -nostdin -v error -y -f lavfi -i testsrc2=size=640x480:rate=25:duration=" +
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
        HandOff.PlayState = 1;
        HandOff.RenderSuspended = false;
        Grabber.OnBuffer = [this](TSampleGrabber* sender, double time, const uint8_t* buffer, int32_t length) {
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
    double PacedDecodeCpuMsPerSecond = 0;
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

// Argument: 2 = grabber into the hand-off plus the video view (the program's dual view, the figure that
// counts), 1 = grabber only, 0 = no output (decoding and conversion at the pace of the clip).
void BM_RealTimePlaybackCpu(benchmark::State& state) {
    if (!Clip().Ok) return state.SkipWithError("ffmpeg could not make the clip");
    const int outputs = static_cast<int>(state.range(0));
    for (auto _ : state) {
        TPlayer player(nullptr, outputs >= 2, outputs >= 1);
        const double cpuStart = ProcessCpuSeconds();
        const double wallStart = WallSeconds();
        player.Graph.Play();
        std::this_thread::sleep_for(std::chrono::duration<double>(kPlaybackSeconds));
        player.Graph.Stop();
        const double cpu = ProcessCpuSeconds() - cpuStart;
        const double wall = WallSeconds() - wallStart;
        player.Graph.ClearGraph();
        const double msPerSecond = 1000.0 * cpu / wall;
        if (outputs == 2) Figures.PlaybackCpuMsPerSecond = msPerSecond;
        state.counters["cpu_ms_per_second"] = msPerSecond;
    }
}
BENCHMARK(BM_RealTimePlaybackCpu)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1)->Arg(2)->Arg(1)->Arg(0);

void BM_PureDecodeCpu(benchmark::State& state) {
    if (!Clip().Ok) return state.SkipWithError("ffmpeg could not make the clip");
    double cpu = 0;
    int frames = 0;
    for (auto _ : state) {
        TVideoDecoder decoder;
        if (decoder.Open(Clip().Clip) < 0) return state.SkipWithError("cannot open the clip");
        const double cpuStart = ProcessCpuSeconds();
        int64_t mediaNs = 0;
        while (decoder.Decode(mediaNs) == 0) ++frames;
        cpu += ProcessCpuSeconds() - cpuStart;
    }
    Figures.DecodeCpuMsPer25Frames = 1000.0 * cpu / frames * 25;
    state.counters["cpu_ms_per_25_frames"] = Figures.DecodeCpuMsPer25Frames;
}
BENCHMARK(BM_PureDecodeCpu)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);

// Decoding alone at the clip's pace (a sleep until each frame's time, as the streaming thread does): the
// cost of decoding with caches gone cold between frames, which real-time playback pays as well.
void BM_PacedPureDecodeCpu(benchmark::State& state) {
    if (!Clip().Ok) return state.SkipWithError("ffmpeg could not make the clip");
    for (auto _ : state) {
        TVideoDecoder decoder;
        if (decoder.Open(Clip().Clip) < 0) return state.SkipWithError("cannot open the clip");
        std::mutex mutex;
        std::condition_variable wake;
        std::unique_lock<std::mutex> lock(mutex);
        const double cpuStart = ProcessCpuSeconds();
        const auto start = std::chrono::steady_clock::now();
        int64_t mediaNs = 0;
        while (decoder.Decode(mediaNs) == 0 && mediaNs < static_cast<int64_t>(kPlaybackSeconds * 1e9)) {
            const auto due = start + std::chrono::nanoseconds(mediaNs);
            while (std::chrono::steady_clock::now() < due) wake.wait_until(lock, due);
        }
        const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        Figures.PacedDecodeCpuMsPerSecond = 1000.0 * (ProcessCpuSeconds() - cpuStart) / wall;
        state.counters["cpu_ms_per_second"] = Figures.PacedDecodeCpuMsPerSecond;
    }
}
BENCHMARK(BM_PacedPureDecodeCpu)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);

// Where playback's cost above decoding goes: the conversion to the delivered layout.
void BM_DecodeAndConvertCpu(benchmark::State& state) {
    if (!Clip().Ok) return state.SkipWithError("ffmpeg could not make the clip");
    double cpu = 0;
    int frames = 0;
    for (auto _ : state) {
        TVideoDecoder decoder;
        if (decoder.Open(Clip().Clip) < 0) return state.SkipWithError("cannot open the clip");
        std::vector<uint8_t> bits(decoder.Format().ImageSize());
        const double cpuStart = ProcessCpuSeconds();
        int64_t mediaNs = 0;
        while (decoder.Decode(mediaNs) == 0 && decoder.Convert(bits.data()) == 0) ++frames;
        cpu += ProcessCpuSeconds() - cpuStart;
    }
    state.counters["cpu_ms_per_25_frames"] = 1000.0 * cpu / frames * 25;
}
BENCHMARK(BM_DecodeAndConvertCpu)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);

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
    if (Figures.PlaybackCpuMsPerSecond > 0 && Figures.DecodeCpuMsPer25Frames > 0)
        std::printf("  real-time playback: %.1f ms CPU per second, pure decode of 25 frames %.1f ms, ratio %.2f "
                    "(target <= 1.20)\n",
                    Figures.PlaybackCpuMsPerSecond, Figures.DecodeCpuMsPer25Frames,
                    Figures.PlaybackCpuMsPerSecond / Figures.DecodeCpuMsPer25Frames);
    if (Figures.PlaybackCpuMsPerSecond > 0 && Figures.PacedDecodeCpuMsPerSecond > 0)
        std::printf("  real-time playback against decoding alone at the same pace (%.1f ms CPU per second): "
                    "ratio %.2f\n",
                    Figures.PacedDecodeCpuMsPerSecond,
                    Figures.PlaybackCpuMsPerSecond / Figures.PacedDecodeCpuMsPerSecond);
    return 0;
}
