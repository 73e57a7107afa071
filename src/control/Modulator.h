// Modulator.h: a parameter component that moves on its own: value = centre + depth x wave, the wave in
// -1..1 of a shape at a rate in cycles per second or cycles per beat, and the line that stores one in a
// preset ("sine 0.5 hz 0.4 0.5"). Pure functions and values; any thread.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

enum class TWaveShape { Sine = 1, Triangle, Saw, Square, RandomStep };

struct TModulator {
    TWaveShape Shape = TWaveShape::Sine;
    double Rate = 1.0;    // cycles per second, or per beat with InBeats
    bool InBeats = false; // the rate follows the tempo
    double Depth = 0.5;
    double Centre = 0.5;

    bool operator==(const TModulator&) const = default;
};

// Accepted ranges: a rate above 0 and at most kMaxRateHz (hz) or kMaxRatePerBeat (beats); depth and centre
// within +-kMaxLevel. Anything else is a line to ignore, not a value to limit.
inline constexpr double kMaxRateHz = 1000.0;
inline constexpr double kMaxRatePerBeat = 64.0;
inline constexpr double kMaxLevel = 1.0e6;

// The wave at phase (in cycles since the start; any real number) in -1..1. Sine and triangle start at 0
// rising, saw rises from -1 to 1, square is 1 for the first half of a cycle and -1 for the second, random
// step holds one value per cycle, the same for the same cycle number on every run.
double WaveAt(TWaveShape shape, double phase);

// The modulator's value at a phase.
double ModulatorValue(const TModulator& modulator, double phase);

// "sine", "triangle", "saw", "square", "random" (compared without regard to case).
std::optional<TWaveShape> WaveShapeFromName(std::string_view name);
const char* WaveShapeName(TWaveShape shape);

// "SHAPE RATE hz|beats DEPTH CENTRE", blanks between; nullopt for anything else (an unknown shape or unit,
// a number that is no number, a value out of its range, more or fewer words).
std::optional<TModulator> ParseModulatorLine(std::string_view text);
std::string ModulatorLine(const TModulator& modulator);
