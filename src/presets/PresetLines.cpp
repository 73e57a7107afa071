#include "presets/PresetLines.h"

#include "platform/NumberText.h"
#include "platform/Text.h"

#include <cmath>
#include <optional>

namespace {

std::optional<float> ReadSingle(std::string_view text) {
    const std::optional<double> value = ParseFloat(text);
    // A value that would round to infinity in single precision counts as unreadable; everything below
    // that rounds to a finite float (the largest float's own text included).
    constexpr double kSingleOverflow = 0x1.ffffffp+127;
    if (!value || !std::isfinite(*value) || std::fabs(*value) >= kSingleOverflow) return std::nullopt;
    return static_cast<float>(*value);
}

} // namespace

std::string PresetParamValue(const std::string& uniformName, const float* values, int components) {
    std::string text = uniformName + ":";
    for (int k = 0; k < components; ++k) {
        if (k > 0) text += ';';
        text += FloatToText(static_cast<double>(values[k]));
    }
    return text;
}

std::array<float, 4> ReadPresetComponents(std::string_view numbers, int components) {
    std::array<float, 4> result{};
    const std::array<float, 4> unreadable = {1.0f, 1.0f, 1.0f, 1.0f};
    std::string_view rest = numbers;
    for (int k = 0; k < components; ++k) {
        std::string_view piece;
        if (k < components - 1) {
            const size_t semicolon = rest.find(';');
            // Without a further ";" the piece is empty, and an empty text cannot be read.
            if (semicolon == std::string_view::npos) return unreadable;
            piece = rest.substr(0, semicolon);
            rest = rest.substr(semicolon + 1);
        } else {
            piece = rest;
        }
        const std::optional<float> value = ReadSingle(piece);
        if (!value) return unreadable;
        result[static_cast<size_t>(k)] = *value;
    }
    return result;
}

std::vector<TPresetParamLine> ParsePresetLine(std::string_view line) {
    std::vector<TPresetParamLine> result;
    for (int kind = 0; kind < 4; ++kind) {
        if (line.find(kPresetParamKeys[static_cast<size_t>(kind)]) == std::string_view::npos) continue;
        const size_t eq = line.find('=');
        const std::string_view text = TrimBlanks(eq == std::string_view::npos ? line : line.substr(eq + 1));
        const size_t colon = text.find(':');
        TPresetParamLine entry;
        entry.Components = kind + 1;
        std::string_view numbers = text;
        if (colon != std::string_view::npos) {
            entry.Name = std::string(text.substr(0, colon));
            numbers = TrimBlanks(text.substr(colon + 1));
        }
        entry.Value = ReadPresetComponents(numbers, entry.Components);
        result.push_back(std::move(entry));
    }
    return result;
}
