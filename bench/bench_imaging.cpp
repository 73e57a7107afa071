// Imaging costs: the per-frame texture upload against a bare glTexImage2D of the same bytes, and BMP/JPEG
// decoding of a 1920 x 1080 picture against ImageMagick's convert of the same file (a whole process each
// time, as a user would run it). Ratios of each pair are printed after the run.
#include "gl/GLFlags.h"
#include "gl/HeadlessContext.h"
#include "imaging/JpegCodec.h"
#include "imaging/glBitmap.h"
#include "platform/BmpFile.h"
#include "platform/Stream.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <map>
#include <memory>
#include <string>
#include <unistd.h>

namespace {

std::unique_ptr<THeadlessContext> Context;
std::string Folder;

TBitmap Picture(int width, int height) {
    TBitmap bmp(width, height, 24);
    for (int y = 0; y < height; ++y) {
        uint8_t* p = bmp.ScanLine(y);
        for (int x = 0; x < width; ++x, p += 3) {
            p[0] = uint8_t(x * 255 / width);
            p[1] = uint8_t(y * 255 / height);
            p[2] = uint8_t((x ^ y) & 0xFF);
        }
    }
    return bmp;
}

std::string ConvertCommand() {
    return access("/usr/bin/convert", X_OK) == 0 ? "/usr/bin/convert" : "convert";
}

void BM_FrameUpload(benchmark::State& state) {
    if (!Context) return state.SkipWithError("no headless GL context");
    const TBitmap frame = Picture(int(state.range(0)), int(state.range(1)));
    TglBitmap2D texture;
    texture.MipMapMode = kMipMapNone;
    for (auto _ : state) {
        texture.AssignFromBitmap(&frame);
        texture.GenTexture(false);
        glFinish();
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(frame.DataSize()));
}

void BM_BareTexImage(benchmark::State& state) {
    if (!Context) return state.SkipWithError("no headless GL context");
    const int width = int(state.range(0)), height = int(state.range(1));
    const TBitmap frame = Picture(width, height);
    GLuint texture = 0;
    glGenTextures(1, &texture);
    glBindTexture(GL_TEXTURE_2D, texture);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    for (auto _ : state) {
        glTexImage2D(GL_TEXTURE_2D, 0, GL_RGB, width, height, 0, GL_BGR, GL_UNSIGNED_BYTE, frame.Data());
        glFinish();
    }
    glDeleteTextures(1, &texture);
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(frame.DataSize()));
}

void BM_DecodeBmp(benchmark::State& state) {
    const std::string file = Folder + "picture.bmp";
    for (auto _ : state) {
        TBitmap bmp;
        LoadBmpFile(file, bmp);
        benchmark::DoNotOptimize(bmp.Data());
    }
}

void BM_DecodeJpeg(benchmark::State& state) {
    const std::string file = Folder + "picture.jpg";
    for (auto _ : state) {
        TFileStream stream(file, TFileStream::TMode::Read);
        const std::vector<uint8_t> bytes = stream.ReadRest(size_t(1) << 30);
        TBitmap bmp;
        DecodeJpeg(bytes.data(), bytes.size(), bmp);
        benchmark::DoNotOptimize(bmp.Data());
    }
}

void ConvertProcess(benchmark::State& state, const std::string& name) {
    const std::string command = ConvertCommand() + " '" + Folder + name + "' -depth 8 rgb:/dev/null";
    for (auto _ : state)
        if (std::system(command.c_str()) != 0) return state.SkipWithError("convert failed");
}
void BM_ConvertBmp(benchmark::State& state) {
    ConvertProcess(state, "picture.bmp");
}
void BM_ConvertJpeg(benchmark::State& state) {
    ConvertProcess(state, "picture.jpg");
}

BENCHMARK(BM_FrameUpload)->Args({640, 480})->Args({1920, 1080})->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BareTexImage)->Args({640, 480})->Args({1920, 1080})->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DecodeBmp)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ConvertBmp)->Iterations(10)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DecodeJpeg)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ConvertJpeg)->Iterations(10)->Unit(benchmark::kMillisecond);

// Keeps the mean real time per iteration of every run so the pairs can be compared afterwards.
class TRatioReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& run : runs)
            if (!run.error_occurred && run.iterations > 0)
                Times[run.benchmark_name()] = run.real_accumulated_time / double(run.iterations);
        ConsoleReporter::ReportRuns(runs);
    }
    std::map<std::string, double> Times;
};

void PrintRatio(const TRatioReporter& r, const char* what, const std::string& ours,
                const std::string& theirs) {
    const auto a = r.Times.find(ours), b = r.Times.find(theirs);
    if (a == r.Times.end() || b == r.Times.end()) return;
    std::printf("%-44s %8.3f ms vs %8.3f ms  ratio %.2f\n", what, a->second * 1e3, b->second * 1e3,
                a->second / b->second);
}

} // namespace

int main(int argc, char** argv) {
    char folder[] = "/tmp/lumatex-bench-XXXXXX";
    if (!mkdtemp(folder)) return 1;
    Folder = std::string(folder) + "/";
    const TBitmap picture = Picture(1920, 1080);
    SaveBmpFile(picture, Folder + "picture.bmp");
    SaveJpegFile(picture, Folder + "picture.jpg", 90);

    Context = std::make_unique<THeadlessContext>();
    if (!Context->Create(256, 256)) Context.reset();

    benchmark::Initialize(&argc, argv);
    TRatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    std::printf("\nratios (ours / reference, below 1 is faster):\n");
    PrintRatio(reporter, "upload 640x480 vs bare glTexImage2D", "BM_FrameUpload/640/480",
               "BM_BareTexImage/640/480");
    PrintRatio(reporter, "upload 1920x1080 vs bare glTexImage2D", "BM_FrameUpload/1920/1080",
               "BM_BareTexImage/1920/1080");
    PrintRatio(reporter, "BMP decode 1920x1080 vs convert process", "BM_DecodeBmp",
               "BM_ConvertBmp/iterations:10");
    PrintRatio(reporter, "JPEG decode 1920x1080 vs convert process", "BM_DecodeJpeg",
               "BM_ConvertJpeg/iterations:10");

    Context.reset();
    std::remove((Folder + "picture.bmp").c_str());
    std::remove((Folder + "picture.jpg").c_str());
    rmdir(folder);
    benchmark::Shutdown();
    return 0;
}
