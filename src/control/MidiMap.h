// MidiMap.h: MIDI bindings: a control change moves a parameter component over its bar's full range (0..127
// to 0..1), a note on flips a slot's switch as its button does. "MIDI Learn" binds the next control change
// (or, for a switch, the next note or control change) that arrives; the bindings live in midi.ini:
//   [midi]
//   cc_CHANNEL_NUMBER=SLOT UNIFORM COMPONENT     e.g. cc_1_74=1 amount 1
//   note_CHANNEL_NUMBER=SLOT active              e.g. note_10_36=3 active
// (channels 1..16, slots 1..8, components 1..4). GUI thread; events reach it through the control queue.
#pragma once

#include "control/ControlCommand.h"

#include <optional>
#include <string>
#include <vector>

inline constexpr const char* kMidiSection = "midi";
inline constexpr const char* kMidiFileName = "midi.ini";

struct TMidiEvent {
    enum class TType { Controller = 1, NoteOn, NoteOff };
    TType Type = TType::Controller;
    int Channel = 0; // 0..15
    int Number = 0;  // controller or note, 0..127
    int Value = 0;   // 0..127; a note on of velocity 0 is a note off
};

// What a binding moves: a parameter component, or (Switch) the slot's on/off button.
struct TMidiTarget {
    int Slot = 1; // 1..8
    bool Switch = false;
    std::string UniformName;
    int Component = 0; // 0..3
};

struct TMidiBinding {
    bool Note = false; // a note rather than a control change
    int Channel = 0;
    int Number = 0;
    TMidiTarget Target;
};

class TMidiMap {
public:
    // The next event binds to target (any earlier binding of that event or target goes).
    void Learn(const TMidiTarget& target) { Learning = target; }
    bool IsLearning() const { return Learning.has_value(); }
    void CancelLearn() { Learning.reset(); }
    // Removes every binding to target; false when there was none.
    bool Forget(const TMidiTarget& target);
    bool IsBound(const TMidiTarget& target) const;

    // The command an event asks for. While learning, the event binds instead (learned is set) and asks for
    // nothing.
    std::optional<TControlCommand> Handle(const TMidiEvent& event, bool* learned = nullptr);

    // midi.ini: a missing file is no bindings; lines that name nothing usable are skipped.
    void Load(const std::string& path);
    void Save(const std::string& path) const; // raises ELumatex when the file cannot be written

    std::vector<TMidiBinding> Bindings;

private:
    std::optional<TMidiTarget> Learning;
};

// midi.ini beside the settings file.
std::string MidiFilePath(const std::string& settingsPath);
