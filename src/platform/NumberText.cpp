#include "platform/NumberText.h"

#include <charconv>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <system_error>

namespace {

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}
bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

std::string NonFinite(double value) {
    if (std::isnan(value)) return "NAN";
    return value < 0 ? "-INF" : "INF";
}

} // namespace

std::optional<double> ParseFloat(std::string_view text) {
    size_t i = 0;
    const size_t n = text.size();
    while (i < n && IsBlank(text[i]))
        ++i;
    bool negative = false;
    if (i < n && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
    const size_t intStart = i;
    while (i < n && IsDigit(text[i]))
        ++i;
    const std::string_view intDigits = text.substr(intStart, i - intStart);
    std::string_view fracDigits;
    if (i < n && text[i] == '.') {
        const size_t fracStart = ++i;
        while (i < n && IsDigit(text[i]))
            ++i;
        fracDigits = text.substr(fracStart, i - fracStart);
    }
    if (intDigits.empty() && fracDigits.empty()) return std::nullopt;
    long long exponent = 0;
    bool hasExponent = false;
    if (i < n && (text[i] == 'e' || text[i] == 'E')) {
        ++i;
        bool expNegative = false;
        if (i < n && (text[i] == '+' || text[i] == '-')) expNegative = text[i++] == '-';
        const size_t expStart = i;
        while (i < n && IsDigit(text[i])) {
            // Saturate: anything this large is out of range either way.
            if (exponent < 100000000) exponent = exponent * 10 + (text[i] - '0');
            ++i;
        }
        if (i == expStart) return std::nullopt;
        if (expNegative) exponent = -exponent;
        hasExponent = true;
    }
    while (i < n && IsBlank(text[i]))
        ++i;
    if (i != n) return std::nullopt;

    // Hand from_chars one canonical form, so that its own leniencies never decide what is accepted.
    std::string canonical;
    canonical.reserve(intDigits.size() + fracDigits.size() + 16);
    if (negative) canonical += '-';
    canonical += intDigits.empty() ? std::string_view("0") : intDigits;
    canonical += '.';
    canonical += fracDigits.empty() ? std::string_view("0") : fracDigits;
    if (hasExponent) {
        canonical += 'e';
        canonical += std::to_string(exponent);
    }
    double value = 0.0;
    const auto [end, ec] = std::from_chars(canonical.data(), canonical.data() + canonical.size(), value);
    if (ec == std::errc() && end == canonical.data() + canonical.size()) return value;
    if (ec != std::errc::result_out_of_range) return std::nullopt;
    // Out of range: the decimal position of the first significant digit tells overflow from underflow.
    long long position = 0;
    const size_t firstInt = intDigits.find_first_not_of('0');
    if (firstInt != std::string_view::npos) {
        position = static_cast<long long>(intDigits.size() - firstInt);
    } else {
        const size_t firstFrac = fracDigits.find_first_not_of('0');
        if (firstFrac == std::string_view::npos) return negative ? -0.0 : 0.0;
        position = -static_cast<long long>(firstFrac);
    }
    if (position + exponent > 0) return std::nullopt;
    return negative ? -0.0 : 0.0;
}

std::string FloatToText(double value) {
    if (!std::isfinite(value)) return NonFinite(value);
    if (value == 0.0) return "0";
    // 15 significant digits, correctly rounded: d.dddddddddddddde<exp>.
    char buffer[64];
    const auto result =
        std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::scientific, 14);
    const std::string_view text(buffer, static_cast<size_t>(result.ptr - buffer));
    const size_t ePos = text.find('e');
    const bool negative = text.front() == '-';
    std::string digits;
    for (char c : text.substr(0, ePos))
        if (IsDigit(c)) digits += c;
    while (digits.size() > 1 && digits.back() == '0')
        digits.pop_back();
    int exponent = 0;
    std::from_chars(text.data() + ePos + 1 + (text[ePos + 1] == '+'), text.data() + text.size(), exponent);

    std::string out = negative ? "-" : "";
    if (exponent < -5 || exponent >= 15) {
        out += digits[0];
        if (digits.size() > 1) out += "." + digits.substr(1);
        out += "E" + std::to_string(exponent);
    } else if (exponent >= 0) {
        const size_t intCount = static_cast<size_t>(exponent) + 1;
        if (digits.size() <= intCount) {
            out += digits + std::string(intCount - digits.size(), '0');
        } else {
            out += digits.substr(0, intCount) + "." + digits.substr(intCount);
        }
    } else {
        out += "0." + std::string(static_cast<size_t>(-exponent - 1), '0') + digits;
    }
    return out;
}

std::string FormatFixed(double value, int decimals) {
    if (!std::isfinite(value)) return NonFinite(value);
    if (std::fabs(value) >= 1e18) return FloatToText(value);
    if (decimals < 0) decimals = 0;
    if (decimals > 18) decimals = 18;
    // Enough extra digits that no double closer to a half than these digits show can be mistaken for one;
    // then round the decimal text, halves away from zero.
    char buffer[96];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, std::fabs(value),
                                      std::chars_format::fixed, decimals + 25);
    std::string text(buffer, result.ptr);
    const size_t point = text.find('.');
    std::string digits = text.substr(0, point) + text.substr(point + 1, static_cast<size_t>(decimals));
    const bool roundUp = text[point + 1 + static_cast<size_t>(decimals)] >= '5';
    if (roundUp) {
        size_t i = digits.size();
        while (i > 0) {
            --i;
            if (digits[i] == '9') {
                digits[i] = '0';
                continue;
            }
            ++digits[i];
            break;
        }
        // Only a carry out of the first digit leaves nothing but zeros.
        if (digits.find_first_not_of('0') == std::string::npos) digits.insert(digits.begin(), '1');
    }
    const size_t intCount = digits.size() - static_cast<size_t>(decimals);
    std::string out;
    if (value < 0 && digits.find_first_not_of('0') != std::string::npos) out += '-';
    out += digits.substr(0, intCount);
    if (decimals > 0) out += "." + digits.substr(intCount);
    return out;
}

std::string FormatFloat(std::string_view pattern, double value) {
    int decimals = 0;
    const size_t point = pattern.find('.');
    if (point != std::string_view::npos)
        for (char c : pattern.substr(point + 1))
            if (c == '0') ++decimals;
    return FormatFixed(value, decimals);
}
