// Text.h: the text helpers every layer shares: blank trimming as the profile files and presets trim, ASCII
// case folding as file names and keys compare, and the user's collation order the plugin menu sorts by.
#pragma once

#include <string>
#include <string_view>

// Drops blanks and tabs at both ends; other white space (line ends) stays.
std::string_view TrimBlanks(std::string_view text);

// ASCII-only case folding, as the profile functions and file names compare.
std::string AsciiUpper(std::string text);
std::string AsciiLower(std::string text);
bool SameTextAscii(std::string_view a, std::string_view b);

// Case-insensitive comparison in the user's collation order (the catalogue's sort order): negative, zero
// or positive. Names that compare equal count as one.
int CompareTextLocale(const std::string& a, const std::string& b);
