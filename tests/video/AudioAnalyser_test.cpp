// The sound features on synthetic signals: which band a tone lands in, what silence reads, and how the
// levels rise and fall.
#include "video/AudioAnalyser.h"
#include "video/AudioDecoder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numbers>
#include <vector>

namespace {

// Stereo frames of a sine of the given frequency and peak (0..1), the same on both channels.
std::vector<int16_t> Tone(double hz, double peak, int frames) {
    std::vector<int16_t> samples;
    for (int i = 0; i < frames; ++i) {
        const auto v =
            int16_t(std::lround(32767.0 * peak * std::sin(2.0 * std::numbers::pi * hz * i / kAudioRate)));
        samples.push_back(v);
        samples.push_back(v);
    }
    return samples;
}

TEST(AudioAnalyser, SignalsLandInTheirBands) {
    struct Case {
        const char* Name;
        double Hz;
        double Peak;
        size_t Dominant; // index into Level; 0 = none (all quiet)
        float MinOverall;
        float MaxOverall;
    };
    const Case cases[] = {
        {"silence", 440.0, 0.0, 0, 0.0f, 0.0f},
        {"full-scale bass tone", 80.0, 1.0, 1, 0.95f, 1.0f},
        {"mid tone", 1000.0, 1.0, 2, 0.95f, 1.0f},
        {"high tone", 9000.0, 1.0, 3, 0.95f, 1.0f},
        // -20 dB reads a third of the 60 dB range lower.
        {"quiet mid tone", 1000.0, 0.1, 2, 0.6f, 0.7f},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        TAudioAnalyser analyser(kAudioRate);
        const int frames = kAudioRate / 2;
        const std::vector<int16_t> samples = Tone(c.Hz, c.Peak, frames);
        analyser.Push(samples.data(), frames, kAudioChannels);
        const TAudioFeatures f = analyser.Analyse(frames);
        EXPECT_GE(f.Level[0], c.MinOverall);
        EXPECT_LE(f.Level[0], c.MaxOverall);
        for (size_t band = 1; band < 4; ++band)
            if (c.Dominant != 0 && band != c.Dominant) {
                EXPECT_LT(f.Level[band], f.Level[c.Dominant] - 0.5f);
            }
        const size_t peakBin =
            size_t(std::max_element(f.Spectrum.begin(), f.Spectrum.end()) - f.Spectrum.begin());
        if (c.Peak > 0.0) {
            EXPECT_NEAR(double(peakBin), c.Hz * TAudioAnalyser::kWindowFrames / kAudioRate, 1.0);
            EXPECT_GT(*std::max_element(f.Waveform.begin(), f.Waveform.end()), 0.5f + 0.4f * float(c.Peak));
        } else {
            EXPECT_EQ(*std::max_element(f.Spectrum.begin(), f.Spectrum.end()), 0.0f);
            EXPECT_TRUE(std::all_of(f.Waveform.begin(), f.Waveform.end(), [](float v) { return v == 0.5f; }));
        }
    }
}

TEST(AudioAnalyser, NothingPushedIsAllZero) {
    TAudioAnalyser analyser(kAudioRate);
    EXPECT_EQ(analyser.Analyse(1000), TAudioFeatures{});
    const std::vector<int16_t> samples = Tone(1000.0, 1.0, 4800);
    analyser.Push(samples.data(), 4800, kAudioChannels);
    analyser.Reset();
    EXPECT_EQ(analyser.Analyse(4800), TAudioFeatures{});
}

// A tone that starts after silence and stops again, analysed every 10 ms of sound: up within a few
// analyses, down over a few hundred milliseconds, never jumping past the window's own level.
TEST(AudioAnalyser, LevelsRiseQuicklyAndFallSlowly) {
    TAudioAnalyser analyser(kAudioRate);
    const int step = kAudioRate / 100;
    const std::vector<int16_t> silence(size_t(step * kAudioChannels), 0);
    const std::vector<int16_t> tone = Tone(1000.0, 1.0, step);
    std::vector<float> overall;
    // 0.2 s silence, 0.5 s tone, 1 s silence.
    for (int i = 0; i < 170; ++i) {
        const bool on = i >= 20 && i < 70;
        analyser.Push((on ? tone : silence).data(), size_t(step), kAudioChannels);
        overall.push_back(analyser.Analyse(int64_t(i + 1) * step).Level[0]);
    }
    struct Case {
        const char* When;
        int Index;
        float Min;
        float Max;
    };
    const Case cases[] = {
        {"silence before", 19, 0.0f, 0.0f},   {"50 ms into the tone", 24, 0.9f, 1.0f},
        {"end of the tone", 69, 0.95f, 1.0f}, {"50 ms after", 74, 0.75f, 0.95f},
        {"300 ms after", 99, 0.25f, 0.5f},    {"a second after", 169, 0.0f, 0.05f},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.When);
        EXPECT_GE(overall[size_t(c.Index)], c.Min);
        EXPECT_LE(overall[size_t(c.Index)], c.Max);
    }
    EXPECT_TRUE(std::is_sorted(overall.begin() + 72, overall.end(), std::greater<float>()));
}

} // namespace
