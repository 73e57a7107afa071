#include "video/AudioAnalyser.h"

#include <kiss_fftr.h>

#include <algorithm>
#include <cmath>
#include <numbers>

namespace {

constexpr int kN = TAudioAnalyser::kWindowFrames;
constexpr int kHistoryFrames = 16 * kN; // a third of a second at 48 kHz: enough for a late question
// A beat should show within a frame of the picture; its decay is what the eye follows.
constexpr double kAttackSeconds = 0.015;
constexpr double kReleaseSeconds = 0.3;
// The bands: bass up to the kick drum and bass line, treble from sibilance and cymbals up.
constexpr double kBassTopHz = 250.0;
constexpr double kTrebleBottomHz = 4000.0;
// Levels span 60 dB below full scale; the spectrum's bins 80 dB, so a quiet partial still shows.
constexpr double kLevelRangeDb = 60.0;
constexpr double kSpectrumRangeDb = 80.0;

float DbToUnit(double db, double rangeDb) {
    return float(std::clamp((db + rangeDb) / rangeDb, 0.0, 1.0));
}

// A band's mean square as the level of the sine that would carry it: a full-scale sine reads 0 dB.
float LevelOf(double meanSquare) {
    if (meanSquare <= 0.0) return 0.0f;
    return DbToUnit(10.0 * std::log10(2.0 * meanSquare), kLevelRangeDb);
}

} // namespace

struct TAudioAnalyser::TFft {
    kiss_fftr_cfg Config = kiss_fftr_alloc(kN, 0, nullptr, nullptr);
    std::vector<float> Hann = std::vector<float>(kN);
    double HannSquares = 0.0;
    std::vector<float> In = std::vector<float>(kN);
    std::vector<kiss_fft_cpx> Bins = std::vector<kiss_fft_cpx>(kN / 2 + 1);
    TFft() {
        for (int i = 0; i < kN; ++i) {
            Hann[size_t(i)] = float(0.5 - 0.5 * std::cos(2.0 * std::numbers::pi * i / kN));
            HannSquares += double(Hann[size_t(i)]) * Hann[size_t(i)];
        }
    }
    ~TFft() { kiss_fftr_free(Config); }
    TFft(const TFft&) = delete;
    TFft& operator=(const TFft&) = delete;
};

TAudioAnalyser::TAudioAnalyser(int rate)
    : FRate(rate), FFft(std::make_unique<TFft>()), FWindow(kN), FHistory(kHistoryFrames) {}

TAudioAnalyser::~TAudioAnalyser() = default;

void TAudioAnalyser::Push(const int16_t* samples, size_t frames, int channels) {
    if (channels < 1) return;
    std::lock_guard<std::mutex> guard(FMutex);
    for (size_t f = 0; f < frames; ++f) {
        int sum = 0;
        for (int c = 0; c < channels; ++c)
            sum += samples[f * size_t(channels) + size_t(c)];
        FHistory[size_t(FPushed % kHistoryFrames)] = float(sum) / (32768.0f * float(channels));
        ++FPushed;
    }
}

void TAudioAnalyser::Reset() {
    std::lock_guard<std::mutex> guard(FMutex);
    FPushed = 0;
    FSmoothed = false;
    FLevel = {};
}

int64_t TAudioAnalyser::PushedFrames() const {
    std::lock_guard<std::mutex> guard(FMutex);
    return FPushed;
}

void TAudioAnalyser::CopyWindowLocked(int64_t endFrame) {
    const int64_t start = endFrame - kN;
    for (int i = 0; i < kN; ++i) {
        const int64_t frame = start + i;
        // Before the timeline, or so old the ring holds newer sound there: silence.
        const bool kept = frame >= 0 && frame < FPushed && frame >= FPushed - kHistoryFrames;
        FWindow[size_t(i)] = kept ? FHistory[size_t(frame % kHistoryFrames)] : 0.0f;
    }
}

void TAudioAnalyser::SpectrumLocked(TAudioFeatures& features, std::array<float, 4>& levels) {
    TFft& fft = *FFft;
    for (int i = 0; i < kN; ++i)
        fft.In[size_t(i)] = FWindow[size_t(i)] * fft.Hann[size_t(i)];
    kiss_fftr(fft.Config, fft.In.data(), fft.Bins.data());
    // Parseval: twice a bin's power over N and the window's energy is its share of the mean square.
    const double toMeanSquare = 2.0 / (double(kN) * fft.HannSquares);
    // A full-scale sine on a bin has a magnitude of N / 4 under the Hann window.
    const double toAmplitude = 4.0 / kN;
    const double binHz = double(FRate) / kN;
    std::array<double, 4> meanSquare{};
    for (int k = 0; k <= kN / 2; ++k) {
        const kiss_fft_cpx bin = fft.Bins[size_t(k)];
        const double power = double(bin.r) * bin.r + double(bin.i) * bin.i;
        if (k < kAudioSpectrumWidth) {
            const double amplitude = std::sqrt(power) * toAmplitude;
            features.Spectrum[size_t(k)] =
                amplitude > 0.0 ? DbToUnit(20.0 * std::log10(amplitude), kSpectrumRangeDb) : 0.0f;
        }
        if (k == 0) continue; // the offset is no sound
        const double hz = k * binHz;
        const size_t band = hz < kBassTopHz ? 1 : hz < kTrebleBottomHz ? 2 : 3;
        meanSquare[0] += power * toMeanSquare;
        meanSquare[band] += power * toMeanSquare;
    }
    for (size_t b = 0; b < 4; ++b)
        levels[b] = LevelOf(meanSquare[b]);
}

void TAudioAnalyser::SmoothLocked(const std::array<float, 4>& levels, int64_t endFrame,
                                  TAudioFeatures& features) {
    // The first analysis, or one that goes back in the sound (a loop): nothing to move from.
    if (!FSmoothed || endFrame < FLastEnd) {
        FLevel = levels;
    } else {
        const double seconds = double(endFrame - FLastEnd) / FRate;
        const float attack = float(1.0 - std::exp(-seconds / kAttackSeconds));
        const float release = float(1.0 - std::exp(-seconds / kReleaseSeconds));
        for (size_t b = 0; b < 4; ++b)
            FLevel[b] += (levels[b] - FLevel[b]) * (levels[b] > FLevel[b] ? attack : release);
    }
    FSmoothed = true;
    FLastEnd = endFrame;
    features.Level = FLevel;
}

TAudioFeatures TAudioAnalyser::Analyse(int64_t endFrame) {
    TAudioFeatures features;
    std::lock_guard<std::mutex> guard(FMutex);
    if (FPushed == 0) return features;
    endFrame = std::min(endFrame, FPushed);
    CopyWindowLocked(endFrame);
    std::array<float, 4> levels{};
    SpectrumLocked(features, levels);
    SmoothLocked(levels, endFrame, features);
    const size_t first = size_t(kN - kAudioSpectrumWidth);
    for (size_t i = 0; i < size_t(kAudioSpectrumWidth); ++i)
        features.Waveform[i] = std::clamp(0.5f + 0.5f * FWindow[first + i], 0.0f, 1.0f);
    return features;
}
