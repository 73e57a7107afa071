#include "platform/Text.h"

#include <locale>
#include <stdexcept>

namespace {

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

char UpperAscii(char c) {
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

// The user's locale, taken once; an environment naming a locale the system lacks falls back to "C".
const std::locale& UserLocale() {
    static const std::locale locale = [] {
        try {
            return std::locale("");
        } catch (const std::runtime_error&) {
            return std::locale::classic();
        }
    }();
    return locale;
}

// The name as wide characters of the locale's encoding, upper-cased. Bytes the encoding cannot decode are
// taken one by one, so every name still compares consistently.
std::wstring UpperWide(const std::string& text, const std::locale& locale) {
    const auto& codec = std::use_facet<std::codecvt<wchar_t, char, std::mbstate_t>>(locale);
    std::wstring wide(text.size(), L'\0');
    std::mbstate_t state{};
    const char* fromNext = nullptr;
    wchar_t* toNext = nullptr;
    const auto result = codec.in(state, text.data(), text.data() + text.size(), fromNext, wide.data(),
                                 wide.data() + wide.size(), toNext);
    if (result == std::codecvt_base::ok) {
        wide.resize(size_t(toNext - wide.data()));
    } else {
        wide.clear();
        for (char c : text)
            wide.push_back(wchar_t(static_cast<unsigned char>(c)));
    }
    std::use_facet<std::ctype<wchar_t>>(locale).toupper(wide.data(), wide.data() + wide.size());
    return wide;
}

} // namespace

std::string_view TrimBlanks(std::string_view text) {
    while (!text.empty() && IsBlank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && IsBlank(text.back()))
        text.remove_suffix(1);
    return text;
}

std::string AsciiUpper(std::string text) {
    for (char& c : text)
        c = UpperAscii(c);
    return text;
}

std::string AsciiLower(std::string text) {
    for (char& c : text)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return text;
}

bool SameTextAscii(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (UpperAscii(a[i]) != UpperAscii(b[i])) return false;
    return true;
}

int CompareTextLocale(const std::string& a, const std::string& b) {
    const std::locale& locale = UserLocale();
    const std::wstring upperA = UpperWide(a, locale);
    const std::wstring upperB = UpperWide(b, locale);
    return std::use_facet<std::collate<wchar_t>>(locale).compare(
        upperA.data(), upperA.data() + upperA.size(), upperB.data(), upperB.data() + upperB.size());
}
