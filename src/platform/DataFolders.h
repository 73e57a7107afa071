// DataFolders.h: where the program's data (plugins/, shader/, presets/, the about picture) is found. A
// folder of its own beside the executable (the build tree, a copied program folder) is the one place when it
// holds plugins/; an installed program reads the user's data folder, then the system's, as the XDG base
// directory rules name them.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

struct TDataFolders {
    // Every folder to read, each ending in "/", the one whose files win first. Never empty.
    std::vector<std::string> Roots;
    // $XDG_DATA_HOME/lumatex/ (default ~/.local/share/lumatex/): where the user's own files go when the
    // first root cannot take them. May not exist yet; empty when no home folder is known.
    std::string UserRoot;
};

// Reads one environment variable: nullptr when it is not set.
using TEnvironmentLookup = std::function<const char*(const char* name)>;

// The data folders for a program in programFolder (ending in "/"): programFolder alone when it holds a
// plugins/ folder; otherwise the user's folder, then the "lumatex" folder of each $XDG_DATA_DIRS entry
// (default /usr/local/share/ and /usr/share/). Relative entries are ignored, as the base directory rules
// ask, and every folder is listed once, so a variable full of repeats costs no rescans.
TDataFolders FindDataFolders(const std::string& programFolder, const TEnvironmentLookup& environment);
TDataFolders FindDataFolders(const std::string& programFolder); // the process environment

// Exactly one folder (lumatex-render --root): read from there, written there, nothing else.
TDataFolders SingleDataFolder(const std::string& root);

// The first root holding the regular file relative (e.g. "about.png"); nullopt when none does.
std::optional<std::string> FindDataFile(const std::vector<std::string>& roots, const std::string& relative);

// A folder this process could write into: an existing writable folder, or a missing one whose nearest
// existing parent is a writable folder (so that it can be made). Checked with the effective user.
bool FolderCanBeWritten(const std::string& folder);
