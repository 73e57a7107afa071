// bench_cli: the command-line renderer measured as users run it.
//  1. `lumatex-render --bench 5` on the sample video's first frame through a preset of eight pass-through
//     plugins at framebuffer edge 1024 into a 1024 x 768 view, against bench_render's hand-written loop for
//     the same configuration (the hand-written half of BM_Paired/slots:8/fbo:1024, about 5 s of it),
//     alternating three times in the same run; the ratio of the medians is reported. Target: >= 0.95.
//  2. Batch rendering of 100 frames of the sample video to BMP files with the same preset (framebuffer 512,
//     the video's size): the program's wall time and frames per second, and where the time goes. The
//     split is measured in this process on the same frames with the same steps the program takes: decode
//     (decode and convert to the frame bitmap), render (upload and the off-screen save, which reads the
//     picture back and writes its BMP), write (that BMP's file write, timed again here on the same bytes and
//     moved from render to write, plus the rename into place).
//  3. The sample (100 frames), then the sample five times over (500 frames, copied by ffmpeg without
//     decoding), with no slot to BMP frames and to mp4, against decoding alone and rendering alone. At 100
//     frames the run's start-up, taken off its wall time, weighs more; at 500 the 600 MB of new files do.
//  4. The whole clip through eight inverting slots into mp4 (H.264, the program's defaults: crf 23, preset
//     medium, 4:2:0), against `ffmpeg -vf negate` eight times with the same encoder settings, in the same
//     run. Here the passes run on the CPU (llvmpipe); on a graphics card they are nearly free.
#include "gl/HeadlessContext.h"
#include "imaging/glBitmap.h"
#include "platform/Bitmap.h"
#include "platform/Files.h"
#include "platform/MessageSink.h"
#include "plugins/uChainState.h"
#include "presets/uPresets.h"
#include "render/uRenderEngine.h"
#include "video/VideoDecoder.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <optional>
#include <random>
#include <regex>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace fs = std::filesystem;

namespace {

using Clock = std::chrono::steady_clock;

double SecondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

void WriteFile(const fs::path& path, const std::string& text) {
    std::ofstream out(path, std::ios::binary);
    out << text;
}

// A program folder with one pass-through plugin and a preset "eight" that fills all eight slots with it.
std::string MakeProgramFolder() {
    std::random_device rd;
    const fs::path folder = fs::temp_directory_path() / ("lumatex-bench-cli-" + std::to_string(rd()));
    fs::create_directories(folder / "plugins");
    fs::create_directories(folder / "shader");
    fs::create_directories(folder / "presets");
    WriteFile(
        folder / "shader" / "pass.vert",
        "void main()\n{\n    gl_TexCoord[0] = gl_MultiTexCoord0;\n    gl_Position = ftransform();\n}\n");
    WriteFile(folder / "shader" / "pass.frag",
              "uniform sampler2D Texture0;\nvoid main()\n{\n"
              "    gl_FragColor = texture2D(Texture0, gl_TexCoord[0].st);\n}\n");
    WriteFile(
        folder / "plugins" / "pass000.ini",
        "[FileName]\r\nShaderFileName=pass\r\n[ScreenName]\r\nFullName=Pass\r\n[Group]\r\nGroupName=Bench\r\n"
        "[Version]\r\nPluginReader=0.2\r\n[provides]\r\ntexture0=1\r\n");
    std::string preset;
    for (int slot = 1; slot <= 8; ++slot)
        preset += "[" + std::to_string(slot) + "]\r\nPlugInName=pass000.ini\r\nactive=1\r\n";
    WriteFile(folder / "presets" / "eight.prs", preset);
    WriteFile(folder / "shader" / "negate.vert", "varying vec2 TexCoord;\nvoid main()\n{\n"
                                                 "    TexCoord = gl_MultiTexCoord0.st;\n"
                                                 "    gl_Position = ftransform();\n}\n");
    WriteFile(folder / "shader" / "negate.frag",
              "uniform sampler2D Texture0;\nvarying vec2 TexCoord;\nvoid main()\n{\n"
              "    gl_FragColor = vec4(vec3(1.0) - texture2D(Texture0, TexCoord).rgb, 1.0);\n}\n");
    WriteFile(folder / "plugins" / "negate000.ini",
              "[FileName]\r\nShaderFileName=negate\r\n[ScreenName]\r\nFullName=Negate\r\n[Group]\r\n"
              "GroupName=Bench\r\n[Version]\r\nPluginReader=0.2\r\n[provides]\r\ntexture0=1\r\n");
    std::string negate;
    for (int slot = 1; slot <= 8; ++slot)
        negate += "[" + std::to_string(slot) + "]\r\nPlugInName=negate000.ini\r\nactive=1\r\n";
    WriteFile(folder / "presets" / "negate8.prs", negate);
    return folder.string() + "/";
}

struct TRun {
    int Status = -1;
    std::string Out;
    double Seconds = 0;
};

TRun Run(const std::string& program, std::vector<std::string> args, const std::string& scratchFolder) {
    const std::string outPath = scratchFolder + "child-stdout.txt";
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    args.insert(args.begin(), program);
    std::vector<char*> argv;
    for (std::string& a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    TRun run;
    pid_t pid = 0;
    const Clock::time_point start = Clock::now();
    if (posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), environ) == 0) {
        int status = 0;
        waitpid(pid, &status, 0);
        run.Seconds = SecondsSince(start);
        if (WIFEXITED(status)) run.Status = WEXITSTATUS(status);
    }
    posix_spawn_file_actions_destroy(&actions);
    std::ifstream in(outPath, std::ios::binary);
    run.Out.assign(std::istreambuf_iterator<char>(in), {});
    fs::remove(outPath);
    return run;
}

