// Pass size formulas on arbitrary text: no crash or hang, a result is always a usable edge, a refusal
// always says why, and the answer depends on the variables only.
#include "render/PassSizeExpression.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

void Check(bool condition, const char* what) {
    if (!condition) {
        std::fprintf(stderr, "fuzz_pass_size: %s\n", what);
        std::abort();
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    // Sizes a window really has, a zero input to divide by, and one far out of range.
    const TPassSizeExpression::TVariables variables = {
        {"WIDTH", 640.0}, {"HEIGHT", 360.0}, {"scale", 0.5}, {"zero", 0.0}, {"huge", 1e300}};
    std::string why;
    const auto edge = TPassSizeExpression::Evaluate(text, variables, why);
    if (edge)
        Check(*edge >= 1 && *edge <= kMaxPassEdge, "an edge out of range");
    else
        Check(!why.empty(), "a refusal without a reason");

    std::string whyAgain;
    Check(TPassSizeExpression::Evaluate(text, variables, whyAgain) == edge && whyAgain == why,
          "the same formula gives another answer");
    return 0;
}
