// The effect-file header reader and the pass size formulas: what a good header gives, and a refusal that
// says why for each kind of bad input.
#include "render/IsfFile.h"
#include "render/PassSizeExpression.h"

#include <gtest/gtest.h>

namespace {

std::string WithHeader(const std::string& json) {
    return "/*" + json + "*/\nvoid main() { gl_FragColor = vec4(1.0); }\n";
}

} // namespace

TEST(IsfFile, GoodHeaderGivesInputsPassesAndImages) {
    TIsfFile file;
    std::vector<std::string> problems;
    ASSERT_TRUE(file.Read(WithHeader(R"({"NAME": "N", "CATEGORIES": ["Blur", "X"], "INPUTS": [
        {"NAME": "inputImage", "TYPE": "image"},
        {"NAME": "amount", "TYPE": "float", "MIN": -1, "MAX": 3, "DEFAULT": 2},
        {"NAME": "mode", "TYPE": "long", "VALUES": [5, 7, 9], "LABELS": ["a", "b", "c"], "DEFAULT": 9},
        {"NAME": "where", "TYPE": "point2D"},
        {"NAME": "paint", "TYPE": "color", "DEFAULT": [0.1, 0.2, 0.3, 0.4]}],
        "PASSES": [{"TARGET": "a", "WIDTH": "$WIDTH/4", "PERSISTENT": true, "FLOAT": true}, {}],
        "IMPORTED": {"lut": {"PATH": "luts/a.png"}}})"),
                          problems))
        << problems.front();
    EXPECT_EQ(file.Name, "N");
    EXPECT_EQ(file.Categories.front(), "Blur");
    EXPECT_EQ(file.Kind, TIsfKind::Filter);
    ASSERT_EQ(file.Inputs.size(), 5u);
    EXPECT_EQ(file.Inputs[1].Min[0], -1.0f);
    EXPECT_EQ(file.Inputs[1].Default[0], 2.0f);
    EXPECT_EQ(file.Inputs[2].Default[0], 2.0f) << "a long's DEFAULT is kept as the index of its value";
    EXPECT_EQ(file.Inputs[2].Max[0], 2.0f);
    EXPECT_FALSE(file.Inputs[3].HasRange) << "a point without MIN/MAX runs over the render size";
    EXPECT_EQ(file.Inputs[4].Components, 4);
    ASSERT_EQ(file.Passes.size(), 2u);
    EXPECT_TRUE(file.Passes[0].Persistent && file.Passes[0].Float);
    EXPECT_EQ(file.Passes[0].Width, "$WIDTH/4");
    ASSERT_EQ(file.Imported.size(), 1u);
    EXPECT_EQ(file.Imported[0].Path, "luts/a.png");
    EXPECT_EQ(file.BodyFirstLine, 8) << "the body starts right after the comment, on its last line";

    ASSERT_TRUE(file.Read(WithHeader(R"({"INPUTS": []})"), problems));
    EXPECT_EQ(file.Kind, TIsfKind::Generator);
    EXPECT_EQ(file.Passes.size(), 1u) << "no PASSES is one pass";
}

