// PassSizeExpression.h: TPassSizeExpression, the width or height of an effect file's pass written as a
// formula over "$WIDTH", "$HEIGHT" and the effect's numeric inputs ("$WIDTH/2.0", "max(floor($HEIGHT *
// $scale), 1.0)"). The arithmetic is muParser's; this unit names the variables, turns the result into a
// whole pixel count and refuses results no framebuffer could take.
// Plain values, any thread; no GL.
#pragma once

#include <map>
#include <optional>
#include <string>

// The longest edge a pass may ask for: far beyond any effect's need, and small enough that a hostile file
// cannot ask the driver for gigabytes.
inline constexpr int kMaxPassEdge = 8192;

class TPassSizeExpression {
public:
    // Variables by name without the "$" ("WIDTH", "HEIGHT", input names).
    using TVariables = std::map<std::string, double>;

    // The pixel count the text gives for variables: rounded to the nearest whole number, at least 1. Empty
    // with why set for a text that does not parse, names an unknown variable, divides by zero (any result
    // that is not finite) or gives an edge over kMaxPassEdge.
    static std::optional<int> Evaluate(const std::string& text, const TVariables& variables,
                                       std::string& why);
};