std::optional<double> Match(const std::string& text, const std::string& pattern) {
    std::smatch m;
    if (!std::regex_search(text, m, std::regex(pattern))) return std::nullopt;
    return std::stod(m[1].str());
}

void CompareWithRawLoop(const std::string& bin, const std::string& root, const std::string& video,
                        const std::string& scratch) {
    std::printf("== lumatex-render --bench 5 against bench_render's hand-written loop\n");
    std::printf("   8 pass-through slots, FBO 1024, view 1024x768, source: first frame of %s\n",
                video.c_str());
    if (!FileExists(bin + "bench_render")) {
        std::printf("   skipped: %sbench_render is not built\n", bin.c_str());
        return;
    }
    std::vector<double> cliRates, rawRates;
    for (int round = 1; round <= 3; ++round) {
        const TRun raw = Run(bin + "bench_render",
                             {"--benchmark_filter=BM_Paired/slots:8/fbo:1024", "--benchmark_min_time=10",
                              "--benchmark_format=json"},
                             scratch);
        const TRun cli = Run(bin + "lumatex-render",
                             {"--bench", "5", "--root", root, "--preset", "eight", "--fbo", "1024", "--size",
                              "1024x768", video},
                             scratch);
        const auto rawFps = Match(raw.Out, "\"raw_fps\": ([0-9.eE+-]+)");
        const auto engineFps = Match(raw.Out, "\"engine_fps\": ([0-9.eE+-]+)");
        const auto cliFps = Match(cli.Out, "frames: [0-9]+  fps: ([0-9.]+)");
        if (raw.Status != 0 || cli.Status != 0 || !rawFps || !cliFps) {
            std::printf("   round %d failed: bench_render status %d, lumatex-render status %d\n%s\n", round,
                        raw.Status, cli.Status, cli.Out.c_str());
            continue;
        }
        std::printf("   round %d: lumatex-render %8.2f fps   raw loop %8.2f fps   ratio %.3f"
                    "   (engine in bench_render %.2f fps)\n",
                    round, *cliFps, *rawFps, *cliFps / *rawFps, engineFps ? *engineFps : 0.0);
        cliRates.push_back(*cliFps);
        rawRates.push_back(*rawFps);
    }
    if (cliRates.empty()) return;
    const auto median = [](std::vector<double> v) {
        std::sort(v.begin(), v.end());
        return v.size() % 2 ? v[v.size() / 2] : (v[v.size() / 2 - 1] + v[v.size() / 2]) / 2;
    };
    const double cli = median(cliRates), raw = median(rawRates);
    std::printf(
        "   medians: lumatex-render %.2f fps, raw loop %.2f fps, ratio %.3f (target: at least 0.95)\n", cli,
        raw, cli / raw);
}

// The program's batch, end to end.
void BatchWithTheProgram(const std::string& bin, const std::string& root, const std::string& video,
                         const std::string& scratch) {
    const std::string out = scratch + "batch/";
    fs::create_directories(out);
    const TRun run =
        Run(bin + "lumatex-render",
            {"--root", root, "--preset", "eight", "--frames", "0-99", video, out + "f%03d.bmp"}, scratch);
    int files = 0;
    for (const auto& entry : fs::directory_iterator(out))
        files += entry.is_regular_file() ? 1 : 0;
    std::printf("== lumatex-render --frames 0-99 to BMP (8 slots, FBO 512, %s)\n", video.c_str());
    std::printf("   status %d, %d files, %.2f s wall, %.2f frames/s including start-up\n", run.Status, files,
                run.Seconds, files / run.Seconds);
    fs::remove_all(out);
}

