// AudioSources.h: the sound server's input devices (microphones, line inputs, and the monitors that hear
// what an output plays), asked through PulseAudio's API; PipeWire answers it too.
#pragma once

#include <string>
#include <vector>

struct TAudioSourceInfo {
    std::string Name;        // what a capture stream opens, and what the settings keep
    std::string Description; // what the menu shows
};

// Empty when no server answers within a second: a missing or hung server never holds the caller longer.
std::vector<TAudioSourceInfo> ListAudioSources();
