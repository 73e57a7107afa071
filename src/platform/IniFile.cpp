#include "platform/IniFile.h"

#include "platform/ELumatex.h"
#include "platform/Files.h"

#include <atomic>
#include <cerrno>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

std::string_view Trim(std::string_view text) {
    while (!text.empty() && IsBlank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && IsBlank(text.back()))
        text.remove_suffix(1);
    return text;
}

// A CR or LF inside a written name or value would start a new line in the file.
std::string_view CutAtLineBreak(std::string_view text) {
    const size_t at = text.find_first_of("\r\n");
    return at == std::string_view::npos ? text : text.substr(0, at);
}

[[noreturn]] void RaiseWriteError(const std::string& path) {
    throw ELumatex(FormatText("In %s kann nicht geschrieben werden", path.c_str()));
}

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

} // namespace

TIniFile::TLine TIniFile::ParseLine(std::string content, bool terminated) {
    TLine line;
    line.Content = std::move(content);
    line.Terminated = terminated;
    std::string_view text = line.Content;
    if (!text.empty() && text.back() == '\r') text.remove_suffix(1);
    text = Trim(text);
    if (text.empty() || text.front() == ';') return line;
    if (text.front() == '[') {
        text.remove_prefix(1);
        const size_t close = text.find(']');
        line.Kind = TLineKind::Section;
        line.Name = Trim(text.substr(0, close));
        return line;
    }
    const size_t equals = text.find('=');
    if (equals == std::string_view::npos) return line;
    line.Kind = TLineKind::Pair;
    line.Name = Trim(text.substr(0, equals));
    line.Value = Trim(text.substr(equals + 1)).substr(0, kIniMaxValueLength);
    return line;
}

TIniFile TIniFile::FromText(std::string_view text) {
    TIniFile ini;
    size_t start = 0;
    while (start < text.size()) {
        const size_t end = text.find('\n', start);
        if (end == std::string_view::npos) {
            ini.Lines.push_back(ParseLine(std::string(text.substr(start)), false));
            break;
        }
        ini.Lines.push_back(ParseLine(std::string(text.substr(start, end - start)), true));
        start = end + 1;
    }
    return ini;
}

TIniFile TIniFile::FromFile(const std::string& path) {
    const auto bytes = ReadWholeFile(path);
    if (!bytes) return {};
    return FromText(std::string_view(reinterpret_cast<const char*>(bytes->data()), bytes->size()));
}

std::optional<std::pair<size_t, size_t>> TIniFile::FindSection(std::string_view section) const {
    const std::string_view wanted = Trim(section);
    for (size_t i = 0; i < Lines.size(); ++i) {
        if (Lines[i].Kind != TLineKind::Section || !SameTextAscii(Lines[i].Name, wanted)) continue;
        size_t last = i + 1;
        while (last < Lines.size() && Lines[last].Kind != TLineKind::Section)
            ++last;
        return std::make_pair(i + 1, last);
    }
    return std::nullopt;
}

bool TIniFile::SectionExists(std::string_view section) const {
    return FindSection(section).has_value();
}

std::optional<std::string> TIniFile::FindValue(std::string_view section, std::string_view key) const {
    const auto range = FindSection(section);
    if (!range) return std::nullopt;
    const std::string_view wanted = Trim(key);
    if (wanted.empty()) return std::nullopt;
    for (size_t i = range->first; i < range->second; ++i)
        if (Lines[i].Kind == TLineKind::Pair && SameTextAscii(Lines[i].Name, wanted)) return Lines[i].Value;
    return std::nullopt;
}

std::string TIniFile::ReadString(std::string_view section, std::string_view key,
                                 std::string_view defaultValue) const {
    if (auto value = FindValue(section, key)) return std::move(*value);
    // The platform function drops a default's trailing blanks and hands it back through the value's buffer.
    while (!defaultValue.empty() && IsBlank(defaultValue.back()))
        defaultValue.remove_suffix(1);
    return std::string(defaultValue.substr(0, kIniMaxValueLength));
}

TIniPairs TIniFile::ReadSection(std::string_view section) const {
    TIniPairs pairs;
    const auto range = FindSection(section);
    if (!range) return pairs;
    for (size_t i = range->first; i < range->second; ++i)
        if (Lines[i].Kind == TLineKind::Pair && !Lines[i].Name.empty())
            pairs.emplace_back(Lines[i].Name, Lines[i].Value);
    return pairs;
}