// The same batch in this process, step by step.
void BatchSplit(const std::string& root, const std::string& video, const std::string& scratch) {
    TRecordingMessageSink messages;
    TMessageSinkGuard guard(messages);
    TVideoDecoder decoder;
    if (decoder.Open(video) != 0) {
        std::printf("   split skipped: cannot open %s\n", video.c_str());
        return;
    }
    const int width = decoder.Format().Width;
    const int height = decoder.Format().Height;
    THeadlessContext context;
    if (!context.Create(width, height)) {
        std::printf("   split skipped: no headless context: %s\n", context.LastError().c_str());
        return;
    }
    double decode = 0, render = 0, write = 0;
    int frames = 0;
    {
        TRenderEngine engine(context, root);
        engine.Init(width, height);
        engine.RecreateFBOs(512);
        engine.SetViewport(width, height, 0, 0);
        TChainState chain(engine);
        chain.FormCreate();
        ApplyPreset(chain, root + "presets/eight.prs");
        const std::string out = scratch + "split/";
        fs::create_directories(out);
        TBitmap frame;
        for (; frames < 100; ++frames) {
            Clock::time_point t = Clock::now();
            int64_t ns = 0;
            if (decoder.Decode(ns) != 0) break;
            frame.SetSize(width, height, 24);
            decoder.Convert(frame.Data());
            decode += SecondsSince(t);

            char name[32];
            std::snprintf(name, sizeof name, "f%03d.bmp", frames);
            const std::string scratchBmp = out + name + ".tmp.bmp";
            t = Clock::now();
            engine.UploadSourceFrame(frame);
            engine.SaveGLImage(width, height, scratchBmp);
            render += SecondsSince(t);

            // The BMP write inside the save, timed again on the same bytes, belongs to writing.
            const auto bytes = ReadWholeFile(scratchBmp);
            t = Clock::now();
            {
                std::ofstream again(out + "again.bmp", std::ios::binary | std::ios::trunc);
                again.write(reinterpret_cast<const char*>(bytes->data()), std::streamsize(bytes->size()));
            }
            const double bmpWrite = SecondsSince(t);
            render -= bmpWrite;
            write += bmpWrite;
            t = Clock::now();
            fs::rename(scratchBmp, out + name);
            write += SecondsSince(t);
        }
        fs::remove_all(out);
    }
    const double total = decode + render + write;
    std::printf(
        "   in-process split over %d frames: %.1f frames/s; decode %.1f %%, render %.1f %%, write %.1f %%\n",
        frames, frames / total, 100 * decode / total, 100 * render / total, 100 * write / total);
    std::printf("   per frame: decode %.2f ms, render %.2f ms, write %.2f ms\n", 1000 * decode / frames,
                1000 * render / frames, 1000 * write / frames);
    if (!messages.Entries.empty()) std::printf("   messages: %s\n", messages.Entries[0].Text.c_str());
}

// Frames per second of decoding alone: the program's decoder and its conversion to the frame bitmap,
// over the whole clip, in this process.
double DecodingAlone(const std::string& video, int& frames) {
    TVideoDecoder decoder;
    if (decoder.Open(video) != 0) return 0;
    TBitmap frame;
    frames = 0;
    const Clock::time_point start = Clock::now();
    for (;;) {
        int64_t ns = 0;
        if (decoder.Decode(ns) != 0) break;
        frame.SetSize(decoder.Format().Width, decoder.Format().Height, 24);
        decoder.Convert(frame.Data());
        ++frames;
    }
    return frames / SecondsSince(start);
}

// The sample five times over, its packets copied; the sample itself when ffmpeg does not run.
std::string LongClip(const std::string& video, const std::string& scratch) {
    const std::string longer = scratch + "sample-x5.avi";
    const TRun copy = Run(
        "/usr/bin/ffmpeg",
        {"-nostdin", "-v", "error", "-y", "-stream_loop", "4", "-i", video, "-c", "copy", longer}, scratch);
    return copy.Status == 0 ? longer : video;
}

