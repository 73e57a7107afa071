#include "control/ChainModulators.h"

#include "control/ParamLookup.h"
#include "platform/IniFile.h"
#include "platform/NumberText.h"
#include "platform/Text.h"
#include "render/uShaderPlugin.h"

namespace {

bool SameTarget(const TModulatorTarget& a, const TModulatorTarget& b) {
    return a.SlotIndex == b.SlotIndex && a.Component == b.Component &&
           SameTextAscii(a.UniformName, b.UniformName);
}

} // namespace

std::string ModulateKey(const std::string& uniformName, int component) {
    return kModulateKeyPrefix + uniformName + "_" + std::to_string(component + 1);
}

bool ParseModulateKey(std::string_view key, std::string& uniformName, int& component) {
    const std::string_view prefix = kModulateKeyPrefix;
    if (key.size() < prefix.size() + 3 || !SameTextAscii(key.substr(0, prefix.size()), prefix)) return false;
    const char digit = key.back();
    if (digit < '1' || digit > '4' || key[key.size() - 2] != '_') return false;
    uniformName = std::string(key.substr(prefix.size(), key.size() - prefix.size() - 2));
    component = digit - '1';
    return true;
}

void TChainModulators::Set(const TModulatorTarget& target, const TModulator& modulator) {
    for (TEntry& entry : Entries)
        if (SameTarget(entry.Target, target)) {
            entry.Modulator = modulator;
            return;
        }
    Entries.push_back({target, modulator});
}

void TChainModulators::Remove(const TModulatorTarget& target) {
    std::erase_if(Entries, [&](const TEntry& entry) { return SameTarget(entry.Target, target); });
}

const TModulator* TChainModulators::Find(const TModulatorTarget& target) const {
    for (const TEntry& entry : Entries)
        if (SameTarget(entry.Target, target)) return &entry.Modulator;
    return nullptr;
}

void TChainModulators::Evaluate(TSlots& slots, const TTempo& tempo, double now) const {
    const double seconds = now - tempo.Origin();
    const double beats = tempo.Beats(now);
    for (const TEntry& entry : Entries) {
        const int slotIndex = entry.Target.SlotIndex;
        if (slotIndex < 0 || slotIndex >= kSlotCount || !slots[size_t(slotIndex)]) continue;
        const TParamRef param = FindParam(*slots[size_t(slotIndex)], entry.Target.UniformName);
        if (!param || entry.Target.Component >= param.Components) continue;
        const TModulator& m = entry.Modulator;
        const double phase = m.Rate * (m.InBeats ? beats : seconds);
        param.Values[entry.Target.Component] = float(ModulatorValue(m, phase));
    }
}

std::vector<std::string> ReadPresetModulators(const TIniFile& preset, TChainModulators& modulators,
                                              TTempo& tempo, double now) {
    std::vector<std::string> skipped;
    modulators.Clear();
    for (int slot = 1; slot <= kSlotCount; ++slot) {
        const std::string section = std::to_string(slot);
        for (const auto& [key, value] : preset.ReadSection(section)) {
            if (key.size() < 9 || !SameTextAscii(std::string_view(key).substr(0, 9), kModulateKeyPrefix))
                continue;
            if (value.empty()) continue; // emptied by a later save: no modulator
            TModulatorTarget target{slot - 1, {}, 0};
            const auto modulator = ParseModulatorLine(value);
            if (!ParseModulateKey(key, target.UniformName, target.Component) || !modulator) {
                skipped.push_back(section + ": " + key + "=" + value);
                continue;
            }
            modulators.Set(target, *modulator);
        }
    }
    if (const auto bpm = preset.FindValue(kTempoSection, kTempoBpmKey)) {
        const auto number = ParseFloat(*bpm);
        if (!number || !tempo.SetBpm(*number, now))
            skipped.push_back(std::string(kTempoSection) + ": " + kTempoBpmKey + "=" + *bpm);
    }
    return skipped;
}

void WritePresetModulators(TIniFile& preset, const TChainModulators& modulators, const TTempo& tempo) {
    for (int slot = 1; slot <= kSlotCount; ++slot) {
        const std::string section = std::to_string(slot);
        for (const auto& [key, value] : preset.ReadSection(section)) {
            TModulatorTarget target{slot - 1, {}, 0};
            if (ParseModulateKey(key, target.UniformName, target.Component) && !modulators.Find(target))
                preset.WriteString(section, key, "");
        }
    }
    for (const TChainModulators::TEntry& entry : modulators.All())
        preset.WriteString(std::to_string(entry.Target.SlotIndex + 1),
                           ModulateKey(entry.Target.UniformName, entry.Target.Component),
                           ModulatorLine(entry.Modulator));
    preset.WriteString(kTempoSection, kTempoBpmKey, FloatToText(tempo.Bpm()));
}

void EvaluateModulatorsAt(TChainModulators::TSlots& slots, const TChainModulators& modulators,
                          const TTempo& tempo, double seconds) {
    modulators.Evaluate(slots, tempo, seconds);
}
