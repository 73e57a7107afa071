// AudioFeatures.h: what sound-reactive plugins see of the sound at one moment: four smoothed levels and the
// two rows of their spectrum texture. A plain value, made in src/video or by the command-line renderer and
// carried to the passes with the frame's other inputs. All zero means no sound at all (none there, or the
// listening is off): the levels read 0 and the texture is black.
#pragma once

#include <array>

inline constexpr int kAudioSpectrumWidth = 512;

struct TAudioFeatures {
    // Overall, bass, mid, treble; each 0..1 (0 = -60 dB or quieter, 1 = full scale).
    std::array<float, 4> Level{};
    // 0..1 log magnitudes of the bands from 0 Hz to half the sample rate, in equal steps.
    std::array<float, kAudioSpectrumWidth> Spectrum{};
    // The latest samples, oldest first, as 0.5 + 0.5 x sample: 0.5 is silence.
    std::array<float, kAudioSpectrumWidth> Waveform{};
    bool operator==(const TAudioFeatures&) const = default;
};
