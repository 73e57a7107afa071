#include "platform/Files.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <system_error>
#include <unistd.h>

namespace fs = std::filesystem;

std::string ProgramFolder() {
    std::error_code ec;
    fs::path exe = fs::read_symlink("/proc/self/exe", ec);
    if (ec) exe = fs::current_path(ec) / "lumatex";
    return IncludeTrailingSlash(exe.parent_path().string());
}

std::string IncludeTrailingSlash(const std::string& folder) {
    if (folder.empty() || folder.back() == '/') return folder;
    return folder + "/";
}

void ListFolder(const std::string& folder,
                const std::function<bool(const std::string& folder, const TFolderEntry& entry)>& onEntry) {
    const std::string base = IncludeTrailingSlash(folder);
    std::error_code ec;
    fs::directory_iterator it(base.empty() ? "." : base, ec);
    if (ec) return;
    for (; it != fs::directory_iterator(); it.increment(ec)) {
        if (ec) return;
        std::error_code statEc;
        TFolderEntry entry;
        entry.Name = it->path().filename().string();
        entry.IsDirectory = it->is_directory(statEc);
        if (entry.IsDirectory) continue;
        if (!onEntry(base, entry)) return;
    }
}

std::string AsciiUpper(std::string text) {
    for (char& c : text)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return text;
}

std::string AsciiLower(std::string text) {
    for (char& c : text)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return text;
}

bool SameTextAscii(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        char x = a[i], y = b[i];
        if (x >= 'a' && x <= 'z') x = static_cast<char>(x - 'a' + 'A');
        if (y >= 'a' && y <= 'z') y = static_cast<char>(y - 'a' + 'A');
        if (x != y) return false;
    }
    return true;
}

bool FileExists(const std::string& path) {
    std::error_code ec;
    return !path.empty() && fs::is_regular_file(path, ec);
}

bool DirectoryExists(const std::string& path) {
    std::error_code ec;
    return !path.empty() && fs::is_directory(path, ec);
}

std::optional<std::string> FindFileNoCase(const std::string& path) {
    if (FileExists(path)) return path;
    const fs::path p(path);
    const std::string wanted = p.filename().string();
    if (wanted.empty()) return std::nullopt;
    const fs::path parent = p.has_parent_path() ? p.parent_path() : fs::path(".");
    std::error_code ec;
    fs::directory_iterator it(parent, ec);
    if (ec) return std::nullopt;
    // Directory order is arbitrary; take the smallest matching name so the choice is repeatable.
    std::optional<std::string> best;
    for (; it != fs::directory_iterator(); it.increment(ec)) {
        if (ec) break;
        const std::string name = it->path().filename().string();
        if (!SameTextAscii(name, wanted)) continue;
        std::error_code statEc;
        if (!fs::is_regular_file(it->path(), statEc)) continue;
        if (!best || name < *best) best = name;
    }
    if (!best) return std::nullopt;
    return (p.has_parent_path() ? (p.parent_path() / *best) : fs::path(*best)).string();
}

std::optional<std::vector<uint8_t>> ReadWholeFile(const std::string& path) {
    if (!FileExists(path)) return std::nullopt;
    std::ifstream in(path, std::ios::binary);
    if (!in) return std::nullopt;
    std::vector<uint8_t> data((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (in.bad()) return std::nullopt;
    return data;
}
