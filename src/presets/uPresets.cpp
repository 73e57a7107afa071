#include "presets/uPresets.h"

#include "platform/Files.h"
#include "platform/IniFile.h"
#include "platform/MessageSink.h"
#include "platform/Text.h"
#include "plugins/uChainState.h"
#include "presets/PresetLines.h"
#include "render/IsfPlugin.h"
#include "render/uRenderEngine.h"
#include "render/uShaderPlugin.h"

#include <algorithm>
#include <array>
#include <filesystem>
#include <optional>
#include <unordered_map>

namespace {

template <int N>
void WriteParams(TIniFile& ini, const std::string& section, const TShaderPlugin& plugin,
                 const std::vector<TShaderParam<N>>& params) {
    // One key per kind: every write replaces the previous one, so the last parameter of a kind is kept.
    // An effect file's inputs each get a key of their own, the kind's key with the name after it, which
    // the reader takes as that kind's line; a file that brings many inputs of a kind keeps them all.
    for (const TShaderParam<N>& param : params) {
        std::array<float, N> stored = param.Value;
        if constexpr (N == 1) stored[0] = IsfStoredValue(plugin, param);
        const std::string key = std::string(kPresetParamKeys[N - 1]) +
                                (plugin.Isf ? kPresetOwnKeyJoint + param.UniformName : std::string());
        ini.WriteString(section, key, PresetParamValue(param.UniformName, stored.data(), N));
    }
}

template <int N>
void StoreParam(const TShaderPlugin& plugin, std::vector<TShaderParam<N>>& params,
                const TPresetParamLine& line) {
    for (TShaderParam<N>& param : params) {
        if (!SameTextAscii(param.UniformName, line.Name)) continue;
        for (int k = 0; k < N; ++k)
            param.Value[static_cast<size_t>(k)] = line.Value[static_cast<size_t>(k)];
        if constexpr (N == 1) param.Value[0] = IsfBarValue(plugin, param, param.Value[0]);
        return;
    }
}

void StoreParam(TShaderPlugin& plugin, const TPresetParamLine& line) {
    switch (line.Components) {
    case 1:
        StoreParam(plugin, plugin.Params1f, line);
        break;
    case 2:
        StoreParam(plugin, plugin.Params2f, line);
        break;
    case 3:
        StoreParam(plugin, plugin.Params3f, line);
        break;
    case 4:
        StoreParam(plugin, plugin.Params4f, line);
        break;
    default:
        break;
    }
}

// The file a plugin name stands for in the plugins folder: the name taken as a path inside the folder,
// resolved by its text alone ("../plugins/x.ini" is plugins/x.ini), so that nothing outside the folder is
// ever looked at. nullopt when the path leads out of the folder or to the folder itself, or the name holds
// a NUL, which no file name can.
std::optional<std::string> PathInPluginFolder(const std::string& pluginFolder, const std::string& name) {
    namespace fs = std::filesystem;
    if (name.empty() || name.find('\0') != std::string::npos) return std::nullopt;
    const fs::path folder = fs::path(pluginFolder).lexically_normal();
    // Joined as text, as the program the presets come from joins them: a name starting with "/" stays inside.
    const fs::path file = fs::path(pluginFolder + name).lexically_normal();
    auto [inFolder, inFile] = std::mismatch(folder.begin(), folder.end(), file.begin(), file.end());
    if (inFolder != folder.end() && !inFolder->empty()) return std::nullopt;
    if (inFile == file.end() || (std::next(inFile) == file.end() && inFile->empty())) return std::nullopt;
    return file.string();
}

// Whether any of the plugins folders holds a file of that name (a path inside the folder included).
bool PluginFileExists(const std::vector<std::string>& pluginFolders, const std::string& name) {
    for (const std::string& folder : pluginFolders) {
        const std::optional<std::string> file = PathInPluginFolder(folder, name);
        if (file && FindFileNoCase(*file)) return true;
    }
    return false;
}

// The value a lookup of key returns in the section: with a key written twice, its first line's value.
std::unordered_map<std::string, std::string> FirstValues(const TIniPairs& pairs) {
    std::unordered_map<std::string, std::string> first;
    for (const auto& [key, value] : pairs)
        first.emplace(AsciiUpper(key), value);
    return first;
}

} // namespace

