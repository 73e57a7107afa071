// PresetFolders.h: the presets/ folders of the data folders as one collection: each preset listed once, found
// where it wins, and saved where the program may write. The folder saves go to is read first, so that a
// preset saved over a bundled one of the same name is the one listed and loaded.
#pragma once

#include <optional>
#include <string>
#include <vector>

inline constexpr const char* kPresetExtension = ".prs";

class TPresetFolders {
public:
    // roots: the data folders, each ending in "/", the winning one first (not empty); userRoot: the
    // user's data folder, where presets go when the first root cannot take them ("" for nowhere else).
    TPresetFolders(std::vector<std::string> roots, std::string userRoot);

    // The presets/ folder saves go to: the first root's when it exists and may be written (it is never
    // made), else the user's when it exists or can be made. When none can be written, the first root's, so
    // that the write fails with the message naming it.
    std::string SaveFolder() const;
    // Makes the user's presets/ folder when saves go there; a failure is left to the write to report.
    void PrepareSaveFolder() const;
    std::string SavePath(const std::string& name) const;

    // SaveFolder first, then every other presets/ folder in root order, each once.
    std::vector<std::string> ReadFolders() const;
    // Every preset name (the file name without ".prs" in any case), once, in folder order and in the order
    // each folder lists its files.
    std::vector<std::string> Names() const;
    // The file of a name in the first folder that holds it; nullopt when none does.
    std::optional<std::string> Find(const std::string& name) const;
    // A --preset value: a path ending in ".prs" as given, else the name's file where Find finds it, else
    // where it would be saved (for the "not found" message).
    std::string FileFor(const std::string& preset) const;

private:
    std::vector<std::string> Roots;
    std::string UserRoot;
    bool UserFolderIsTheSaveFolder() const;
};
