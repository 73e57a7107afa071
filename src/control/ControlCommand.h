// ControlCommand.h: one change asked for from outside the windows (an OSC message, a MIDI event), as a
// plain value that crosses from the receiving thread to the GUI thread.
#pragma once

#include <array>
#include <string>

struct TControlCommand {
    enum class TKind {
        SetParam = 1,
        SetActive,
        ToggleActive,
        SetPlugin,
        Preset,
        Play,
        Pause,
        Stop,
        Bpm,
        Tap,
        Resync
    };
    TKind Kind = TKind::SetParam;
    int Slot = 0;      // 1..8 for the slot commands
    std::string Name;  // uniform name, plugin description file ("NONE": empty the slot), preset name
    int Component = 0; // first component set (0..3)
    int Count = 0;     // components in Values
    std::array<float, 4> Values{};
    bool On = false;   // SetActive
    double Number = 0; // Bpm
};
