// ChainControl.h: control commands applied to the live chain, as the chain window and the preset manager
// change it: parameter values, slot switches, plugins, presets (with their modulators and tempo), tempo.
// GUI thread, between two frames; commands that build slot instances (a plugin, a preset) need the engine's
// GL context current. Nothing a command names is read outside the presets and plugins folders.
#pragma once

#include "control/ChainModulators.h"
#include "control/ControlCommand.h"
#include "control/Tempo.h"

#include <optional>
#include <string>
#include <vector>

class TChainState;

class TChainControl {
public:
    // What applying a command changed, for the windows to show it.
    enum class TOutcome {
        Ignored = 0, // it named nothing there is (counted by the caller)
        Values,      // parameter values: the panel shows them again
        Switches,    // a slot switch: the labels were repainted
        Chain,       // slots or preset: the chain state refreshed itself
        Tempo,       // bpm, tap, resync
        Transport,   // play, pause, stop: for the main window
    };

    // presetFolder ends with "/".
    TChainControl(TChainState& chain, TChainModulators& modulators, TTempo& tempo, std::string presetFolder);

    TOutcome Apply(const TControlCommand& command, double now);

    // The preset file of a name in the presets folder, its case as on disk; nullopt when there is none or the
    // name is no plain file name.
    std::optional<std::string> PresetPath(const std::string& name) const;
    // A preset file applied as the preset manager applies it, then its modulators and tempo; answers the
    // modulator lines that were skipped.
    std::vector<std::string> ApplyPresetFile(const std::string& path, double now);
    // The modulators and tempo written into a preset file just saved.
    void WriteModulators(const std::string& path) const;

    TChainState& Chain;
    TChainModulators& Modulators;
    TTempo& Tempo;
    std::string PresetFolder; // ends with "/"

private:
    TOutcome SetParam(const TControlCommand& command);
    TOutcome SetPlugin(const TControlCommand& command);
};
