#include "control/MidiMap.h"

#include "platform/IniFile.h"
#include "platform/Text.h"

#include <charconv>

namespace {

bool SameTarget(const TMidiTarget& a, const TMidiTarget& b) {
    if (a.Slot != b.Slot || a.Switch != b.Switch) return false;
    return a.Switch || (a.Component == b.Component && SameTextAscii(a.UniformName, b.UniformName));
}

std::optional<int> Integer(std::string_view text, int low, int high) {
    int value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || value < low || value > high)
        return std::nullopt;
    return value;
}

std::vector<std::string_view> Split(std::string_view text, char separator) {
    std::vector<std::string_view> parts;
    size_t start = 0;
    for (;;) {
        const size_t at = text.find(separator, start);
        const std::string_view part =
            text.substr(start, at == std::string_view::npos ? text.npos : at - start);
        if (!part.empty()) parts.push_back(part);
        if (at == std::string_view::npos) return parts;
        start = at + 1;
    }
}

std::optional<TMidiBinding> ReadBinding(const std::string& key, const std::string& value) {
    const auto keyParts = Split(key, '_');
    if (keyParts.size() != 3) return std::nullopt;
    TMidiBinding binding;
    if (SameTextAscii(keyParts[0], "note"))
        binding.Note = true;
    else if (!SameTextAscii(keyParts[0], "cc"))
        return std::nullopt;
    const auto channel = Integer(keyParts[1], 1, 16);
    const auto number = Integer(keyParts[2], 0, 127);
    const auto words = Split(value, ' ');
    if (!channel || !number || words.size() < 2) return std::nullopt;
    binding.Channel = *channel - 1;
    binding.Number = *number;
    const auto slot = Integer(words[0], 1, 8);
    if (!slot) return std::nullopt;
    binding.Target.Slot = *slot;
    if (words.size() == 2 && SameTextAscii(words[1], "active")) {
        binding.Target.Switch = true;
        return binding;
    }
    const auto component = words.size() == 3 ? Integer(words[2], 1, 4) : std::nullopt;
    if (!component || binding.Note) return std::nullopt;
    binding.Target.UniformName = std::string(words[1]);
    binding.Target.Component = *component - 1;
    return binding;
}

} // namespace

bool TMidiMap::Forget(const TMidiTarget& target) {
    return std::erase_if(Bindings, [&](const TMidiBinding& b) { return SameTarget(b.Target, target); }) > 0;
}

bool TMidiMap::IsBound(const TMidiTarget& target) const {
    for (const TMidiBinding& binding : Bindings)
        if (SameTarget(binding.Target, target)) return true;
    return false;
}

std::optional<TControlCommand> TMidiMap::Handle(const TMidiEvent& event, bool* learned) {
    if (learned) *learned = false;
    const bool note = event.Type != TMidiEvent::TType::Controller;
    const bool noteOn = event.Type == TMidiEvent::TType::NoteOn && event.Value > 0;
    if (Learning) {
        // A parameter learns a control change; a switch a note on or a control change. Releases teach
        // nothing.
        if ((note && (!Learning->Switch || !noteOn))) return std::nullopt;
        std::erase_if(Bindings, [&](const TMidiBinding& b) {
            return SameTarget(b.Target, *Learning) ||
                   (b.Note == note && b.Channel == event.Channel && b.Number == event.Number);
        });
        Bindings.push_back({note, event.Channel, event.Number, *Learning});
        Learning.reset();
        if (learned) *learned = true;
        return std::nullopt;
    }
    for (const TMidiBinding& binding : Bindings) {
        if (binding.Note != note || binding.Channel != event.Channel || binding.Number != event.Number)
            continue;
        TControlCommand command;
        command.Slot = binding.Target.Slot;
        if (binding.Target.Switch) {
            // A pad flips the switch when pressed; a controller switches on above its middle.
            if (note) {
                if (!noteOn) return std::nullopt;
                command.Kind = TControlCommand::TKind::ToggleActive;
            } else {
                command.Kind = TControlCommand::TKind::SetActive;
                command.On = event.Value >= 64;
            }
            return command;
        }
        command.Kind = TControlCommand::TKind::SetParam;
        command.Name = binding.Target.UniformName;
        command.Component = binding.Target.Component;
        command.Count = 1;
        command.Values[0] = float(event.Value) / 127.0f;
        return command;
    }
    return std::nullopt;
}

void TMidiMap::Load(const std::string& path) {
    Bindings.clear();
    TIniFile file;
    try {
        file = TIniFile::FromFile(path);
    } catch (const std::exception&) {
        return;
    }
    for (const auto& [key, value] : file.ReadSection(kMidiSection))
        if (auto binding = ReadBinding(key, value)) Bindings.push_back(std::move(*binding));
}

void TMidiMap::Save(const std::string& path) const {
    std::string text = "[" + std::string(kMidiSection) + "]\r\n";
    for (const TMidiBinding& b : Bindings) {
        text += std::string(b.Note ? "note_" : "cc_") + std::to_string(b.Channel + 1) + "_" +
                std::to_string(b.Number) + "=" + std::to_string(b.Target.Slot) + " ";
        text += b.Target.Switch ? std::string("active")
                                : b.Target.UniformName + " " + std::to_string(b.Target.Component + 1);
        text += "\r\n";
    }
    TIniFile::FromText(text).SaveToFile(path);
}

std::string MidiFilePath(const std::string& settingsPath) {
    const size_t slash = settingsPath.find_last_of('/');
    return (slash == std::string::npos ? std::string() : settingsPath.substr(0, slash + 1)) + kMidiFileName;
}