TEST(IsfFile, BadInputIsRefusedWithTheReason) {
    const std::string deep = std::string(1000, '[') + std::string(1000, ']');
    const std::string large = R"({"DESCRIPTION": ")" + std::string(10 * 1024 * 1024, 'x') + R"("})";
    const struct {
        std::string Text;
        const char* Why;
    } cases[] = {
        {"void main() {}", "does not start with a comment"},
        {"/* {\"INPUTS\": [] ", "never closed"},
        {WithHeader("not json"), "not a JSON object"},
        {WithHeader("[1, 2]"), "not a JSON object"},
        {WithHeader(large), "larger than"},
        {WithHeader(R"({"A": )" + deep + "}"), "nested deeper"},
        {WithHeader(R"({"INPUTS": [{"TYPE": "float"}]})"), "has no NAME"},
        {WithHeader(R"({"INPUTS": [{"NAME": "a", "TYPE": "float"}, {"NAME": "a", "TYPE": "bool"}]})"),
         "two INPUTS are named \"a\""},
        {WithHeader(R"({"INPUTS": [{"NAME": "a", "TYPE": "float", "MIN": 2, "MAX": 1}]})"),
         "MIN is above MAX"},
        {WithHeader(R"({"INPUTS": [{"NAME": "a", "TYPE": "float", "MIN": 0, "MAX": 1, "DEFAULT": 3}]})"),
         "DEFAULT is outside"},
        {WithHeader(R"({"INPUTS": [{"NAME": "a", "TYPE": "long", "VALUES": [1, 2], "LABELS": ["x"]}]})"),
         "different lengths"},
        {WithHeader(R"({"INPUTS": [{"NAME": "a", "TYPE": "long", "VALUES": [1, 2], "DEFAULT": 3}]})"),
         "not one of the VALUES"},
        {WithHeader(R"({"INPUTS": [{"NAME": "a", "TYPE": "audioFFT"}]})"), "sound inputs"},
        {WithHeader(R"({"INPUTS": [{"NAME": "a", "TYPE": "cube"}]})"), "unknown TYPE"},
        {WithHeader(R"({"INPUTS": [{"NAME": "a b", "TYPE": "float"}]})"), "not a name a shader can use"},
        {WithHeader(R"({"INPUTS": [{"NAME": "startImage", "TYPE": "image"}, {"NAME": "endImage", "TYPE":
         "image"}]})"),
         "transitions"},
        {WithHeader(R"({"PASSES": [{"TARGET": "t", "WIDTH": "$WIDTH / 0"}]})"), "no finite value"},
        {WithHeader(R"({"PASSES": [{"TARGET": "t", "WIDTH": "100000", "HEIGHT": "100000"}]})"), "more than"},
        {WithHeader(R"({"PASSES": [{"TARGET": "t", "WIDTH": "$NOPE"}]})"), "cannot be read"},
        {WithHeader(
             R"({"PASSES": [{"TARGET": "t", "PERSISTENT": true}, {"TARGET": "t", "PERSISTENT": true}]})"),
         "used by two passes"},
        {WithHeader(R"({"IMPORTED": {"img": {"PATH": "../outside.png"}}})"), "leads out of"},
        {WithHeader(R"({"IMPORTED": {"img": {"PATH": "/etc/a.png"}}})"), "leads out of"},
        {WithHeader(R"({"INPUTS": 5})"), "not a list"},
        {WithHeader(R"({"INPUTS": [{"NAME": "a", "TYPE": "color", "DEFAULT": [1, 2]}]})"), "DEFAULT must be"},
    };
    for (const auto& c : cases) {
        TIsfFile file;
        std::vector<std::string> problems;
        EXPECT_FALSE(file.Read(c.Text, problems)) << c.Why;
        ASSERT_FALSE(problems.empty()) << c.Why;
        EXPECT_NE(problems.front().find(c.Why), std::string::npos) << problems.front();
    }
}

TEST(PassSizeExpression, FormulasOverTheSizeAndInputs) {
    const TPassSizeExpression::TVariables variables = {{"WIDTH", 640}, {"HEIGHT", 480}, {"scale", 0.25}};
    const struct {
        const char* Text;
        int Pixels; // 0: refused
    } cases[] = {
        {"$WIDTH", 640},
        {"$WIDTH/2.0", 320},
        {"floor($HEIGHT / 7.0)", 68},
        {"ceil($HEIGHT / 7.0)", 69},
        {"max($WIDTH * $scale, 200)", 200},
        {"pow(2, 10)", 1024},
        {"$WIDTH - 1000", 1}, // at least one pixel
        {"20.6", 21},
        {"$WIDTH / ($HEIGHT - 480)", 0},
        {"100000 * 100000", 0},
        {"$DEPTH", 0},
        {"(((", 0},
        {"", 0},
    };
    for (const auto& c : cases) {
        std::string why;
        const auto pixels = TPassSizeExpression::Evaluate(c.Text, variables, why);
        if (c.Pixels == 0) {
            EXPECT_FALSE(pixels) << c.Text;
            EXPECT_FALSE(why.empty()) << c.Text;
        } else {
            EXPECT_EQ(pixels.value_or(-1), c.Pixels) << c.Text << ": " << why;
        }
    }
}
