#include "control/Modulator.h"

#include "platform/NumberText.h"
#include "platform/Text.h"

#include <array>
#include <cmath>
#include <numbers>
#include <vector>

namespace {

struct TShapeName {
    TWaveShape Shape;
    const char* Name;
};
constexpr std::array<TShapeName, 5> kShapeNames = {{{TWaveShape::Sine, "sine"},
                                                    {TWaveShape::Triangle, "triangle"},
                                                    {TWaveShape::Saw, "saw"},
                                                    {TWaveShape::Square, "square"},
                                                    {TWaveShape::RandomStep, "random"}}};

// A fixed mix of the cycle number (splitmix64): the same steps on every run and in lumatex-render.
double StepValue(int64_t cycle) {
    uint64_t z = uint64_t(cycle) + 0x9E3779B97F4A7C15ull;
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    z ^= z >> 31;
    return double(z >> 11) / double(1ull << 53) * 2.0 - 1.0;
}

std::vector<std::string_view> Words(std::string_view text) {
    std::vector<std::string_view> words;
    size_t i = 0;
    while (i < text.size()) {
        while (i < text.size() && (text[i] == ' ' || text[i] == '\t'))
            ++i;
        const size_t start = i;
        while (i < text.size() && text[i] != ' ' && text[i] != '\t')
            ++i;
        if (i > start) words.push_back(text.substr(start, i - start));
    }
    return words;
}

bool Within(const std::optional<double>& value, double low, double high) {
    return value && std::isfinite(*value) && *value >= low && *value <= high;
}

} // namespace

double WaveAt(TWaveShape shape, double phase) {
    if (!std::isfinite(phase)) return 0.0;
    const double cycle = std::floor(phase);
    const double p = phase - cycle; // 0..1
    switch (shape) {
    case TWaveShape::Sine:
        return std::sin(2.0 * std::numbers::pi * p);
    case TWaveShape::Triangle:
        if (p < 0.25) return 4.0 * p;
        if (p < 0.75) return 2.0 - 4.0 * p;
        return 4.0 * p - 4.0;
    case TWaveShape::Saw:
        return 2.0 * p - 1.0;
    case TWaveShape::Square:
        return p < 0.5 ? 1.0 : -1.0;
    case TWaveShape::RandomStep:
        return StepValue(int64_t(cycle));
    }
    return 0.0;
}

double ModulatorValue(const TModulator& modulator, double phase) {
    return modulator.Centre + modulator.Depth * WaveAt(modulator.Shape, phase);
}

std::optional<TWaveShape> WaveShapeFromName(std::string_view name) {
    for (const TShapeName& entry : kShapeNames)
        if (SameTextAscii(name, entry.Name)) return entry.Shape;
    return std::nullopt;
}

const char* WaveShapeName(TWaveShape shape) {
    for (const TShapeName& entry : kShapeNames)
        if (entry.Shape == shape) return entry.Name;
    return "sine";
}

std::optional<TModulator> ParseModulatorLine(std::string_view text) {
    const std::vector<std::string_view> words = Words(text);
    if (words.size() != 5) return std::nullopt;
    TModulator modulator;
    const auto shape = WaveShapeFromName(words[0]);
    if (!shape) return std::nullopt;
    modulator.Shape = *shape;
    if (SameTextAscii(words[2], "hz"))
        modulator.InBeats = false;
    else if (SameTextAscii(words[2], "beats"))
        modulator.InBeats = true;
    else
        return std::nullopt;
    const auto rate = ParseFloat(words[1]);
    const auto depth = ParseFloat(words[3]);
    const auto centre = ParseFloat(words[4]);
    const double maxRate = modulator.InBeats ? kMaxRatePerBeat : kMaxRateHz;
    if (!Within(rate, 0.0, maxRate) || *rate <= 0.0) return std::nullopt;
    if (!Within(depth, -kMaxLevel, kMaxLevel) || !Within(centre, -kMaxLevel, kMaxLevel)) return std::nullopt;
    modulator.Rate = *rate;
    modulator.Depth = *depth;
    modulator.Centre = *centre;
    return modulator;
}

std::string ModulatorLine(const TModulator& modulator) {
    return std::string(WaveShapeName(modulator.Shape)) + " " + FloatToText(modulator.Rate) +
           (modulator.InBeats ? " beats " : " hz ") + FloatToText(modulator.Depth) + " " +
           FloatToText(modulator.Centre);
}
