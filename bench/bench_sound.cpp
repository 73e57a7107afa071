// bench_sound: a 60-s clip with a click and a white flash every second, played with its sound through a
// private sound server (PulseAudio, null sink, recorded from its monitor), as the program plays a file:
//  - the offset of the sound heard against the picture handed over, two ways: each recorded click against
//    its flash's hand-off, and each frame's presentation time against the position the device was playing
//    at its hand-off (median, 99th percentile, maximum of the absolute offset; target maximum 40 ms);
//  - the share of the clip's frames handed over, with sound and without it;
//  - the CPU of the sound path (decoding, resampling, the analysis and the device writes: the sound thread)
//    per second of playback.
// Needs pulseaudio, pacat, parec and ffmpeg.
#include "ThreadCpu.h"
#include "support/PrivateSoundServer.h"
#include "video/AudioClock.h"
#include "video/FilterGraph.h"
#include "video/SampleGrabber.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <memory>
#include <mutex>
#include <random>
#include <string>
#include <thread>
#include <vector>

namespace fs = std::filesystem;

namespace {

constexpr int kSeconds = 60;
constexpr int kFramesPerSecond = 25;

using Clock = std::chrono::steady_clock;

using bench_cpu::NamedThreadCpuSeconds;

struct TSpread {
    double Median = 0, P99 = 0, Max = 0;
    size_t Count = 0;
};

TSpread SpreadOfAbsolute(std::vector<double> values) {
    for (double& v : values)
        v = std::abs(v);
    std::sort(values.begin(), values.end());
    TSpread s;
    s.Count = values.size();
    if (values.empty()) return s;
    s.Median = values[values.size() / 2];
    s.P99 = values[std::min(values.size() - 1, values.size() * 99 / 100)];
    s.Max = values.back();
    return s;
}

struct TRun {
    std::vector<Clock::time_point> Flashes;
    std::vector<double> FrameOffsetsMs; // presentation time minus the position heard, at each hand-off
    int Frames = 0;
    double SoundCpu = -1; // seconds of the sound thread
    double Seconds = 0;
};

// Plays the clip for its length; with sound, the device's clock leads and every hand-off is compared
// with the position heard.
TRun Play(const std::string& clip, bool withSound) {
    TRun run;
    std::shared_ptr<TAudioClock> sound = withSound ? std::make_shared<TAudioClock>() : nullptr;
    TFilterGraph graph(sound);
    graph.SetActive(true);
    std::mutex mutex;
    bool lit = false;
    TSampleGrabber grabber;
    grabber.OnBuffer = [&](TSampleGrabber*, double sampleTime, const uint8_t* data, int32_t) {
        const bool bright = data[0] > 128;
        const int64_t heard = sound ? sound->HeardMediaNs() : -1;
        std::lock_guard<std::mutex> guard(mutex);
        if (bright && !lit) run.Flashes.push_back(Clock::now());
        lit = bright;
        if (heard >= 0) run.FrameOffsetsMs.push_back(sampleTime * 1e3 - double(heard) / 1e6);
        ++run.Frames;
    };
    grabber.SetFilterGraph(&graph);
    graph.RenderFile(clip);
    if (sound && !sound->Open(clip)) std::printf("the sound did not open: %s\n", sound->StatusText().c_str());
    const Clock::time_point start = Clock::now();
    graph.Play();
    std::this_thread::sleep_for(std::chrono::milliseconds(kSeconds * 1000 - 200));
    if (sound) run.SoundCpu = NamedThreadCpuSeconds("lumatex-sound");
    run.Seconds = std::chrono::duration<double>(Clock::now() - start).count();
    graph.Stop();
    return run;
}

std::vector<double> ClickOffsetsMs(const TRun& run, const std::vector<Clock::time_point>& clicks) {
    std::vector<double> offsets;
    for (auto flash : run.Flashes) {
        double best = 1e9;
        for (auto click : clicks) {
            const double ms = std::chrono::duration<double, std::milli>(click - flash).count();
            if (std::abs(ms) < std::abs(best)) best = ms;
        }
        offsets.push_back(best);
    }
    return offsets;
}

void Report(const char* what, const TSpread& s) {
    std::printf("%-44s median %6.1f ms, 99th percentile %6.1f ms, maximum %6.1f ms over %zu (target maximum "
                "40 ms)\n",
                what, s.Median, s.P99, s.Max, s.Count);
}

} // namespace

int main() {
    std::random_device rd;
    const fs::path folder = fs::temp_directory_path() / ("lumatex-bench-sound-" + std::to_string(rd()));
    fs::create_directories(folder);
    const std::string clip = (folder / "click.avi").string();
    const std::string seconds = std::to_string(kSeconds);
    const std::string make = "ffmpeg -nostdin -v error -y -f lavfi -i \"color=c=black:s=64x48:r=" +
                             std::to_string(kFramesPerSecond) + ":d=" + seconds +
                             ",geq=lum='if(lt(mod(T,1),0.02),255,16)':cb=128:cr=128\" -f lavfi -i "
                             "\"aevalsrc='if(lt(mod(t,1),0.01),0.8*sin(2*PI*1000*t),0)':s=48000:d=" +
                             seconds + "\" -c:v mjpeg -q:v 2 -c:a pcm_s16le -shortest \"" + clip + "\"";
    if (std::system(make.c_str()) != 0) {
        std::printf("bench_sound: ffmpeg could not make the clip\n");
        return 1;
    }
    sound_test::TPrivateSoundServer server((folder / "pulse").string());
    if (!server.Ready) {
        std::printf("bench_sound: the private sound server did not start\n");
        return 1;
    }
    std::printf("== a %d-s clip, a click and a flash every second, %d fps, through a null sink\n", kSeconds,
                kFramesPerSecond);
    server.StartRecording();
    const TRun withSound = Play(clip, true);
    server.StopRecording();
    const std::vector<double> clicks = ClickOffsetsMs(withSound, server.Onsets(2000));
    const TRun silent = Play(clip, false);

    Report("click heard after its flash's hand-off:", SpreadOfAbsolute(clicks));
    Report("frame time against the position heard:", SpreadOfAbsolute(withSound.FrameOffsetsMs));
    std::vector<double> firstHalf(withSound.FrameOffsetsMs.begin(),
                                  withSound.FrameOffsetsMs.begin() +
                                      long(withSound.FrameOffsetsMs.size() / 2));
    std::vector<double> secondHalf(withSound.FrameOffsetsMs.begin() +
                                       long(withSound.FrameOffsetsMs.size() / 2),
                                   withSound.FrameOffsetsMs.end());
    std::sort(firstHalf.begin(), firstHalf.end());
    std::sort(secondHalf.begin(), secondHalf.end());
    if (!firstHalf.empty() && !secondHalf.empty())
        std::printf("drift: signed median offset %.1f ms in the first half, %.1f ms in the second\n",
                    firstHalf[firstHalf.size() / 2], secondHalf[secondHalf.size() / 2]);
    const double expected = (kSeconds - 0.2) * kFramesPerSecond;
    std::printf("frames handed over: %d with sound, %d without, of about %.0f (%.1f %% and %.1f %%)\n",
                withSound.Frames, silent.Frames, expected, 100.0 * withSound.Frames / expected,
                100.0 * silent.Frames / expected);
    if (withSound.SoundCpu >= 0)
        std::printf("sound thread: %.4f s of CPU per second of playback (%.2f %% of a core)\n",
                    withSound.SoundCpu / withSound.Seconds, 100.0 * withSound.SoundCpu / withSound.Seconds);
    std::error_code ec;
    fs::remove_all(folder, ec);
    return 0;
}
