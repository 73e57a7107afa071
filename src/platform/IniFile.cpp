#include "platform/IniFile.h"

#include "platform/ELumatex.h"
#include "platform/Files.h"
#include "platform/Text.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// A CR or LF inside a written name or value would start a new line in the file.
std::string_view CutAtLineBreak(std::string_view text) {
    const size_t at = text.find_first_of("\r\n");
    return at == std::string_view::npos ? text : text.substr(0, at);
}

[[noreturn]] void RaiseWriteError(const std::string& path) {
    throw ELumatex(FormatText("In %s kann nicht geschrieben werden", path.c_str()));
}

[[noreturn]] void RaiseTooLarge(const std::string& path, uint64_t size) {
    throw ELumatex(FormatText("%s is too large: %llu bytes; description, preset and settings files are read "
                              "up to %zu bytes (1 MiB)",
                              path.c_str(), static_cast<unsigned long long>(size), kIniFileMaxBytes));
}

enum class TLineKind { Other, Section, Pair };

// What a line says. Lines are parsed again on every lookup instead of being kept parsed: a file of short
// lines would otherwise take many times its own size.
struct TParsedLine {
    TLineKind Kind = TLineKind::Other;
    std::string_view Name;  // section name or key, trimmed
    std::string_view Value; // pairs only: trimmed and cut
};

TParsedLine ParseLine(std::string_view text) {
    TParsedLine line;
    if (!text.empty() && text.back() == '\r') text.remove_suffix(1);
    text = TrimBlanks(text);
    if (text.empty() || text.front() == ';') return line;
    if (text.front() == '[') {
        text.remove_prefix(1);
        line.Kind = TLineKind::Section;
        line.Name = TrimBlanks(text.substr(0, text.find(']')));
        return line;
    }
    const size_t equals = text.find('=');
    if (equals == std::string_view::npos) return line;
    line.Kind = TLineKind::Pair;
    line.Name = TrimBlanks(text.substr(0, equals));
    line.Value = TrimBlanks(text.substr(equals + 1)).substr(0, kIniMaxValueLength);
    return line;
}

// The file's bytes, or nullopt for anything but a readable regular file (or a link to one).
std::optional<std::string> ReadCapped(const std::string& path) {
    if (!FileExists(path)) return std::nullopt;
    int fd = -1;
    do {
        fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) return std::nullopt;
    struct TCloser {
        int Fd;
        ~TCloser() { ::close(Fd); }
    } closer{fd};
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) return std::nullopt;
    if (static_cast<uint64_t>(info.st_size) > kIniFileMaxBytes) RaiseTooLarge(path, uint64_t(info.st_size));
    // One byte more than fstat said: a file grown since then is read on until it passes the cap.
    std::string bytes(static_cast<size_t>(info.st_size) + 1, '\0');
    size_t done = 0;
    for (;;) {
        if (done == bytes.size()) {
            if (done > kIniFileMaxBytes) RaiseTooLarge(path, done);
            bytes.resize(kIniFileMaxBytes + 1);
        }
        const ssize_t n = ::read(fd, bytes.data() + done, bytes.size() - done);
        if (n == 0) break;
        if (n < 0) {
            if (errno == EINTR) continue;
            return std::nullopt;
        }
        done += static_cast<size_t>(n);
    }
    bytes.resize(done);
    return bytes;
}

} // namespace

TIniFile TIniFile::FromText(std::string_view text) {
    TIniFile ini;
    ini.Bytes.assign(text);
    return ini;
}

TIniFile TIniFile::FromFile(const std::string& path) {
    TIniFile ini;
    if (auto bytes = ReadCapped(path)) ini.Bytes = std::move(*bytes);
    return ini;
}

TIniFile::TLineSpan TIniFile::LineAt(size_t start) const {
    const size_t end = Bytes.find('\n', start);
    if (end == std::string::npos) return {start, Bytes.size(), Bytes.size()};
    return {start, end, end + 1};
}

std::optional<TIniFile::TSectionSpan> TIniFile::FindSection(std::string_view section) const {
    const std::string_view wanted = TrimBlanks(section);
    const std::string_view bytes = Bytes;
    for (size_t start = 0; start < Bytes.size();) {
        const TLineSpan header = LineAt(start);
        start = header.Next;
        const TParsedLine parsed = ParseLine(bytes.substr(header.Start, header.End - header.Start));
        if (parsed.Kind != TLineKind::Section || !SameTextAscii(parsed.Name, wanted)) continue;
        size_t end = header.Next;
        while (end < Bytes.size()) {
            const TLineSpan line = LineAt(end);
            if (ParseLine(bytes.substr(line.Start, line.End - line.Start)).Kind == TLineKind::Section) break;
            end = line.Next;
        }
        return TSectionSpan{header, header.Next, end};
    }
    return std::nullopt;
}

