// bench_render: the engine's RenderFrame, with the per-frame upload of a 640 x 480 source as playback does,
// against a hand-written GL loop doing the same work (uploads, binds with completeness checks, uniform
// look-ups by name, draws, the swap's glFinish), in the same run, for 0, 2 and 8 active pass-through plugins
// at framebuffer edges 256, 512 and 1024 into a 1024 x 768 view. Also the start-up cost of the catalogue.
// The table at the end gives the engine's frame rate as a share of the hand-written loop's. Then 8 slots at
// FBO 512 in the engine alone, paired the same way: plain slots against slots that ask for their previous
// frame (and mix it in, as a feedback effect does), and 8-bit against 16-bit float framebuffers.
#include "gl/GL.h"
#include "gl/HeadlessContext.h"
#include "imaging/glBitmap.h"
#include "platform/Bitmap.h"
#include "render/uFBO.h"
#include "render/uRenderEngine.h"
#include "render/uShaderPlugin.h"
#include "render/uTimer.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

constexpr int kViewWidth = 1024;
constexpr int kViewHeight = 768;
constexpr int kSourceWidth = 640;
constexpr int kSourceHeight = 480;

THeadlessContext* Context = nullptr;
std::string ProgramFolder; // plugins/ and shader/ of the benchmark, in a temporary folder

const char* kVertexShader =
    "void main()\n{\n    gl_TexCoord[0] = gl_MultiTexCoord0;\n    gl_Position = ftransform();\n}\n";
const char* kFragmentShader = "uniform sampler2D Texture0;\nvoid main()\n{\n"
                              "    gl_FragColor = texture2D(Texture0, gl_TexCoord[0].st);\n}\n";

void WriteFile(const fs::path& path, const std::string& text) {
    std::ofstream out(path, std::ios::binary);
    out << text;
}

// A program folder with `count` pass-through descriptions (pass000.ini ...), each with a shader pair of its
// own whose source differs, so that no compiler cache within the run spares a build.
std::string MakeProgramFolder(int count) {
    std::random_device rd;
    const fs::path folder = fs::temp_directory_path() / ("lumatex-bench-" + std::to_string(rd()));
    fs::create_directories(folder / "plugins");
    fs::create_directories(folder / "shader");
    for (int i = 0; i < count; ++i) {
        char name[32];
        std::snprintf(name, sizeof name, "pass%03d", i);
        WriteFile(folder / "shader" / (std::string(name) + ".vert"), kVertexShader);
        WriteFile(folder / "shader" / (std::string(name) + ".frag"),
                  std::string(kFragmentShader) + "// " + name + "\nconst float unused" + name + " = " +
                      std::to_string(i) + ".0;\n");
        WriteFile(folder / "plugins" / (std::string(name) + ".ini"),
                  std::string("[FileName]\r\nShaderFileName=") + name + "\r\n[ScreenName]\r\nFullName=Pass " +
                      name +
                      "\r\n[Group]\r\nGroupName=Bench\r\n[Version]\r\nPluginReader=0.2\r\n[provides]"
                      "\r\ntexture0=1\r\n");
    }
    return folder.string() + "/";
}

TBitmap MakeSource() {
    TBitmap bitmap(kSourceWidth, kSourceHeight, 24);
    for (int y = 0; y < kSourceHeight; ++y) {
        uint8_t* row = bitmap.ScanLine(y);
        for (int x = 0; x < kSourceWidth * 3; ++x)
            row[x] = uint8_t(x ^ y);
    }
    return bitmap;
}

// Results of every paired run of each configuration, by "slots fbo". Runs shorter than the minimum time are
// the library's iteration estimates and are not kept.
constexpr double kMinTimeSeconds = 2.0;
struct TPairedRun {
    double EngineFps, RawFps, Ratio, EngineCpuMs, RawCpuMs;
};
std::map<std::string, std::vector<TPairedRun>> PairedRuns;
std::string Key(int64_t slots, int64_t fbo) {
    return std::to_string(slots) + " " + std::to_string(fbo);
}
double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

struct TStopwatch {
    std::chrono::steady_clock::time_point Start = std::chrono::steady_clock::now();
    double Seconds() const {
        return std::chrono::duration<double>(std::chrono::steady_clock::now() - Start).count();
    }
};

