#include "render/PassSizeExpression.h"

#include <muParser.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <vector>

namespace {

// Effect files write variables as "$NAME"; muParser's own name characters do not include "$".
constexpr const char* kNameChars = "0123456789_abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ$";

// Long texts only come from broken or hostile files; muParser's stack grows with the nesting.
constexpr size_t kMaxTextLength = 1000;

// GLSL's names, which the files' formulas borrow; muParser brings min, max, abs, sqrt and the rest.
double Floor(double x) {
    return std::floor(x);
}
double Ceil(double x) {
    return std::ceil(x);
}
double Round(double x) {
    return std::round(x);
}
double Power(double x, double y) {
    return std::pow(x, y);
}

} // namespace

std::optional<int> TPassSizeExpression::Evaluate(const std::string& text, const TVariables& variables,
                                                 std::string& why) {
    if (text.size() > kMaxTextLength) {
        why = "the size formula is longer than " + std::to_string(kMaxTextLength) + " characters";
        return std::nullopt;
    }
    try {
        mu::Parser parser;
        parser.DefineNameChars(kNameChars);
        parser.DefineFun("floor", Floor);
        parser.DefineFun("ceil", Ceil);
        parser.DefineFun("round", Round);
        parser.DefineFun("pow", Power);
        // muParser binds variables by address: the values live in this vector for the parser's lifetime.
        std::vector<double> values;
        values.reserve(variables.size());
        for (const auto& [name, value] : variables) {
            values.push_back(value);
            parser.DefineVar("$" + name, &values.back());
        }
        parser.SetExpr(text);
        const double result = parser.Eval();
        if (!std::isfinite(result)) {
            why = "the size formula \"" + text + "\" has no finite value (a division by zero?)";
            return std::nullopt;
        }
        const double rounded = std::round(result);
        if (rounded > kMaxPassEdge) {
            char asked[32];
            std::snprintf(asked, sizeof asked, "%.0f", std::min(rounded, 1e18));
            why = "the size formula \"" + text + "\" asks for " + asked + " pixels, more than " +
                  std::to_string(kMaxPassEdge);
            return std::nullopt;
        }
        return rounded < 1.0 ? 1 : int(rounded);
    } catch (const mu::Parser::exception_type& e) {
        why = "the size formula \"" + text + "\" cannot be read: " + e.GetMsg();
        return std::nullopt;
    }
}
