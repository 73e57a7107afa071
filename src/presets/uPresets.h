// uPresets.h: the preset reader and writer. A preset is an INI file with sections "1" to "8", one per chain
// slot: "PlugInName" (the plugin's description file name, or "NONE"), one "parameter_u1f" .. "parameter_u4f"
// line per parameter kind ("name:x;y;z;w") and "active". They work straight between the file and the live
// chain (the chain state's labels and the engine's slots); there is no preset object in between.
// GUI thread; ApplyPreset builds slot instances, so the engine's GL context must be current.
#pragma once

#include <string>
#include <vector>

class TChainState;

inline constexpr const char* kPresetOverwriteQuestion = "File already exists. Overwrite?";

// Writes the live chain into the file at path. An existing file is only touched after the user answered
// "Yes" to kPresetOverwriteQuestion, and then updated key by key: keys this run does not write keep their
// values. Answers false when the user said "No" (the file is left byte for byte as it was). A file the
// platform refuses to write raises ELumatex "In <path> kann nicht geschrieben werden"; the file is then
// unchanged, because the whole preset is written in one atomic replace.
bool WritePreset(const TChainState& chain, const std::string& path);

// Why ApplyPreset could not use the plugin a slot of the preset names.
enum class TPresetSkip {
    NotAFileName = 1, // a path out of the plugins folder, ".", ".." or a name holding NUL: no file there
    NoSuchPlugin,     // no such file in the plugins folder of any data folder
    NotInCatalogue,   // the file is there but did not make it into the catalogue
};
struct TSkippedPresetSlot {
    int Slot = 0; // 1..8
    std::string PlugInName;
    TPresetSkip Reason = TPresetSkip::NotAFileName;
};

// Puts the preset's content into the chain, slot 1 to 8, selecting slot 1 first. A plugin named in the
// file but missing from the plugins folder leaves its slot as it was; one that exists but is not in the
// catalogue empties the slot. A name holding a folder is read as a path inside the plugins folder, by its
// text alone: one leading to a file there is such a file, as the catalogue holds bare names only; one
// leading out of the folder names no file, and nothing outside the folder is looked at. Unreadable numbers
// become 1.0. Shows no message of its own; a missing or
// unreadable file changes nothing. Answers those slots (a slot naming no plugin at all is not one of
// them), in slot order, for a caller that wants to tell about them.
std::vector<TSkippedPresetSlot> ApplyPreset(TChainState& chain, const std::string& path);