// CPU time of the calling thread: the work the frame code itself does, apart from the rasteriser's threads
// and from waiting for them.
double ThreadCpuSeconds() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return double(t.tv_sec) + double(t.tv_nsec) * 1e-9;
}

// An engine over a 1024 x 768 view with `activeSlots` pass-through slot instances at the framebuffer edge.
std::unique_ptr<TRenderEngine> MakeEngine(benchmark::State& state, int activeSlots, int fboSize) {
    Context->MakeCurrent();
    auto engine = std::make_unique<TRenderEngine>(*Context, ProgramFolder);
    engine->Init(512, 512);
    engine->RecreateFBOs(fboSize);
    engine->SetViewport(kViewWidth, kViewHeight, 0, 0);
    for (int k = 0; k < activeSlots; ++k) {
        engine->Slots[size_t(k)] = std::make_unique<TShaderPlugin>(ProgramFolder + "plugins/", "pass000.ini",
                                                                   ProgramFolder + "shader/");
        if (!engine->Slots[size_t(k)]->Load()) state.SkipWithError("plugin did not load");
        engine->SlotActive[size_t(k)] = true;
    }
    engine->RebuildActiveOrder();
    return engine;
}

// One frame as playback renders it: the new source uploaded, then the chain.
void EngineFrame(TRenderEngine& engine, const TBitmap& source) {
    engine.UploadSourceFrame(source);
    engine.RenderFrame(false);
}

// A description that asks for its slot's previous frame and mixes it into the picture.
void AddFeedbackPlugin(const std::string& programFolder) {
    const fs::path folder(programFolder);
    WriteFile(folder / "shader" / "feedback.vert", kVertexShader);
    WriteFile(folder / "shader" / "feedback.frag",
              "uniform sampler2D Texture0;\nuniform sampler2D PreviousFrame;\nvoid main()\n{\n"
              "    vec2 st = gl_TexCoord[0].st;\n"
              "    gl_FragColor = mix(texture2D(Texture0, st), texture2D(PreviousFrame, st), 0.5);\n}\n");
    WriteFile(
        folder / "plugins" / "feedback.ini",
        "[FileName]\r\nShaderFileName=feedback\r\n[ScreenName]\r\nFullName=Feedback\r\n[Group]\r\n"
        "GroupName=Bench\r\n[Version]\r\nPluginReader=0.2\r\n[provides]\r\ntexture0=1\r\nprevious=1\r\n");
}

// Eight slots of one description at FBO 512, float framebuffers or not.
std::unique_ptr<TRenderEngine> MakeVariant(benchmark::State& state, const std::string& ini, bool floatFBOs) {
    auto engine = MakeEngine(state, 0, 512);
    if (floatFBOs && !engine->SetFloatFramebuffers(true)) state.SkipWithError("no float framebuffers");
    for (size_t k = 0; k < 8; ++k) {
        engine->Slots[k] =
            std::make_unique<TShaderPlugin>(ProgramFolder + "plugins/", ini, ProgramFolder + "shader/");
        if (!engine->Slots[k]->Load()) state.SkipWithError("plugin did not load");
        engine->SlotActive[k] = true;
    }
    engine->RebuildActiveOrder();
    return engine;
}

// Two engines' frames alternating as in BM_Paired: range(0) 0 = plain against previous-frame slots,
// 1 = 8-bit against float framebuffers. "ratio": the second's frame rate as a share of the first's.
std::map<int64_t, std::vector<double>> VariantRatios;
void BM_Variants(benchmark::State& state) {
    const bool precision = state.range(0) == 1;
    auto first = MakeVariant(state, "pass000.ini", false);
    auto second = MakeVariant(state, precision ? "pass000.ini" : "feedback.ini", precision);
    const TBitmap source = MakeSource();
    double seconds[2] = {0, 0};
    uint64_t frame = 0;
    for (auto _ : state) {
        for (int turn = 0; turn < 2; ++turn) {
            const int which = (turn + int(frame & 1)) % 2;
            TRenderEngine& engine = which == 0 ? *first : *second;
            engine.FrameInputs.Frame = int64_t(frame); // the previous frames move on once per frame
            TStopwatch watch;
            EngineFrame(engine, source);
            seconds[which] += watch.Seconds();
        }
        ++frame;
    }
    const double frames = double(state.iterations());
    state.counters["first_fps"] = frames / seconds[0];
    state.counters["second_fps"] = frames / seconds[1];
    state.counters["ratio"] = seconds[0] / seconds[1];
    if (seconds[0] + seconds[1] >= 0.9 * kMinTimeSeconds)
        VariantRatios[state.range(0)].push_back(seconds[0] / seconds[1]);
}

