#include "platform/IniFile.h"

#include "platform/ELumatex.h"
#include "platform/Files.h"
#include "platform/Text.h"

namespace {

// A CR or LF inside a written name or value would start a new line in the file.
std::string_view CutAtLineBreak(std::string_view text) {
    const size_t at = text.find_first_of("\r\n");
    return at == std::string_view::npos ? text : text.substr(0, at);
}

[[noreturn]] void RaiseWriteError(const std::string& path) {
    throw ELumatex(FormatText("In %s kann nicht geschrieben werden", path.c_str()));
}

} // namespace

TIniFile::TLine TIniFile::ParseLine(std::string content, bool terminated) {
    TLine line;
    line.Content = std::move(content);
    line.Terminated = terminated;
    std::string_view text = line.Content;
    if (!text.empty() && text.back() == '\r') text.remove_suffix(1);
    text = TrimBlanks(text);
    if (text.empty() || text.front() == ';') return line;
    if (text.front() == '[') {
        text.remove_prefix(1);
        const size_t close = text.find(']');
        line.Kind = TLineKind::Section;
        line.Name = TrimBlanks(text.substr(0, close));
        return line;
    }
    const size_t equals = text.find('=');
    if (equals == std::string_view::npos) return line;
    line.Kind = TLineKind::Pair;
    line.Name = TrimBlanks(text.substr(0, equals));
    line.Value = TrimBlanks(text.substr(equals + 1)).substr(0, kIniMaxValueLength);
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
    const std::string_view wanted = TrimBlanks(section);
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
    const std::string_view wanted = TrimBlanks(key);
    if (wanted.empty()) return std::nullopt;
    for (size_t i = range->first; i < range->second; ++i)
        if (Lines[i].Kind == TLineKind::Pair && SameTextAscii(Lines[i].Name, wanted)) return Lines[i].Value;
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
    const std::string sectionName(TrimBlanks(CutAtLineBreak(section)));
    const std::string keyName(TrimBlanks(CutAtLineBreak(key)));
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
        if (!TrimBlanks(content).empty()) after = i;
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
    try {
        WriteFileAtomically(path, Text());
    } catch (const ELumatex&) {
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