void TIniFile::Terminate(size_t index) {
    TLine& line = Lines[index];
    if (line.Terminated) return;
    if (line.Content.empty() || line.Content.back() != '\r') line.Content += '\r';
    line.Terminated = true;
}

void TIniFile::WriteString(std::string_view section, std::string_view key, std::string_view value) {
    const std::string sectionName(Trim(CutAtLineBreak(section)));
    const std::string keyName(Trim(CutAtLineBreak(key)));
    const std::string_view newValue = CutAtLineBreak(value);

    const auto range = FindSection(sectionName);
    if (!range) {
        if (!Lines.empty()) Terminate(Lines.size() - 1);
        Lines.push_back(ParseLine("[" + sectionName + "]\r", true));
        Lines.push_back(ParseLine(keyName + "=" + std::string(newValue) + "\r", true));
        return;
    }
    for (size_t i = range->first; i < range->second; ++i) {
        if (Lines[i].Kind != TLineKind::Pair || !SameTextAscii(Lines[i].Name, keyName)) continue;
        // The key keeps the spelling it has in the file.
        Lines[i] = ParseLine(Lines[i].Name + "=" + std::string(newValue) + "\r", true);
        return;
    }
    // New keys go after the section's last non-blank line, so blank lines stay before the next section.
    size_t after = range->first - 1; // the header
    for (size_t i = range->first; i < range->second; ++i) {
        std::string_view content = Lines[i].Content;
        if (!content.empty() && content.back() == '\r') content.remove_suffix(1);
        if (!Trim(content).empty()) after = i;
    }
    Terminate(after);
    Lines.insert(Lines.begin() + static_cast<std::ptrdiff_t>(after + 1),
                 ParseLine(keyName + "=" + std::string(newValue) + "\r", true));
}

std::string TIniFile::Text() const {
    std::string text;
    size_t total = 0;
    for (const TLine& line : Lines)
        total += line.Content.size() + 1;
    text.reserve(total);
    for (const TLine& line : Lines) {
        text += line.Content;
        if (line.Terminated) text += '\n';
    }
    return text;
}

void TIniFile::SaveToFile(const std::string& path) const {
    if (path.empty()) RaiseWriteError(path);
    std::error_code ec;
    // Replace the file a link points to, not the link.
    fs::path target = path;
    if (fs::is_symlink(target, ec)) {
        target = fs::weakly_canonical(target, ec);
        if (ec) RaiseWriteError(path);
    }
    struct stat old {};
    const bool exists = ::stat(target.c_str(), &old) == 0;
    if (exists && (!S_ISREG(old.st_mode) || ::access(target.c_str(), W_OK) != 0)) RaiseWriteError(path);

    static std::atomic<unsigned> counter{0};
    const std::string temp =
        target.string() + ".tmp-" + std::to_string(::getpid()) + "-" + std::to_string(counter.fetch_add(1));
    const int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0) RaiseWriteError(path);
    bool ok = WriteAll(fd, Text());
    if (ok && exists) {
        ok = ::fchmod(fd, old.st_mode & 07777) == 0;
        // Only root may give the file back to its owner; for anyone else the owner is already right.
        [[maybe_unused]] const int chownResult = ::fchown(fd, old.st_uid, old.st_gid);
    }
    ok = ok && ::fsync(fd) == 0;
    ok = (::close(fd) == 0) && ok;
    if (!ok || ::rename(temp.c_str(), target.c_str()) != 0) {
        ::unlink(temp.c_str());
        RaiseWriteError(path);
    }
}

std::string ReadProfileString(const std::string& path, std::string_view section, std::string_view key,
                              std::string_view defaultValue) {
    return TIniFile::FromFile(path).ReadString(section, key, defaultValue);
}

TIniPairs ReadProfileSection(const std::string& path, std::string_view section) {
    return TIniFile::FromFile(path).ReadSection(section);
}

void WriteProfileString(const std::string& path, std::string_view section, std::string_view key,
                        std::string_view value) {
    TIniFile ini;
    struct stat info {};
    if (::stat(path.c_str(), &info) == 0) {
        // An existing file that cannot be read must not be replaced by a file holding only the new key.
        if (!S_ISREG(info.st_mode)) RaiseWriteError(path);
        const auto bytes = ReadWholeFile(path);
        if (!bytes) RaiseWriteError(path);
        ini =
            TIniFile::FromText(std::string_view(reinterpret_cast<const char*>(bytes->data()), bytes->size()));
    }
    ini.WriteString(section, key, value);
    ini.SaveToFile(path);
}