// A clip rendered to BMP frames with no slot active, against decoding alone and --bench alone on
// the same clip; the run's start-up (a run of one frame) is taken off its wall time. Target: at least 0.9 x
// the slower of the two.
void BatchAgainstParts(const std::string& bin, const std::string& root, const std::string& video,
                       const std::string& scratch) {
    std::printf(
        "== lumatex-render --frames all to BMP (no slot) against decoding alone and --bench alone, %s\n",
        video.c_str());
    const std::string out = scratch + "batch-all/";
    std::vector<double> ratios;
    for (int round = 1; round <= 3; ++round) {
        fs::create_directories(out);
        int frames = 0;
        const double decode = DecodingAlone(video, frames);
        const TRun bench = Run(bin + "lumatex-render", {"--bench", "3", "--root", root, video}, scratch);
        const auto benchFps = Match(bench.Out, "frames: [0-9]+  fps: ([0-9.]+)");
        const TRun one =
            Run(bin + "lumatex-render", {"--root", root, "--frames", "0", video, out + "one.bmp"}, scratch);
        const TRun all = Run(bin + "lumatex-render",
                             {"--root", root, "--frames", "all", video, out + "f%03d.bmp"}, scratch);
        const TRun mp4 =
            Run(bin + "lumatex-render", {"--root", root, "--frames", "all", video, out + "all.mp4"}, scratch);
        fs::remove_all(out);
        if (bench.Status != 0 || one.Status != 0 || all.Status != 0 || mp4.Status != 0 || !benchFps ||
            frames < 2) {
            std::printf("   round %d failed: statuses %d %d %d %d\n", round, bench.Status, one.Status,
                        all.Status, mp4.Status);
            continue;
        }
        const double batch = (frames - 1) / std::max(1e-6, all.Seconds - one.Seconds);
        const double encoded = (frames - 1) / std::max(1e-6, mp4.Seconds - one.Seconds);
        const double slower = std::min(decode, *benchFps);
        std::printf("   round %d: BMP %7.1f fps (%d frames, %.2f s, start-up %.2f s)   mp4 %7.1f fps"
                    "   decoding %7.1f fps   --bench %7.1f fps   BMP ratio to the slower %.3f\n",
                    round, batch, frames, all.Seconds, one.Seconds, encoded, decode, *benchFps,
                    batch / slower);
        ratios.push_back(batch / slower);
    }
    if (ratios.empty()) return;
    std::sort(ratios.begin(), ratios.end());
    std::printf("   median ratio %.3f (target: at least 0.9)\n", ratios[ratios.size() / 2]);
}

// Eight inverting passes into mp4: the program against FFmpeg's own filter chain and the same encoder.
void Mp4AgainstFfmpeg(const std::string& bin, const std::string& root, const std::string& video,
                      const std::string& scratch) {
    std::printf(
        "== lumatex-render 8 x negate into mp4 against ffmpeg -vf negate x 8 (libx264 crf 23 medium)\n");
    const TRun probe = Run("/usr/bin/ffmpeg", {"-v", "error", "-version"}, scratch);
    if (probe.Status != 0) {
        std::printf("   skipped: /usr/bin/ffmpeg does not run\n");
        return;
    }
    std::string chain = "negate";
    for (int i = 1; i < 8; ++i)
        chain += ",negate";
    std::vector<double> ratios;
    for (int round = 1; round <= 3; ++round) {
        const std::string ours = scratch + "ours.mp4", theirs = scratch + "theirs.mp4";
        const TRun lum =
            Run(bin + "lumatex-render",
                {"--root", root, "--preset", "negate8", "--frames", "all", video, ours}, scratch);
        const TRun ff = Run("/usr/bin/ffmpeg",
                            {"-y", "-v", "error", "-i", video, "-vf", chain, "-c:v", "libx264", "-preset",
                             "medium", "-crf", "23", "-pix_fmt", "yuv420p", "-an", theirs},
                            scratch);
        const bool made = FileExists(ours) && FileExists(theirs);
        fs::remove(ours);
        fs::remove(theirs);
        if (lum.Status != 0 || ff.Status != 0 || !made) {
            std::printf("   round %d failed: lumatex-render %d, ffmpeg %d\n", round, lum.Status, ff.Status);
            continue;
        }
        std::printf("   round %d: lumatex-render %.2f s   ffmpeg %.2f s   ffmpeg's time / ours %.3f\n", round,
                    lum.Seconds, ff.Seconds, ff.Seconds / lum.Seconds);
        ratios.push_back(ff.Seconds / lum.Seconds);
    }
    if (ratios.empty()) return;
    std::sort(ratios.begin(), ratios.end());
    std::printf("   median: lumatex-render runs at %.3f x ffmpeg's speed (above 1: faster)\n",
                ratios[ratios.size() / 2]);
}

} // namespace

int main(int, char**) {
    const std::string bin = ProgramFolder();
    const std::string video = std::string(LUMATEX_BIN_DIR) + "/media/sample.avi";
    if (!FileExists(bin + "lumatex-render") || !FileExists(video)) {
        std::printf("bench_cli: needs %slumatex-render and %s (make build)\n", bin.c_str(), video.c_str());
        return 0;
    }
    const std::string root = MakeProgramFolder();
    CompareWithRawLoop(bin, root, video, root);
    BatchWithTheProgram(bin, root, video, root);
    BatchAgainstParts(bin, root, video, root);
    if (const std::string longer = LongClip(video, root); longer != video)
        BatchAgainstParts(bin, root, longer, root);
    Mp4AgainstFfmpeg(bin, root, video, root);
    BatchSplit(root, video, root);
    fs::remove_all(root);
    return 0;
}
