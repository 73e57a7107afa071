// RegistryFile.h: the values of one registry key kept in a registry export file (".reg"), types and all.
// A new file is written as REGEDIT4: UTF-8, LF line ends, the header, an empty line, "[key]", then one line
// per value in the order the values were first set:
//   "FBOSize"=dword:00000200         a DWORD, 8 lower-case hex digits, negative numbers as two's complement
//   "LastFile"="C:\\a \"b\""         a string; "\" and '"' escaped with a backslash
//   "Note"=hex(1):61,0a,62,00        a string holding CR, LF or NUL, which a quoted line cannot carry: its
//                                    bytes plus a terminating NUL, the export form of the same string type
// Read leniently, as what the Windows registry editor exports too:
// - "REGEDIT4" (UTF-8 or 8-bit) or "Windows Registry Editor Version 5.00" (UTF-16LE with BOM, where the
//   bytes of hex(1) data are UTF-16LE as well); LF or CR LF; a missing header is tolerated;
// - the key line and value names compare under ASCII case folding; values of other keys, comments (";"),
//   the unnamed value ("@") and lines that are not values are skipped; a value set twice keeps the last;
//   "name"=- removes the value; hex data may go on over lines ending with "\";
// - a backslash in a quoted name or string takes the next character as it is;
// - dword with 1 to 8 hex digits and hex(4) with 4 bytes are DWORDs, quoted text and hex(1) are strings;
//   everything else (hex:, hex(2):, dword with other digits, an unterminated quote ...) is another type.
// Files larger than kRegistryFileMaxBytes, unreadable files and anything but a regular file read as empty.
// What the file holds besides the named values of the key (other keys, comments, the unnamed value, lines
// that are not values) is kept as it stands and written back where it was: the key is the program's, the
// rest of the file is not. A file read as version 5 is written as version 5 again (UTF-16LE with BOM,
// CR LF), so the UTF-16 data of values kept that way keep their meaning; a string set here that is no
// valid UTF-8 cannot be written in UTF-16, and each byte that is not part of a valid sequence becomes U+FFFD.
// No locking: one thread at a time.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// A settings file is a few kilobytes; a cap keeps a stray huge file from being read into memory.
inline constexpr size_t kRegistryFileMaxBytes = 1024 * 1024;

enum class TRegValueKind { Dword, String, Other };

struct TRegValue {
    std::string Name;
    TRegValueKind Kind = TRegValueKind::Other;
    uint32_t Dword = 0;
    std::string Text; // String: the text (UTF-8); Other: the data as written after "=", for writing back
};

class TRegistryFile {
public:
    // key: the full key path as the key line names it, without brackets, e.g. "HKEY_CURRENT_USER\Software".
    explicit TRegistryFile(std::string key);
    static TRegistryFile FromText(std::string key, std::string_view bytes);
    static TRegistryFile FromFile(std::string key, const std::string& path);

    const std::string& Key() const { return FKey; }
    const std::vector<TRegValue>& Values() const { return FValues; }
    const TRegValue* Find(std::string_view name) const;
    // nullopt when the value is missing or of another type.
    std::optional<int32_t> ReadDword(std::string_view name) const;
    std::optional<std::string> ReadString(std::string_view name) const;

    // Replaces a value of that name (any type, any case) in place, or appends it. Names hold no CR or LF.
    void WriteDword(std::string_view name, int32_t value);
    void WriteString(std::string_view name, std::string_view text);

    // The file's text as it would be saved: UTF-8 with LF line ends, the version 5 header for a file read
    // as one.
    std::string Text() const;
    // The file's bytes as they would be saved: Text(), or for version 5 the same in UTF-16LE with a byte
    // order mark and CR LF line ends.
    std::string Bytes() const;
    // Creates the missing folders, then replaces path atomically; raises ELumatex naming the file or folder
    // and the system's reason, leaving an old file whole.
    void SaveToFile(const std::string& path) const;

private:
    TRegValue& Slot(std::string_view name);

    std::string FKey;
    std::vector<TRegValue> FValues;
    bool FWide = false;               // read from a version 5 export
    std::vector<std::string> FBefore; // lines ahead of the key's block, the header excluded
    std::vector<std::string> FInside; // lines of the key's block that are no named value
    std::vector<std::string> FAfter;  // lines after the key's block
};
