#include "presets/PresetFolders.h"

#include "platform/DataFolders.h"
#include "platform/Files.h"
#include "platform/Text.h"

#include <algorithm>
#include <filesystem>
#include <unordered_set>

namespace {

constexpr const char* kPresetsSubfolder = "presets/";

bool HasPresetExtension(const std::string& name) {
    return name.size() >= 4 && AsciiLower(name.substr(name.size() - 4)) == kPresetExtension;
}

} // namespace

TPresetFolders::TPresetFolders(std::vector<std::string> roots, std::string userRoot)
    : Roots(std::move(roots)), UserRoot(std::move(userRoot)) {
    for (std::string& root : Roots)
        root = IncludeTrailingSlash(root);
    UserRoot = IncludeTrailingSlash(UserRoot);
    if (Roots.empty()) Roots.push_back(UserRoot);
}

bool TPresetFolders::UserFolderIsTheSaveFolder() const {
    const std::string first = Roots.front() + kPresetsSubfolder;
    if (DirectoryExists(first) && FolderCanBeWritten(first)) return false;
    return !UserRoot.empty() && FolderCanBeWritten(UserRoot + kPresetsSubfolder);
}

std::string TPresetFolders::SaveFolder() const {
    return (UserFolderIsTheSaveFolder() ? UserRoot : Roots.front()) + kPresetsSubfolder;
}

void TPresetFolders::PrepareSaveFolder() const {
    if (!UserFolderIsTheSaveFolder()) return;
    std::error_code ec;
    std::filesystem::create_directories(UserRoot + kPresetsSubfolder, ec);
}

std::string TPresetFolders::SavePath(const std::string& name) const {
    return SaveFolder() + name + kPresetExtension;
}

std::vector<std::string> TPresetFolders::ReadFolders() const {
    std::vector<std::string> folders{SaveFolder()};
    auto add = [&folders](const std::string& root) {
        const std::string folder = root + kPresetsSubfolder;
        if (!root.empty() && std::find(folders.begin(), folders.end(), folder) == folders.end())
            folders.push_back(folder);
    };
    for (const std::string& root : Roots)
        add(root);
    add(UserRoot);
    return folders;
}

std::vector<std::string> TPresetFolders::Names() const {
    std::vector<std::string> names;
    std::unordered_set<std::string> seen;
    for (const std::string& folder : ReadFolders()) {
        ListFolder(folder, [&](const std::string&, const TFolderEntry& entry) {
            if (!HasPresetExtension(entry.Name)) return true;
            std::string name = entry.Name.substr(0, entry.Name.size() - 4);
            if (seen.insert(name).second) names.push_back(std::move(name));
            return true;
        });
    }
    return names;
}

std::optional<std::string> TPresetFolders::Find(const std::string& name) const {
    for (const std::string& folder : ReadFolders()) {
        if (FileExists(folder + name + kPresetExtension)) return folder + name + kPresetExtension;
        // The list shows "b" for b.PRS too: the name is exact, the extension's case is not.
        std::optional<std::string> found;
        ListFolder(folder, [&](const std::string&, const TFolderEntry& entry) {
            if (!HasPresetExtension(entry.Name) || entry.Name.compare(0, entry.Name.size() - 4, name) != 0 ||
                entry.Name.size() - 4 != name.size())
                return true;
            found = folder + entry.Name;
            return false;
        });
        if (found) return found;
    }
    return std::nullopt;
}

std::string TPresetFolders::FileFor(const std::string& preset) const {
    if (LowerExtension(preset) == kPresetExtension) return preset;
    if (const std::optional<std::string> file = Find(preset)) return *file;
    return SavePath(preset);
}