bool WritePreset(const TChainState& chain, const std::string& path) {
    if (FileExists(path) && !AskYesNo(kPresetOverwriteQuestion, kMessageCaption, TMessageIcon::Question))
        return false;
    const TRenderEngine& engine = chain.Engine;
    TIniFile ini = TIniFile::FromFile(path);
    for (int slot = 1; slot <= kSlotCount; ++slot) {
        const std::string section = std::to_string(slot);
        const int tag = chain.Label(slot).Tag;
        if (tag < 0 || static_cast<size_t>(tag) >= engine.Catalogue.size()) {
            ini.WriteString(section, kPresetPlugInNameKey, kPresetEmptySlot);
            continue;
        }
        ini.WriteString(section, kPresetPlugInNameKey,
                        engine.Catalogue[static_cast<size_t>(tag)]->IniFileName);
        // A slot whose instance could not be built has no values to write: its name and switch only.
        if (const TShaderPlugin* plugin = engine.Slots[static_cast<size_t>(slot - 1)].get()) {
            WriteParams(ini, section, *plugin, plugin->Params1f);
            WriteParams(ini, section, *plugin, plugin->Params2f);
            WriteParams(ini, section, *plugin, plugin->Params3f);
            WriteParams(ini, section, *plugin, plugin->Params4f);
        }
        ini.WriteString(section, kPresetActiveKey,
                        engine.SlotActive[static_cast<size_t>(slot - 1)] ? "1" : "0");
    }
    ini.SaveToFile(path);
    return true;
}

std::vector<TSkippedPresetSlot> ApplyPreset(TChainState& chain, const std::string& path) {
    std::vector<TSkippedPresetSlot> skipped;
    const TIniFile ini = TIniFile::FromFile(path);
    TRenderEngine& engine = chain.Engine;
    std::vector<std::string> pluginFolders;
    for (const std::string& root : engine.DataFolders())
        pluginFolders.push_back(IncludeTrailingSlash(root) + "plugins/");
    chain.SelectedSlot = 1;
    for (int slot = 1; slot <= kSlotCount; ++slot) {
        const std::string section = std::to_string(slot);
        const std::string name = ini.ReadString(section, kPresetPlugInNameKey, "");
        if (name == kPresetEmptySlot) {
            chain.AssignSlot(slot, -1, true);
            continue;
        }
        // The name is checked by its text alone, so every data folder answers alike whether it is a file
        // name.
        if (!PathInPluginFolder(pluginFolders.front(), name)) {
            if (!name.empty()) skipped.push_back({slot, name, TPresetSkip::NotAFileName});
            continue;
        }
        // A name holding a folder may still lead to a file of the folder; no catalogue entry has such a
        // name, so the slot is then emptied like that of any other file the catalogue does not hold.
        if (!PluginFileExists(pluginFolders, name)) {
            skipped.push_back({slot, name, TPresetSkip::NoSuchPlugin});
            continue;
        }

        int index = -1;
        for (size_t p = 0; p < engine.Catalogue.size(); ++p) {
            if (SameTextAscii(engine.Catalogue[p]->IniFileName, name)) {
                index = static_cast<int>(p);
                break;
            }
        }
        bool active = false;
        if (index >= 0) active = SameTextAscii(ini.ReadString(section, kPresetActiveKey, ""), "1");
        chain.AssignSlot(slot, index, active);
        if (index < 0) {
            skipped.push_back({slot, name, TPresetSkip::NotInCatalogue});
            continue;
        }

        TShaderPlugin* plugin = engine.Slots[static_cast<size_t>(slot - 1)].get();
        if (!plugin) continue; // the fresh instance failed to load; its message has been shown
        const TIniPairs pairs = ini.ReadSection(section);
        const auto firstValues = FirstValues(pairs);
        for (const auto& [key, ownValue] : pairs) {
            const auto found = firstValues.find(AsciiUpper(key));
            const std::string line = key + "=" + (found != firstValues.end() ? found->second : ownValue);
            for (const TPresetParamLine& param : ParsePresetLine(line))
                StoreParam(*plugin, param);
        }
    }
    return skipped;
}