// The same frame written out by hand: one texture, two framebuffers and the programs, called directly.
class TRawLoop {
public:
    TRawLoop(int activeSlots, int fboSize) : ActiveSlots(activeSlots), FBOSize(fboSize) {
        for (int k = 0; k < activeSlots; ++k)
            Programs.push_back(std::make_unique<TShader>(ProgramFolder + "shader/", "pass000"));
        for (TTarget& t : Targets) {
            glGenFramebuffers(1, &t.Framebuffer);
            glGenRenderbuffers(1, &t.Depth);
            glBindRenderbuffer(GL_RENDERBUFFER, t.Depth);
            glRenderbufferStorage(GL_RENDERBUFFER, GL_DEPTH_COMPONENT24, fboSize, fboSize);
            glGenTextures(1, &t.Texture);
            glBindTexture(GL_TEXTURE_2D, t.Texture);
            glTexImage2D(GL_TEXTURE_2D, 0, GL_RGB, fboSize, fboSize, 0, GL_RGB, GL_UNSIGNED_BYTE, nullptr);
            glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
            glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
            glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
            glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
        }
        glBindFramebuffer(GL_FRAMEBUFFER, 0);
    }
    ~TRawLoop() {
        for (TTarget& t : Targets) {
            glDeleteFramebuffers(1, &t.Framebuffer);
            glDeleteRenderbuffers(1, &t.Depth);
            glDeleteTextures(1, &t.Texture);
        }
        glDeleteTextures(1, &SourceTexture);
    }

    void Frame(const TBitmap& source) {
        Timer.Update();
        Upload(source);
        const int n = ActiveSlots;
        int program = 0;
        BindTarget(Targets[0]);
        Pass(SourceTexture, false, n >= 1 ? program++ : -1, true);
        int last = 0;
        for (int k = 1; k <= n - 2; ++k) {
            const int target = k % 2 == 1 ? 1 : 0;
            BindTarget(Targets[size_t(target)]);
            Pass(Targets[size_t(last)].Texture, true, program++, true);
            last = target;
        }
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        glViewport(0, 0, kViewWidth, kViewHeight);
        Pass(Targets[size_t(last)].Texture, true, n >= 2 ? program : -1, false);
        glFinish();
    }

private:
    struct TTarget {
        GLuint Framebuffer = 0, Depth = 0, Texture = 0;
    };

