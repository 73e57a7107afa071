#include "platform/DataFolders.h"

#include "platform/Files.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <pwd.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

constexpr const char* kDataSubfolder = "lumatex/";
constexpr const char* kDefaultDataDirs = "/usr/local/share/:/usr/share/";

// A folder as one spelling, so that "/usr/share", "/usr/share/" and "/usr/./share" are listed once.
std::string Normalised(const std::string& folder) {
    return IncludeTrailingSlash(fs::path(folder).lexically_normal().string());
}

bool IsAbsolute(const char* value) {
    return value && value[0] == '/';
}

std::string HomeFolder(const TEnvironmentLookup& environment) {
    const char* home = environment("HOME");
    if (IsAbsolute(home)) return home;
    // Started without HOME (a service, env -i): the password database still knows the user's folder.
    if (const passwd* entry = ::getpwuid(::geteuid()); entry && IsAbsolute(entry->pw_dir))
        return entry->pw_dir;
    return {};
}

std::string UserDataRoot(const TEnvironmentLookup& environment) {
    const char* dataHome = environment("XDG_DATA_HOME");
    if (IsAbsolute(dataHome)) return Normalised(dataHome) + kDataSubfolder;
    const std::string home = HomeFolder(environment);
    if (home.empty()) return {};
    return Normalised(home + "/.local/share") + kDataSubfolder;
}

std::vector<std::string> SystemDataRoots(const TEnvironmentLookup& environment) {
    const char* value = environment("XDG_DATA_DIRS");
    const std::string dirs = value && *value ? value : kDefaultDataDirs;
    std::vector<std::string> roots;
    size_t start = 0;
    while (start <= dirs.size()) {
        const size_t colon = std::min(dirs.find(':', start), dirs.size());
        const std::string entry = dirs.substr(start, colon - start);
        if (!entry.empty() && entry[0] == '/') roots.push_back(Normalised(entry) + kDataSubfolder);
        start = colon + 1;
    }
    return roots;
}

void AddOnce(std::vector<std::string>& roots, const std::string& root) {
    if (!root.empty() && std::find(roots.begin(), roots.end(), root) == roots.end()) roots.push_back(root);
}

bool EffectiveWriteAccess(const std::string& folder) {
    return ::faccessat(AT_FDCWD, folder.c_str(), W_OK | X_OK, AT_EACCESS) == 0;
}

} // namespace

TDataFolders FindDataFolders(const std::string& programFolder, const TEnvironmentLookup& environment) {
    TDataFolders folders;
    folders.UserRoot = UserDataRoot(environment);
    const std::string program = IncludeTrailingSlash(programFolder);
    if (DirectoryExists(program + "plugins")) {
        folders.Roots.push_back(program);
        return folders;
    }
    AddOnce(folders.Roots, folders.UserRoot);
    for (const std::string& root : SystemDataRoots(environment))
        AddOnce(folders.Roots, root);
    // Neither a home nor a valid system folder: the program folder still answers "nothing there".
    if (folders.Roots.empty()) folders.Roots.push_back(program);
    return folders;
}

TDataFolders FindDataFolders(const std::string& programFolder) {
    return FindDataFolders(programFolder, [](const char* name) { return std::getenv(name); });
}

TDataFolders SingleDataFolder(const std::string& root) {
    TDataFolders folders;
    folders.Roots.push_back(IncludeTrailingSlash(root));
    return folders;
}

std::optional<std::string> FindDataFile(const std::vector<std::string>& roots, const std::string& relative) {
    for (const std::string& root : roots)
        if (FileExists(root + relative)) return root + relative;
    return std::nullopt;
}

bool FolderCanBeWritten(const std::string& folder) {
    if (folder.empty()) return false;
    std::error_code ec;
    fs::path path = fs::path(folder).lexically_normal();
    if (path.has_filename() == false && path.has_parent_path()) path = path.parent_path();
    while (true) {
        const fs::file_status status = fs::status(path, ec);
        if (fs::is_directory(status)) return EffectiveWriteAccess(path.string());
        // Anything but "not there" (a file in the way, a name too long, no permission to look) cannot be
        // made.
        if (fs::exists(status) || (ec && ec != std::errc::no_such_file_or_directory)) return false;
        if (!path.has_parent_path() || path.parent_path() == path) return false;
        path = path.parent_path();
    }
}
