#include "control/ChainControl.h"

#include "control/OscDispatch.h"
#include "control/ParamLookup.h"
#include "platform/Files.h"
#include "platform/IniFile.h"
#include "platform/Text.h"
#include "plugins/uChainState.h"
#include "presets/uPresets.h"
#include "render/uRenderEngine.h"
#include "render/uShaderPlugin.h"

TChainControl::TChainControl(TChainState& chain, TChainModulators& modulators, TTempo& tempo,
                             std::string presetFolder)
    : Chain(chain), Modulators(modulators), Tempo(tempo), PresetFolder(std::move(presetFolder)) {}

TChainControl::TOutcome TChainControl::Apply(const TControlCommand& command, double now) {
    using K = TControlCommand::TKind;
    const bool slotCommand = command.Kind == K::SetParam || command.Kind == K::SetActive ||
                             command.Kind == K::ToggleActive || command.Kind == K::SetPlugin;
    if (slotCommand && (command.Slot < 1 || command.Slot > kSlotCount)) return TOutcome::Ignored;
    switch (command.Kind) {
    case K::SetParam:
        return SetParam(command);
    case K::SetActive:
    case K::ToggleActive: {
        bool& active = Chain.Engine.SlotActive[size_t(command.Slot - 1)];
        active = command.Kind == K::SetActive ? command.On : !active;
        Chain.Engine.RebuildActiveOrder();
        Chain.RefreshSlots(Chain.SelectedSlot, false);
        return TOutcome::Switches;
    }
    case K::SetPlugin:
        return SetPlugin(command);
    case K::Preset: {
        const auto path = PresetPath(command.Name);
        if (!path) return TOutcome::Ignored;
        ApplyPresetFile(*path, now);
        return TOutcome::Chain;
    }
    case K::Bpm:
        return Tempo.SetBpm(command.Number, now) ? TOutcome::Tempo : TOutcome::Ignored;
    case K::Tap:
        Tempo.Tap(now);
        return TOutcome::Tempo;
    case K::Resync:
        Tempo.Resync(now);
        return TOutcome::Tempo;
    case K::Play:
    case K::Pause:
    case K::Stop:
        return TOutcome::Transport;
    }
    return TOutcome::Ignored;
}

TChainControl::TOutcome TChainControl::SetParam(const TControlCommand& command) {
    TShaderPlugin* plugin = Chain.Engine.Slots[size_t(command.Slot - 1)].get();
    if (!plugin) return TOutcome::Ignored;
    const TParamRef param = FindParam(*plugin, command.Name);
    if (!param || command.Count < 1 || command.Component + command.Count > param.Components)
        return TOutcome::Ignored;
    for (int k = 0; k < command.Count; ++k)
        param.Values[command.Component + k] = command.Values[size_t(k)];
    return TOutcome::Values;
}

TChainControl::TOutcome TChainControl::SetPlugin(const TControlCommand& command) {
    int index = -1;
    if (!SameTextAscii(command.Name, "NONE")) {
        const auto& catalogue = Chain.Engine.Catalogue;
        for (size_t p = 0; p < catalogue.size() && index < 0; ++p)
            if (SameTextAscii(catalogue[p]->IniFileName, command.Name)) index = int(p);
        if (index < 0) return TOutcome::Ignored;
    }
    // As the plugin menu does for a slot: a fresh instance, switched on; none empties and switches off.
    Chain.AssignSlot(command.Slot, index, index >= 0);
    return TOutcome::Chain;
}

std::optional<std::string> TChainControl::PresetPath(const std::string& name) const {
    if (!IsPlainFileName(name) || name.find('\0') != std::string::npos) return std::nullopt;
    const auto found = FindFileNoCase(PresetFolder + name + ".prs");
    if (!found || !FileExists(*found)) return std::nullopt;
    return found;
}

std::vector<std::string> TChainControl::ApplyPresetFile(const std::string& path, double now) {
    try {
        ApplyPreset(Chain, path);
        return ReadPresetModulators(TIniFile::FromFile(path), Modulators, Tempo, now);
    } catch (const std::exception&) {
        // A file too large to be a preset changes nothing, as a missing one.
        return {};
    }
}

void TChainControl::WriteModulators(const std::string& path) const {
    TIniFile preset = TIniFile::FromFile(path);
    WritePresetModulators(preset, Modulators, Tempo);
    preset.SaveToFile(path);
}