bool TIniFile::SectionExists(std::string_view section) const {
    return FindSection(section).has_value();
}

std::optional<std::string> TIniFile::FindValue(std::string_view section, std::string_view key) const {
    const auto range = FindSection(section);
    if (!range) return std::nullopt;
    const std::string_view wanted = TrimBlanks(key);
    if (wanted.empty()) return std::nullopt;
    const std::string_view bytes = Bytes;
    for (size_t start = range->BodyStart; start < range->BodyEnd;) {
        const TLineSpan line = LineAt(start);
        start = line.Next;
        const TParsedLine parsed = ParseLine(bytes.substr(line.Start, line.End - line.Start));
        if (parsed.Kind == TLineKind::Pair && SameTextAscii(parsed.Name, wanted))
            return std::string(parsed.Value);
    }
    return std::nullopt;
}

std::string TIniFile::ReadString(std::string_view section, std::string_view key,
                                 std::string_view defaultValue) const {
    if (auto value = FindValue(section, key)) return std::move(*value);
    // The platform function drops a default's trailing blanks and hands it back through the value's buffer.
    while (!defaultValue.empty() && (defaultValue.back() == ' ' || defaultValue.back() == '\t'))
        defaultValue.remove_suffix(1);
    return std::string(defaultValue.substr(0, kIniMaxValueLength));
}

TIniPairs TIniFile::ReadSection(std::string_view section) const {
    TIniPairs pairs;
    const auto range = FindSection(section);
    if (!range) return pairs;
    const std::string_view bytes = Bytes;
    for (size_t start = range->BodyStart; start < range->BodyEnd;) {
        const TLineSpan line = LineAt(start);
        start = line.Next;
        const TParsedLine parsed = ParseLine(bytes.substr(line.Start, line.End - line.Start));
        if (parsed.Kind == TLineKind::Pair && !parsed.Name.empty())
            pairs.emplace_back(std::string(parsed.Name), std::string(parsed.Value));
    }
    return pairs;
}

void TIniFile::Terminate(const TLineSpan& line) {
    if (line.Terminated()) return;
    if (line.End == line.Start || Bytes[line.End - 1] != '\r')
        Bytes += "\r\n";
    else
        Bytes += '\n';
}

void TIniFile::WriteString(std::string_view section, std::string_view key, std::string_view value) {
    const std::string sectionName(TrimBlanks(CutAtLineBreak(section)));
    const std::string keyName(TrimBlanks(CutAtLineBreak(key)));
    const std::string_view newValue = CutAtLineBreak(value);

    const auto range = FindSection(sectionName);
    if (!range) {
        if (!Bytes.empty()) {
            size_t last = Bytes.rfind('\n', Bytes.size() - 1);
            last = last == std::string::npos ? 0 : last + 1;
            if (last < Bytes.size()) Terminate(LineAt(last));
        }
        Bytes += "[" + sectionName + "]\r\n" + keyName + "=" + std::string(newValue) + "\r\n";
        return;
    }
    const std::string_view bytes = Bytes;
    // New keys go after the section's last non-blank line, so blank lines stay before the next section.
    TLineSpan after = range->Header;
    for (size_t start = range->BodyStart; start < range->BodyEnd;) {
        const TLineSpan line = LineAt(start);
        start = line.Next;
        std::string_view content = bytes.substr(line.Start, line.End - line.Start);
        const TParsedLine parsed = ParseLine(content);
        if (parsed.Kind == TLineKind::Pair && SameTextAscii(parsed.Name, keyName)) {
            // The key keeps the spelling it has in the file.
            const std::string replacement = std::string(parsed.Name) + "=" + std::string(newValue) + "\r\n";
            Bytes.replace(line.Start, line.Next - line.Start, replacement);
            return;
        }
        if (!content.empty() && content.back() == '\r') content.remove_suffix(1);
        if (!TrimBlanks(content).empty()) after = line;
    }
    Terminate(after);
    const size_t at = after.Terminated() ? after.Next : Bytes.size();
    Bytes.insert(at, keyName + "=" + std::string(newValue) + "\r\n");
}

std::string TIniFile::Text() const {
    return Bytes;
}

void TIniFile::SaveToFile(const std::string& path) const {
    try {
        WriteFileAtomically(path, Text());
    } catch (const ELumatex&) {
        RaiseWriteError(path);
    }
}

std::string ReadProfileString(const std::string& path, std::string_view section, std::string_view key,
                              std::string_view defaultValue) {
    TIniFile ini;
    try {
        ini = TIniFile::FromFile(path);
    } catch (const ELumatex&) {
    }
    return ini.ReadString(section, key, defaultValue);
}

TIniPairs ReadProfileSection(const std::string& path, std::string_view section) {
    try {
        return TIniFile::FromFile(path).ReadSection(section);
    } catch (const ELumatex&) {
        return {};
    }
}
