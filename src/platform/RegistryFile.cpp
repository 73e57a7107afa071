#include "platform/RegistryFile.h"

#include "platform/ELumatex.h"
#include "platform/Files.h"
#include "platform/Text.h"

#include <cassert>
#include <cerrno>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>
#include <unordered_map>

namespace fs = std::filesystem;

namespace {

constexpr std::string_view kHeaderV4 = "REGEDIT4";
constexpr std::string_view kHeaderV5 = "Windows Registry Editor Version 5.00";

bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
    return text.size() >= prefix.size() && SameTextAscii(text.substr(0, prefix.size()), prefix);
}

std::string_view TrimLeft(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t'))
        text.remove_prefix(1);
    return text;
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// Hex digits only, at most maxDigits of them; nullopt for anything else, an empty text included.
std::optional<uint32_t> ParseHexNumber(std::string_view digits, size_t maxDigits) {
    if (digits.empty() || digits.size() > maxDigits) return std::nullopt;
    uint32_t value = 0;
    for (const char c : digits) {
        const int digit = HexDigit(c);
        if (digit < 0) return std::nullopt;
        value = value << 4 | static_cast<uint32_t>(digit);
    }
    return value;
}

void AppendUtf8(std::string& out, uint32_t code) {
    if (code < 0x80) {
        out += static_cast<char>(code);
    } else if (code < 0x800) {
        out += static_cast<char>(0xC0 | code >> 6);
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
        out += static_cast<char>(0xE0 | code >> 12);
        out += static_cast<char>(0x80 | (code >> 6 & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | code >> 18);
        out += static_cast<char>(0x80 | (code >> 12 & 0x3F));
        out += static_cast<char>(0x80 | (code >> 6 & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    }
}

// Unpaired surrogates become U+FFFD and an odd last byte is dropped: a damaged file still reads.
std::string Utf16LeToUtf8(std::string_view bytes) {
    std::string out;
    out.reserve(bytes.size());
    const size_t units = bytes.size() / 2;
    auto unitAt = [&](size_t i) {
        return static_cast<uint32_t>(static_cast<uint8_t>(bytes[2 * i]) |
                                     static_cast<uint8_t>(bytes[2 * i + 1]) << 8);
    };
    for (size_t i = 0; i < units; ++i) {
        const uint32_t unit = unitAt(i);
        if (unit >= 0xD800 && unit < 0xDC00 && i + 1 < units) {
            const uint32_t low = unitAt(i + 1);
            if (low >= 0xDC00 && low < 0xE000) {
                AppendUtf8(out, 0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00));
                ++i;
                continue;
            }
        }
        AppendUtf8(out, unit >= 0xD800 && unit < 0xE000 ? 0xFFFD : unit);
    }
    return out;
}

// The length of the valid UTF-8 sequence at the start of text and its code point; 0 when it is none
// (a stray continuation byte, a sequence cut short, an overlong form, a surrogate, beyond U+10FFFF).
size_t DecodeUtf8(std::string_view text, uint32_t& code) {
    const auto byte = [&](size_t i) { return static_cast<uint8_t>(text[i]); };
    const uint8_t lead = byte(0);
    if (lead < 0x80) {
        code = lead;
        return 1;
    }
    const size_t length = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 0;
    if (length == 0 || text.size() < length) return 0;
    code = lead & (0x7F >> length);
    for (size_t i = 1; i < length; ++i) {
        if ((byte(i) & 0xC0) != 0x80) return 0;
        code = code << 6 | (byte(i) & 0x3F);
    }
    static constexpr uint32_t kSmallest[] = {0, 0, 0x80, 0x800, 0x10000};
    if (code < kSmallest[length] || code > 0x10FFFF || (code >= 0xD800 && code < 0xE000)) return 0;
    return length;
}

std::string Utf8ToUtf16Le(std::string_view text) {
    std::string bytes;
    bytes.reserve(text.size() * 2);
    const auto appendUnit = [&bytes](uint32_t unit) {
        bytes += static_cast<char>(unit & 0xFF);
        bytes += static_cast<char>(unit >> 8);
    };
    while (!text.empty()) {
        uint32_t code = 0;
        size_t length = DecodeUtf8(text, code);
        if (length == 0) {
            code = 0xFFFD;
            length = 1;
        }
        if (code >= 0x10000) {
            appendUnit(0xD800 + ((code - 0x10000) >> 10));
            appendUnit(0xDC00 + ((code - 0x10000) & 0x3FF));
        } else {
            appendUnit(code);
        }
        text.remove_prefix(length);
    }
    return bytes;
}

// Reads a quoted text whose opening quote is at pos; pos ends after the closing quote. false when the
// line ends first.
bool ParseQuoted(std::string_view line, size_t& pos, std::string& text) {
    for (++pos; pos < line.size(); ++pos) {
        const char c = line[pos];
        if (c == '"') {
            ++pos;
            return true;
        }
        if (c == '\\') {
            if (++pos == line.size()) return false;
            text += line[pos];
        } else {
            text += c;
        }
    }
    return false;
}

std::optional<std::string> ParseHexBytes(std::string_view list) {
    std::string bytes;
    list = TrimBlanks(list);
    if (list.empty()) return bytes;
    while (true) {
        const size_t comma = list.find(',');
        const auto byte = ParseHexNumber(TrimBlanks(list.substr(0, comma)), 2);
        if (!byte) return std::nullopt;
        bytes += static_cast<char>(*byte);
        if (comma == std::string_view::npos) return bytes;
        list.remove_prefix(comma + 1);
    }
}

// hex(1): the string's bytes and its terminating NUL; UTF-16LE units in an export of version 5.
std::optional<std::string> DecodeStringBytes(std::string bytes, bool wide) {
    if (!wide) {
        if (!bytes.empty() && bytes.back() == '\0') bytes.pop_back();
        return bytes;
    }
    if (bytes.size() % 2 != 0) return std::nullopt;
    if (bytes.size() >= 2 && bytes[bytes.size() - 1] == '\0' && bytes[bytes.size() - 2] == '\0')
        bytes.resize(bytes.size() - 2);
    return Utf16LeToUtf8(bytes);
}

// The value a data text stands for; nullopt for "-", which removes the value.
std::optional<TRegValue> ParseData(std::string_view data, bool wide) {
    data = TrimBlanks(data);
    TRegValue value;
    value.Text = data;
    if (data == "-") return std::nullopt;
    if (!data.empty() && data.front() == '"') {
        size_t pos = 0;
        std::string text;
        if (ParseQuoted(data, pos, text) && pos == data.size()) {
            value.Kind = TRegValueKind::String;
            value.Text = std::move(text);
        }
        return value;
    }
    if (StartsWithNoCase(data, "dword:")) {
        if (const auto number = ParseHexNumber(TrimBlanks(data.substr(6)), 8)) {
            value.Kind = TRegValueKind::Dword;
            value.Dword = *number;
        }
        return value;
    }
    if (!StartsWithNoCase(data, "hex(")) return value; // hex: (binary) and unknown forms
    const size_t close = data.find("):");
    if (close == std::string_view::npos) return value;
    const auto type = ParseHexNumber(data.substr(4, close - 4), 8);
    const auto bytes = ParseHexBytes(data.substr(close + 2));
    if (!type || !bytes) return value;
    if (*type == 1) {
        if (auto text = DecodeStringBytes(*bytes, wide)) {
            value.Kind = TRegValueKind::String;
            value.Text = std::move(*text);
        }
    } else if (*type == 4 && bytes->size() == 4) {
        value.Kind = TRegValueKind::Dword;
        for (int i = 3; i >= 0; --i)
            value.Dword = value.Dword << 8 | static_cast<uint8_t>((*bytes)[static_cast<size_t>(i)]);
    }
    return value;
}

std::string_view StripTrailingBackslashes(std::string_view key) {
    while (!key.empty() && key.back() == '\\')
        key.remove_suffix(1);
    return key;
}

std::string Quote(std::string_view text) {
    std::string quoted = "\"";
    for (const char c : text) {
        if (c == '\\' || c == '"') quoted += '\\';
        quoted += c;
    }
    return quoted + '"';
}

// Whole file, or nullopt when it is not a regular file, cannot be read or is above the cap. O_NONBLOCK keeps
// a FIFO in its place from blocking the open.
std::optional<std::string> ReadCapped(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd < 0) return std::nullopt;
    std::optional<std::string> bytes;
    struct stat info {};
    if (::fstat(fd, &info) == 0 && S_ISREG(info.st_mode) &&
        static_cast<uint64_t>(info.st_size) <= kRegistryFileMaxBytes) {
        // Read one byte past the cap so a file that grew since fstat is refused as well.
        std::string buffer(kRegistryFileMaxBytes + 1, '\0');
        size_t done = 0;
        bool failed = false;
        while (done < buffer.size()) {
            const ssize_t n = ::read(fd, buffer.data() + done, buffer.size() - done);
            if (n == 0) break;
            if (n < 0) {
                if (errno == EINTR) continue;
                failed = true;
                break;
            }
            done += static_cast<size_t>(n);
        }
        if (!failed && done <= kRegistryFileMaxBytes) {
            buffer.resize(done);
            bytes = std::move(buffer);
        }
    }
    ::close(fd);
    return bytes;
}

// The file's lines without their line ends; a last line end starts no line of its own.
std::vector<std::string_view> SplitLines(std::string_view bytes) {
    std::vector<std::string_view> lines;
    for (size_t start = 0; start < bytes.size();) {
        size_t end = bytes.find('\n', start);
        if (end == std::string_view::npos) end = bytes.size();
        std::string_view line = bytes.substr(start, end - start);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        lines.push_back(line);
        start = end + 1;
    }
    return lines;
}

bool IsHeader(std::string_view line) {
    line = TrimBlanks(line);
    return line == kHeaderV4 || line == kHeaderV5;
}

// The named value that starts at lines[i], with the lines its hex data goes on over; i ends on its last
// line. false when the line is no named value ("@", a comment, a name without "=").
bool ParseValueLine(const std::vector<std::string_view>& lines, size_t& i, std::string& name,
                    std::string& data) {
    const std::string_view line = TrimLeft(lines[i]);
    if (line.empty() || line.front() != '"') return false;
    size_t pos = 0;
    if (!ParseQuoted(line, pos, name)) return false;
    const std::string_view rest = TrimLeft(line.substr(pos));
    if (rest.empty() || rest.front() != '=') return false;
    data = TrimLeft(rest.substr(1));
    // Long hex data goes on over lines that end with a backslash.
    if (StartsWithNoCase(data, "hex")) {
        data = TrimBlanks(data);
        while (!data.empty() && data.back() == '\\' && i + 1 < lines.size()) {
            data.pop_back();
            data += TrimBlanks(lines[++i]);
        }
    }
    return true;
}

} // namespace

TRegistryFile::TRegistryFile(std::string key) : FKey(std::move(key)) {}

TRegistryFile TRegistryFile::FromText(std::string key, std::string_view bytes) {
    TRegistryFile reg(std::move(key));
    std::string decoded;
    if (bytes.starts_with("\xFF\xFE")) {
        decoded = Utf16LeToUtf8(bytes.substr(2));
        bytes = decoded;
    } else if (bytes.starts_with("\xEF\xBB\xBF")) {
        bytes.remove_prefix(3);
    }
    const std::vector<std::string_view> lines = SplitLines(bytes);
    reg.FWide = !lines.empty() && TrimBlanks(lines.front()) == kHeaderV5;

    const std::string_view wantedKey = StripTrailingBackslashes(reg.FKey);
    bool inKey = false, keySeen = false;
    // A crafted file may hold a hundred thousand names: look them up by hash, not by walking the list.
    std::vector<std::optional<TRegValue>> parsed;    // removed values stay as holes until the end
    std::unordered_map<std::string, size_t> indexOf; // ASCII lower-case name -> index in parsed
    for (size_t i = !lines.empty() && IsHeader(lines.front()) ? 1 : 0; i < lines.size(); ++i) {
        const std::string_view line = TrimLeft(lines[i]);
        if (!line.empty() && line.front() == '[') {
            const size_t close = line.rfind(']');
            inKey = close != std::string_view::npos &&
                    SameTextAscii(StripTrailingBackslashes(line.substr(1, close - 1)), wantedKey);
            keySeen = keySeen || inKey;
            // A second block of the key joins the first: its key line is written once.
            if (inKey) continue;
        }
        std::string name, data;
        if (!inKey) {
            (keySeen ? reg.FAfter : reg.FBefore).emplace_back(lines[i]);
            continue;
        }
        if (!ParseValueLine(lines, i, name, data)) {
            // Blank lines only separate keys; they are written where a separation is needed.
            if (!line.empty()) reg.FInside.emplace_back(lines[i]);
            continue;
        }
        std::optional<TRegValue> value = ParseData(data, reg.FWide);
        const auto found = indexOf.find(AsciiLower(name));
        if (!value) {
            if (found == indexOf.end()) continue;
            parsed[found->second].reset();
            indexOf.erase(found);
        } else if (found != indexOf.end()) {
            value->Name = std::move(name);
            parsed[found->second] = std::move(value);
        } else {
            indexOf.emplace(AsciiLower(name), parsed.size());
            value->Name = std::move(name);
            parsed.push_back(std::move(value));
        }
    }
    for (std::optional<TRegValue>& value : parsed)
        if (value) reg.FValues.push_back(std::move(*value));
    return reg;
}

TRegistryFile TRegistryFile::FromFile(std::string key, const std::string& path) {
    const auto bytes = ReadCapped(path);
    if (!bytes) return TRegistryFile(std::move(key));
    return FromText(std::move(key), *bytes);
}

const TRegValue* TRegistryFile::Find(std::string_view name) const {
    for (const TRegValue& value : FValues)
        if (SameTextAscii(value.Name, name)) return &value;
    return nullptr;
}

std::optional<int32_t> TRegistryFile::ReadDword(std::string_view name) const {
    const TRegValue* value = Find(name);
    if (!value || value->Kind != TRegValueKind::Dword) return std::nullopt;
    return static_cast<int32_t>(value->Dword);
}

std::optional<std::string> TRegistryFile::ReadString(std::string_view name) const {
    const TRegValue* value = Find(name);
    if (!value || value->Kind != TRegValueKind::String) return std::nullopt;
    return value->Text;
}

TRegValue& TRegistryFile::Slot(std::string_view name) {
    for (TRegValue& value : FValues)
        if (SameTextAscii(value.Name, name)) return value;
    TRegValue& value = FValues.emplace_back();
    value.Name = name;
    return value;
}

void TRegistryFile::WriteDword(std::string_view name, int32_t value) {
    assert(name.find_first_of("\r\n") == std::string_view::npos && "a name is one line");
    TRegValue& slot = Slot(name);
    slot = TRegValue{std::string(name), TRegValueKind::Dword, static_cast<uint32_t>(value), {}};
}

void TRegistryFile::WriteString(std::string_view name, std::string_view text) {
    assert(name.find_first_of("\r\n") == std::string_view::npos && "a name is one line");
    TRegValue& slot = Slot(name);
    slot = TRegValue{std::string(name), TRegValueKind::String, 0, std::string(text)};
}

std::string TRegistryFile::Text() const {
    const auto isBlank = [](const std::string& line) { return TrimBlanks(line).empty(); };
    std::string text = std::string(FWide ? kHeaderV5 : kHeaderV4) + "\n";
    for (const std::string& line : FBefore)
        text += line + "\n";
    if (FBefore.empty() || !isBlank(FBefore.back())) text += "\n";
    text += "[" + FKey + "]\n";
    for (const TRegValue& value : FValues) {
        text += Quote(value.Name) + "=";
        switch (value.Kind) {
        case TRegValueKind::Dword:
            text += FormatText("dword:%08x", value.Dword);
            break;
        case TRegValueKind::String:
            // A quoted string cannot span lines and a NUL would end it early: write the bytes instead, in
            // the export form of the same string type, so the text comes back exactly.
            if (value.Text.find_first_of(std::string_view("\r\n\0", 3)) == std::string::npos) {
                text += Quote(value.Text);
            } else {
                text += "hex(1):";
                for (const char c : FWide ? Utf8ToUtf16Le(value.Text) : value.Text)
                    text += FormatText("%02x,", static_cast<uint8_t>(c));
                text += FWide ? "00,00" : "00";
            }
            break;
        case TRegValueKind::Other:
            text += value.Text;
            break;
        }
        text += '\n';
    }
    for (const std::string& line : FInside)
        text += line + "\n";
    if (!FAfter.empty() && !isBlank(FAfter.front())) text += "\n";
    for (const std::string& line : FAfter)
        text += line + "\n";
    return text;
}

std::string TRegistryFile::Bytes() const {
    if (!FWide) return Text();
    std::string text;
    for (const char c : Text()) {
        if (c == '\n') text += '\r';
        text += c;
    }
    return "\xFF\xFE" + Utf8ToUtf16Le(text);
}

void TRegistryFile::SaveToFile(const std::string& path) const {
    const fs::path folder = fs::path(path).parent_path();
    if (!folder.empty()) {
        std::error_code ec;
        fs::create_directories(folder, ec);
        if (ec)
            throw ELumatex(FormatText("Cannot write %s: the folder %s cannot be made (%s)", path.c_str(),
                                      folder.c_str(), ec.message().c_str()));
    }
    WriteFileAtomically(path, Bytes());
}
