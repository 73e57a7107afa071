// NumberText.h: numbers as text with "." as the decimal separator, whatever the user's locale. Plugin
// descriptions, presets and displayed values all read and write numbers through here.
#pragma once

#include <optional>
#include <string>
#include <string_view>

// Reads blanks, an optional "+" or "-", digits with an optional "." and fraction (at least one digit in
// all), an optional exponent ("E" or "e", optional sign, digits), blanks, and nothing else. Empty or
// malformed text and magnitudes beyond double range give nullopt; magnitudes too small for a double give 0.
std::optional<double> ParseFloat(std::string_view text);

// General format: at most 15 significant digits, trailing zeros and a needless "." removed; "E" notation
// ("1.5E-7", "1E20") below 0.00001 and from 16 integer digits on. 0.5 -> "0.5", 1 -> "1",
// (double)(float)0.3 -> "0.300000011920929". NaN and infinities as "NAN", "INF", "-INF".
std::string FloatToText(double value);

// Fixed point with the given number of decimals, halves rounded away from zero; a value that rounds to zero
// has no sign. Magnitudes of 1E18 and more fall back to the general format.
std::string FormatFixed(double value, int decimals);

// The display patterns "0", "0.0", "0.00", "0.000", ...: the count of "0" after the "." is the decimals.
std::string FormatFloat(std::string_view pattern, double value);