    void Upload(const TBitmap& source) {
        const size_t rowBytes = size_t(kSourceWidth) * 3;
        std::unique_ptr<uint8_t[]> pixels(new uint8_t[rowBytes * kSourceHeight]());
        for (int y = 0; y < kSourceHeight; ++y)
            std::memcpy(pixels.get() + rowBytes * size_t(y), source.ScanLine(y), rowBytes);
        if (SourceTexture) glDeleteTextures(1, &SourceTexture);
        glGenTextures(1, &SourceTexture);
        glBindTexture(GL_TEXTURE_2D, SourceTexture);
        glBindTexture(GL_TEXTURE_2D, SourceTexture);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_R, GL_CLAMP_TO_EDGE);
        glBindTexture(GL_TEXTURE_2D, SourceTexture);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
        glTexImage2D(GL_TEXTURE_2D, 0, GL_RGB, kSourceWidth, kSourceHeight, 0, GL_BGR, GL_UNSIGNED_BYTE,
                     pixels.get());
        pixels.reset();
        GLint compressed = 0;
        glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_COMPRESSED, &compressed);
        GLboolean resident = GL_FALSE;
        glAreTexturesResident(1, &SourceTexture, &resident);
    }

    void BindTarget(const TTarget& t) {
        glBindFramebuffer(GL_FRAMEBUFFER, t.Framebuffer);
        glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_DEPTH_ATTACHMENT, GL_RENDERBUFFER, t.Depth);
        glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, t.Texture, 0);
        if (glCheckFramebufferStatus(GL_FRAMEBUFFER) != GL_FRAMEBUFFER_COMPLETE) std::abort();
        glDrawBuffer(GL_COLOR_ATTACHMENT0);
        glClearColor(0, 0, 0, 1);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        glViewport(0, 0, FBOSize, FBOSize);
    }

    // One quad over the view's projection; into a framebuffer with the matrices kept on their stacks.
    void Pass(GLuint texture, bool flipped, int program, bool intoFramebuffer) {
        glDisable(GL_CULL_FACE);
        glDisable(GL_DEPTH_TEST);
        glMatrixMode(GL_PROJECTION);
        if (intoFramebuffer) glPushMatrix();
        glLoadIdentity();
        glOrtho(0, kViewWidth, kViewHeight, 0, -1, 1);
        glMatrixMode(GL_MODELVIEW);
        if (intoFramebuffer) glPushMatrix();
        glLoadIdentity();
        if (program >= 0) {
            const GLhandleARB handle = Programs[size_t(program)]->ProgramHandle;
            glUseProgramObjectARB(handle);
            glUniform1iARB(glGetUniformLocationARB(handle, "Texture0"), 0);
        }
        glActiveTexture(GL_TEXTURE0);
        glBindTexture(GL_TEXTURE_2D, texture);
        glEnable(GL_TEXTURE_2D);
        const int top = flipped ? 1 : 0;
        glBegin(GL_QUADS);
        glTexCoord2i(0, top);
        glVertex2i(0, 0);
        glTexCoord2i(1, top);
        glVertex2i(kViewWidth, 0);
        glTexCoord2i(1, 1 - top);
        glVertex2i(kViewWidth, kViewHeight);
        glTexCoord2i(0, 1 - top);
        glVertex2i(0, kViewHeight);
        glEnd();
        glDisable(GL_TEXTURE_2D);
        if (program >= 0) glUseProgramObjectARB(0);
        if (intoFramebuffer) {
            glMatrixMode(GL_PROJECTION);
            glPopMatrix();
            glMatrixMode(GL_MODELVIEW);
            glPopMatrix();
        }
        glEnable(GL_DEPTH_TEST);
        glEnable(GL_CULL_FACE);
        glColor4f(1, 1, 1, 1);
        if (intoFramebuffer) glBindFramebuffer(GL_FRAMEBUFFER, 0);
    }

    int ActiveSlots;
    int FBOSize;
    std::vector<std::unique_ptr<TShader>> Programs;
    std::array<TTarget, 2> Targets;
    GLuint SourceTexture = 0;
    TGameTimer Timer;
};

// Engine and hand-written frames alternating, each timed on its own, so that both see the same moments of a
// machine that other work shares; the order swaps every iteration. Gives the ratio of their frame rates.
void BM_Paired(benchmark::State& state) {
    auto engine = MakeEngine(state, int(state.range(0)), int(state.range(1)));
    TRawLoop loop(int(state.range(0)), int(state.range(1)));
    const TBitmap source = MakeSource();
    double engineSeconds = 0, rawSeconds = 0, engineCpu = 0, rawCpu = 0;
    bool engineFirst = true;
    for (auto _ : state) {
        for (int turn = 0; turn < 2; ++turn) {
            TStopwatch watch;
            const double cpuStart = ThreadCpuSeconds();
            if ((turn == 0) == engineFirst) {
                EngineFrame(*engine, source);
                engineSeconds += watch.Seconds();
                engineCpu += ThreadCpuSeconds() - cpuStart;
            } else {
                loop.Frame(source);
                rawSeconds += watch.Seconds();
                rawCpu += ThreadCpuSeconds() - cpuStart;
            }
        }
        engineFirst = !engineFirst;
    }
    const double frames = double(state.iterations());
    const TPairedRun run{frames / engineSeconds, frames / rawSeconds, rawSeconds / engineSeconds,
                         engineCpu / frames * 1000.0, rawCpu / frames * 1000.0};
    state.counters["engine_fps"] = run.EngineFps;
    state.counters["raw_fps"] = run.RawFps;
    state.counters["ratio"] = run.Ratio;
    if (engineSeconds + rawSeconds >= 0.9 * kMinTimeSeconds)
        PairedRuns[Key(state.range(0), state.range(1))].push_back(run);
}

