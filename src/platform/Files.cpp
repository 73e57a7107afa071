#include "platform/Files.h"

#include "platform/ELumatex.h"
#include "platform/Text.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>

namespace fs = std::filesystem;

std::string ProgramFolder() {
    std::error_code ec;
    fs::path exe = fs::read_symlink("/proc/self/exe", ec);
    if (ec) exe = fs::current_path(ec) / "lumatex";
    return IncludeTrailingSlash(exe.parent_path().string());
}

std::string LowerExtension(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    const size_t nameStart = slash == std::string::npos ? 0 : slash + 1;
    const size_t dot = path.find_last_of('.');
    if (dot == std::string::npos || dot < nameStart) return {};
    return AsciiLower(path.substr(dot));
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

std::string WriteThroughPath(const std::string& path, std::error_code& ec) {
    ec.clear();
    // The kernel's own limit on links followed in one lookup.
    constexpr int kMaxLinks = 40;
    fs::path current = path;
    for (int links = 0;; ++links) {
        std::error_code statEc;
        if (!fs::is_symlink(fs::symlink_status(current, statEc))) return current.string();
        if (links == kMaxLinks) {
            ec = std::make_error_code(std::errc::too_many_symbolic_link_levels);
            return path;
        }
        const fs::path next = fs::read_symlink(current, ec);
        if (ec) return path;
        current = next.is_absolute() ? next : current.parent_path() / next;
    }
}

namespace {

bool WriteAll(int fd, const std::string& bytes) {
    size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        done += static_cast<size_t>(n);
    }
    return true;
}

[[noreturn]] void RaiseWriteError(const std::string& path, int error) {
    throw ELumatex(FormatText("Cannot write %s: %s", path.c_str(), std::strerror(error)));
}

} // namespace

void WriteFileAtomically(const std::string& path, const std::string& bytes) {
    if (path.empty()) RaiseWriteError(path, ENOENT);
    std::error_code ec;
    // Replace the file a link points to, not the link.
    fs::path target = path;
    if (fs::is_symlink(target, ec)) {
        target = fs::weakly_canonical(target, ec);
        if (ec) RaiseWriteError(path, ec.value());
    }
    struct stat old {};
    const bool exists = ::stat(target.c_str(), &old) == 0;
    if (exists && !S_ISREG(old.st_mode)) RaiseWriteError(path, S_ISDIR(old.st_mode) ? EISDIR : EINVAL);
    if (exists && ::access(target.c_str(), W_OK) != 0) RaiseWriteError(path, errno);

    static std::atomic<unsigned> counter{0};
    const std::string temp =
        target.string() + ".tmp-" + std::to_string(::getpid()) + "-" + std::to_string(counter.fetch_add(1));
    const int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0) RaiseWriteError(path, errno);
    bool ok = WriteAll(fd, bytes);
    if (ok && exists) {
        ok = ::fchmod(fd, old.st_mode & 07777) == 0;
        // Only root may give the file back to its owner; for anyone else the owner is already right.
        [[maybe_unused]] const int chownResult = ::fchown(fd, old.st_uid, old.st_gid);
    }
    ok = ok && ::fsync(fd) == 0;
    int error = ok ? 0 : errno;
    ok = (::close(fd) == 0) && ok;
    if (ok && ::rename(temp.c_str(), target.c_str()) != 0) ok = false;
    if (!ok) {
        if (error == 0) error = errno;
        ::unlink(temp.c_str());
        RaiseWriteError(path, error);
    }
}
