// IniFile.h: INI profile strings, the reader and writer behind plugin descriptions and presets.
// Files stay interchangeable with those the Windows profile functions read and write:
// - sections and keys match under ASCII case folding; blanks (space, tab) around names and values are
//   dropped; a value is cut after 2047 characters;
// - a line "[name]" starts a section; "key=value" is a pair (the first "=" separates); lines starting with
//   ";" are comments; other lines and lines before the first section are kept but never read; when a name
//   occurs twice, the first section and the first key win for lookups and writes;
// - lines end in LF or CR LF on read; written lines end in CR LF; lines a write does not touch stay byte
//   for byte; a file is replaced through a temporary file renamed over it, so a crash never leaves half a
//   file.
// Any bytes are accepted (NUL, binary garbage, huge lines). A file is held as its own bytes and read line by
// line on each lookup, so its memory stays that of the file; files over kIniFileMaxBytes are refused.
// No locking: GUI thread only.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

inline constexpr size_t kIniMaxValueLength = 2047;
// No description, preset or settings file comes near this; a larger one is refused unread.
inline constexpr size_t kIniFileMaxBytes = 1024 * 1024;

using TIniPairs = std::vector<std::pair<std::string, std::string>>;

// One INI file held in memory as its bytes: ask many times, edit, save.
class TIniFile {
public:
    TIniFile() = default;
    static TIniFile FromText(std::string_view text);
    // A missing or unreadable file, or a folder in its place, reads as an empty file. A file of more than
    // kIniFileMaxBytes raises ELumatex naming it, its size and the limit, before its bytes are read.
    static TIniFile FromFile(const std::string& path);

    // The value of key in section, nullopt when either is missing.
    std::optional<std::string> FindValue(std::string_view section, std::string_view key) const;
    std::string ReadString(std::string_view section, std::string_view key,
                           std::string_view defaultValue) const;
    // The section's pairs in file order, each with its own line's value; empty when the section is missing.
    TIniPairs ReadSection(std::string_view section) const;
    bool SectionExists(std::string_view section) const;

    // Replaces the key's value in place, or appends the key to its section, or appends the section at the
    // end. CR and LF would split the line: key and value are cut before the first of them.
    void WriteString(std::string_view section, std::string_view key, std::string_view value);

    // The file's bytes as they would be saved.
    std::string Text() const;
    // Atomic replace of path with Text(); raises ELumatex "In <path> kann nicht geschrieben werden" when the
    // platform refuses (missing folder, folder in the way, read-only file, full disk).
    void SaveToFile(const std::string& path) const;

private:
    // One line of Text: [Start, End) without its "\n"; Next is where the following line starts.
    struct TLineSpan {
        size_t Start = 0;
        size_t End = 0;
        size_t Next = 0;
        bool Terminated() const { return Next > End; }
    };
    // The first section of that name: the line after its header up to the next section's header.
    struct TSectionSpan {
        TLineSpan Header;
        size_t BodyStart = 0;
        size_t BodyEnd = 0;
    };
    TLineSpan LineAt(size_t start) const;
    std::optional<TSectionSpan> FindSection(std::string_view section) const;
    // Gives an unterminated (last) line its line end, "\r\n" unless it already ends with "\r".
    void Terminate(const TLineSpan& line);

    std::string Bytes;
};

// The profile-string readers over a path. They never fail: a missing file, a folder, unreadable bytes or a
// file over kIniFileMaxBytes give the default or an empty section.
std::string ReadProfileString(const std::string& path, std::string_view section, std::string_view key,
                              std::string_view defaultValue);
TIniPairs ReadProfileSection(const std::string& path, std::string_view section);
