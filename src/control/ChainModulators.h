// ChainModulators.h: the modulators of the chain, one per parameter component of a slot, evaluated into
// the slot instances' values at a time, and their preset keys: "modulate_UNIFORM_C=SHAPE RATE hz|beats
// DEPTH CENTRE" in a slot's section and "bpm" in the section "tempo". Readers that know nothing of them
// skip those keys; a preset without them has no modulators and keeps the tempo.
// GUI thread (the owner of the chain); lumatex-render uses the same evaluation at each frame's time.
#pragma once

#include "control/Modulator.h"
#include "control/Tempo.h"
#include "render/uTypesDef.h"

#include <array>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

class TIniFile;
class TShaderPlugin;

inline constexpr const char* kModulateKeyPrefix = "modulate_";
inline constexpr const char* kTempoSection = "tempo";
inline constexpr const char* kTempoBpmKey = "bpm";

// One component of a parameter of a slot; the uniform name compares without regard to case.
struct TModulatorTarget {
    int SlotIndex = 0; // 0..7
    std::string UniformName;
    int Component = 0; // 0..3
};

// "modulate_amount_1" for component 0 of amount; the last "_" and digit 1..4 name the component.
std::string ModulateKey(const std::string& uniformName, int component);
// The uniform and component of a key; false when it is no such key.
bool ParseModulateKey(std::string_view key, std::string& uniformName, int& component);

class TChainModulators {
public:
    using TSlots = std::array<std::unique_ptr<TShaderPlugin>, kSlotCount>;
    struct TEntry {
        TModulatorTarget Target;
        TModulator Modulator;
    };

    void Set(const TModulatorTarget& target, const TModulator& modulator); // replaces one already there
    void Remove(const TModulatorTarget& target);
    const TModulator* Find(const TModulatorTarget& target) const;
    void Clear() { Entries.clear(); }
    bool Empty() const { return Entries.empty(); }
    const std::vector<TEntry>& All() const { return Entries; }

    // Each modulated component of the slot instances := the modulator's value at now. A modulator whose
    // slot is empty or whose plugin has no such component changes nothing.
    void Evaluate(TSlots& slots, const TTempo& tempo, double now) const;

private:
    std::vector<TEntry> Entries;
};

// The modulators and tempo of a preset: modulators replace all there were, the tempo changes only when the
// file names one. A line that cannot be used (unknown shape, rate of 0 or out of range, a BPM out of
// range, a key naming no component) is skipped; the rest applies. Answers the skipped lines as
// "section: key=value".
std::vector<std::string> ReadPresetModulators(const TIniFile& preset, TChainModulators& modulators,
                                              TTempo& tempo, double now);
// Writes the modulators into their slots' sections and the tempo; a modulate_ key the file holds that no
// modulator has any more is emptied (an empty value is no modulator).
void WritePresetModulators(TIniFile& preset, const TChainModulators& modulators, const TTempo& tempo);

// lumatex-render's entry point: the modulators evaluated at t seconds from the start of the render.
void EvaluateModulatorsAt(TChainModulators::TSlots& slots, const TChainModulators& modulators,
                          const TTempo& tempo, double seconds);
