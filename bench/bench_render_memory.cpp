// bench_render_memory: lumatex-render's peak memory and time on large pictures, each run a child process
// measured by wait4 (ru_maxrss, its peak resident size) and its wall time.
//  1. A generated 16384 x 16384 JPEG (a few MB on disk, 1 GiB as RGBA) rendered to 512 x 512 and at full
//     size (BMP, JPEG, and BMP with aspect forcing): the peak above an idle run (the same command on a 16 x
//     16 JPEG) in units of the picture's RGBA bytes. Target: under 2.5.
//  2. An 8192 x 8192 JPEG exported at full size through a preset of eight active slots (bundled plugins, in
//     a temporary program folder), framebuffer edge 1024: milliseconds (mean of three runs) and the peak
//     above the idle run of the same preset.
// The pictures are written row by row here, so the bench process itself never holds one.
#include "ChildRun.h"
#include "imaging/JpegCodec.h"
#include "platform/Stream.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

const std::string kRender = std::string(LUMATEX_BIN_DIR) + "/lumatex-render";

using TRun = TChildRun;

TRun RunRender(const std::vector<std::string>& arguments) {
    std::vector<std::string> all{kRender};
    all.insert(all.end(), arguments.begin(), arguments.end());
    return RunChild(all);
}

// A square JPEG of two greys with a checker of 64-pixel squares, so that the chain has edges to work on.
void WriteJpeg(const std::string& path, int edge) {
    TFileStream file(path, TFileStream::TMode::Create);
    TJpegRowEncoder encoder(file, edge, edge, 24, 90);
    std::vector<uint8_t> rows[2] = {std::vector<uint8_t>(size_t(edge) * 3),
                                    std::vector<uint8_t>(size_t(edge) * 3)};
    for (int phase = 0; phase < 2; ++phase)
        for (int x = 0; x < edge; ++x)
            std::fill_n(rows[phase].begin() + x * 3, 3, ((x / 64 + phase) % 2) ? 96 : 176);
    for (int y = 0; y < edge; ++y)
        encoder.WriteRow(rows[(y / 64) % 2].data());
    encoder.Finish();
}

// The pictures and a program folder with the bundled plugins and a preset "eight" of eight active slots.
struct TWork {
    fs::path Folder;
    std::string Root;

    TWork() {
        std::random_device rd;
        Folder = fs::temp_directory_path() / ("lumatex-bench-memory-" + std::to_string(rd()));
        fs::create_directories(Folder / "root" / "presets");
        const fs::path bin = LUMATEX_BIN_DIR;
        fs::create_directory_symlink(bin / "plugins", Folder / "root" / "plugins");
        fs::create_directory_symlink(bin / "shader", Folder / "root" / "shader");
        const char* plugins[] = {
            "brightness_contrast.ini",  "hue_rotate.ini", "sharpen.ini",  "vignette.ini",
            "chromatic_aberration.ini", "film_grain.ini", "box_blur.ini", "threshold.ini"};
        std::ofstream preset(Folder / "root" / "presets" / "eight.prs", std::ios::binary);
        for (int slot = 1; slot <= 8; ++slot)
            preset << "[" << slot << "]\r\nPlugInName=" << plugins[slot - 1] << "\r\nactive=1\r\n";
        Root = (Folder / "root").string();
        WriteJpeg(File("tiny.jpg"), 16);
        WriteJpeg(File("big.jpg"), 16384);
        WriteJpeg(File("mid.jpg"), 8192);
    }
    ~TWork() {
        std::error_code ignored;
        fs::remove_all(Folder, ignored);
    }
    std::string File(const std::string& name) const { return (Folder / name).string(); }
};

TWork& Work() {
    static TWork work;
    return work;
}

constexpr double kBigRgbaKiB = 16384.0 * 16384.0 * 4 / 1024;
constexpr double kMidRgbaKiB = 8192.0 * 8192.0 * 4 / 1024;

// One run of the 16384 x 16384 picture with the given arguments before INPUT OUTPUT, against an idle run.
void BM_LargestPicturePeak(benchmark::State& state, std::vector<std::string> options, std::string output) {
    TWork& work = Work();
    std::vector<std::string> idleArgs{"--root", work.Root, work.File("tiny.jpg"), work.File("idle.bmp")};
    const TRun idle = RunRender(idleArgs);
    options.insert(options.begin(), {"--root", work.Root});
    options.push_back(work.File("big.jpg"));
    options.push_back(work.File(output));
    TRun run;
    for (auto _ : state) {
        run = RunRender(options);
        state.SetIterationTime(run.Ms / 1000.0);
    }
    fs::remove(work.File(output));
    if (run.Status != 0 || idle.Status != 0) {
        state.SkipWithError("lumatex-render failed");
        return;
    }
    state.counters["peak_MiB"] = run.PeakKiB / 1024;
    state.counters["idle_MiB"] = idle.PeakKiB / 1024;
    state.counters["above_idle_x_rgba"] = (run.PeakKiB - idle.PeakKiB) / kBigRgbaKiB;
}

void BM_Export8192ThroughEightSlots(benchmark::State& state) {
    TWork& work = Work();
    const std::vector<std::string> common{"--root", work.Root, "--preset", "eight", "--fbo", "1024"};
    std::vector<std::string> idleArgs = common, args = common;
    idleArgs.insert(idleArgs.end(), {work.File("tiny.jpg"), work.File("idle.bmp")});
    args.insert(args.end(), {work.File("mid.jpg"), work.File("mid.bmp")});
    const TRun idle = RunRender(idleArgs);
    double peakKiB = 0;
    bool failed = idle.Status != 0;
    for (auto _ : state) {
        const TRun run = RunRender(args);
        failed = failed || run.Status != 0;
        peakKiB = std::max(peakKiB, run.PeakKiB);
        state.SetIterationTime(run.Ms / 1000.0);
    }
    fs::remove(work.File("mid.bmp"));
    if (failed) {
        state.SkipWithError("lumatex-render failed");
        return;
    }
    state.counters["peak_MiB"] = peakKiB / 1024;
    state.counters["idle_MiB"] = idle.PeakKiB / 1024;
    state.counters["above_idle_x_rgba"] = (peakKiB - idle.PeakKiB) / kMidRgbaKiB;
}

} // namespace

BENCHMARK_CAPTURE(BM_LargestPicturePeak, size_512_bmp, std::vector<std::string>{"--size", "512x512"},
                  std::string("small.bmp"))
    ->Iterations(1)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_LargestPicturePeak, full_bmp, std::vector<std::string>{}, std::string("full.bmp"))
    ->Iterations(1)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_LargestPicturePeak, full_jpg, std::vector<std::string>{"--jpeg-quality", "90"},
                  std::string("full.jpg"))
    ->Iterations(1)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_LargestPicturePeak, full_aspect_bmp, std::vector<std::string>{"--force-aspect"},
                  std::string("aspect.bmp"))
    ->Iterations(1)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Export8192ThroughEightSlots)->Iterations(3)->UseManualTime()->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
