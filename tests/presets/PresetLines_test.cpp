#include "presets/PresetLines.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>

namespace {
std::array<float, 4> Ones() {
    return {1.0f, 1.0f, 1.0f, 1.0f};
}
} // namespace

TEST(PresetParamValue, GeneralFormatOfTheWidenedSingle) {
    const float one[] = {0.5f};
    EXPECT_EQ(PresetParamValue("gain", one, 1), "gain:0.5");
    const float three[] = {1.0f, 0.3f, -2.0e-6f};
    EXPECT_EQ(PresetParamValue("tint", three, 3), "tint:1;0.300000011920929;-1.99999999495049E-6");
    const float four[] = {0.0f, 100.0f, 0.25f, 1.0e20f};
    EXPECT_EQ(PresetParamValue("v", four, 4), "v:0;100;0.25;1.00000002004088E20");
}

TEST(ReadPresetComponents, EachKindSplitsAtSemicolons) {
    EXPECT_EQ(ReadPresetComponents(" -1.5e1 ", 1)[0], -15.0f);
    EXPECT_EQ(ReadPresetComponents("1; 2 ;3;4", 4), (std::array<float, 4>{1, 2, 3, 4}));
    // The single-precision value nearest 0.3 comes back as itself from its own text.
    EXPECT_EQ(ReadPresetComponents("0.300000011920929", 1)[0], 0.3f);
}

TEST(ReadPresetComponents, AnyUnreadableComponentMakesAllOfThemOne) {
    // No ';' leaves the first of two pieces empty; of three, the last piece is all that remains. Only '.' is
    // a decimal point; values beyond single precision (also by rounding) are unreadable.
    for (const char* bad : {"0.25", "0.25;x", "0.25;0.5;0.75", ";0.5"})
        EXPECT_EQ(ReadPresetComponents(bad, 2), Ones()) << bad;
    for (const char* bad : {"", "x", "1,5", "1e39", "3.4028236e38", "1e400", "nan", "inf"})
        EXPECT_EQ(ReadPresetComponents(bad, 1), Ones()) << bad;
    const float largest[] = {FLT_MAX, -FLT_MAX};
    EXPECT_EQ(ReadPresetComponents(PresetParamValue("x", largest, 2).substr(2), 2)[1], -FLT_MAX)
        << "the largest float's own text reads back";
    EXPECT_EQ(ReadPresetComponents(std::string_view("0.5\0", 4), 1), Ones()) << "a NUL byte is not a blank";
    EXPECT_EQ(ReadPresetComponents("1e-50", 1)[0], 0.0f) << "tiny magnitudes are read as zero";
}

TEST(ParsePresetLine, NameIsTheTextBeforeTheFirstColon) {
    const struct {
        const char* Line;
        const char* Name;
        float First;
    } cases[] = {
        {"parameter_u1f=gain:", "gain", 1.0f},            // nothing after the colon reads as one
        {"parameter_u1f=0.5", "", 0.5f},                  // without ':' the name is empty
        {"parameter_u1f=  gain : 0.5 :x", "gain ", 1.0f}, // name keeps its blanks; '0.5 :x' is no number
        {"parameter_u1f=:::", "", 1.0f}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Line);
        const auto params = ParsePresetLine(c.Line);
        ASSERT_EQ(params.size(), 1u);
        EXPECT_EQ(params[0].Name, c.Name);
        EXPECT_EQ(params[0].Value[0], c.First);
    }
}

TEST(ParsePresetLine, KindsAreFoundAnywhereInTheLineWithCase) {
    EXPECT_TRUE(ParsePresetLine("active=1").empty());
    EXPECT_TRUE(ParsePresetLine("PARAMETER_U1F=gain:0.5").empty()) << "the key text is searched with case";

    // A value that mentions another kind's key sets a parameter of that kind as well, kinds in order.
    auto both = ParsePresetLine("parameter_u3f=parameter_u1f:1;2;3");
    ASSERT_EQ(both.size(), 2u);
    EXPECT_EQ(both[0].Components, 1);
    EXPECT_EQ(both[0].Value[0], 1.0f) << "'1;2;3' is no single number";
    EXPECT_EQ(both[1].Components, 3);
    EXPECT_EQ(both[1].Name, "parameter_u1f");
    EXPECT_EQ(both[1].Value, (std::array<float, 4>{1, 2, 3, 0}));
}