void RenderArguments(benchmark::internal::Benchmark* b) {
    for (int slots : {0, 2, 8})
        for (int fbo : {256, 512, 1024})
            b->Args({slots, fbo});
    b->ArgNames({"slots", "fbo"})->Unit(benchmark::kMillisecond)->UseRealTime();
}

// Construction and Init with a catalogue of range(0) descriptions, then destruction.
void BM_EngineStartup(benchmark::State& state) {
    Context->MakeCurrent();
    const std::string folder = MakeProgramFolder(int(state.range(0)));
    for (auto _ : state) {
        TRenderEngine engine(*Context, folder);
        engine.Init(512, 512);
        benchmark::DoNotOptimize(engine.Catalogue.size());
    }
    fs::remove_all(folder);
}

} // namespace

BENCHMARK(BM_Paired)->Apply(RenderArguments);
BENCHMARK(BM_Variants)->Arg(0)->Arg(1)->ArgName("float")->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_EngineStartup)->Arg(0)->Arg(100)->Unit(benchmark::kMillisecond)->UseRealTime();

int main(int argc, char** argv) {
    THeadlessContext context;
    if (!context.Create(kViewWidth, kViewHeight)) {
        std::fprintf(stderr, "bench_render: no headless OpenGL context: %s\n", context.LastError().c_str());
        return 0;
    }
    Context = &context;
    ProgramFolder = MakeProgramFolder(1);
    AddFeedbackPlugin(ProgramFolder);

    // Unless told otherwise: three runs of each configuration, engine and hand-written runs interleaved at
    // random, so that a busy moment of the machine does not fall on one side only.
    std::vector<char*> args(argv, argv + argc);
    std::string repetitions = "--benchmark_repetitions=3",
                interleave = "--benchmark_enable_random_interleaving=true",
                minTime = "--benchmark_min_time=" + std::to_string(kMinTimeSeconds);
    if (argc == 1) args.insert(args.end(), {repetitions.data(), interleave.data(), minTime.data()});
    int count = int(args.size());
    benchmark::Initialize(&count, args.data());
    if (benchmark::ReportUnrecognizedArguments(count, args.data())) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();

    std::printf(
        "\nengine / hand-written loop, paired runs, medians (target: ratio of frame rates at least 0.95)\n");
    std::printf("%-6s %-5s %11s %11s %7s %16s %16s\n", "slots", "fbo", "engine fps", "raw fps", "ratio",
                "engine cpu ms/f", "raw cpu ms/f");
    for (int slots : {0, 2, 8})
        for (int fbo : {256, 512, 1024}) {
            const auto found = PairedRuns.find(Key(slots, fbo));
            if (found == PairedRuns.end()) continue;
            auto median = [&](double TPairedRun::*field) {
                std::vector<double> values;
                for (const TPairedRun& run : found->second)
                    values.push_back(run.*field);
                return Median(values);
            };
            std::printf("%-6d %-5d %11.1f %11.1f %7.3f %16.3f %16.3f\n", slots, fbo,
                        median(&TPairedRun::EngineFps), median(&TPairedRun::RawFps),
                        median(&TPairedRun::Ratio), median(&TPairedRun::EngineCpuMs),
                        median(&TPairedRun::RawCpuMs));
        }
    const char* variants[] = {"8 slots asking for their previous frame / 8 plain slots",
                              "8 slots, 16-bit float / 8-bit framebuffers"};
    std::printf("\nframe rate ratios at FBO 512, paired runs, medians (reported, no target)\n");
    for (int64_t v : {0, 1})
        if (!VariantRatios[v].empty()) std::printf("%-58s %7.3f\n", variants[v], Median(VariantRatios[v]));
    fs::remove_all(ProgramFolder);
    return 0;
}
