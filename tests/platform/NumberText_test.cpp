#include "platform/NumberText.h"

#include <gtest/gtest.h>

#include <limits>

TEST(NumberText, ParsesPointNumbersAndRejectsEverythingElse) {
    const std::pair<const char*, double> good[] = {
        {"  -2.25\t", -2.25},
        {"+3", 3.0},
        {".5", 0.5},
        {"5.", 5.0},
        {"2.5e-2", 0.025},
        {"-1E+2", -100.0},
        {"0.0000000001e-99999999999999999999", 0.0}, // too small for a double: zero
    };
    for (const auto& [text, value] : good)
        EXPECT_EQ(ParseFloat(text), value) << '"' << text << '"';
    for (const char* bad : {"", "   ", "-", ".", "e5", "1e+", "1,5", "0x10", "1.2.3", "1 2", "nan", "INF",
                            "1f", "0.5 :", "-1e400", "1E99999999999999"})
        EXPECT_FALSE(ParseFloat(bad)) << '"' << bad << '"';
    EXPECT_FALSE(ParseFloat(std::string_view("1\0", 2)));
}

TEST(NumberText, GeneralFormatUses15DigitsAndSwitchesToExponentAtTheEdges) {
    const double inf = std::numeric_limits<double>::infinity();
    const std::pair<double, const char*> cases[] = {
        {1.0, "1"},
        {double(0.3f), "0.300000011920929"},
        {-0.0, "0"},
        {-2.5, "-2.5"},
        {100.0, "100"},
        {2.0 / 3.0, "0.666666666666667"},
        {0.00001, "0.00001"},
        {0.0000099, "9.9E-6"},
        {-1.5e-7, "-1.5E-7"},
        {999999999999999.0, "999999999999999"},
        {1e15, "1E15"},
        {1.25e20, "1.25E20"},
        {9999999999999999.0, "1E16"}, // rounding to 15 digits decides the form
        {std::numeric_limits<double>::quiet_NaN(), "NAN"},
        {-inf, "-INF"},
    };
    for (const auto& [value, text] : cases)
        EXPECT_EQ(FloatToText(value), text);
}

TEST(NumberText, DisplayPatternsRoundHalvesAwayFromZeroWithoutANegativeZero) {
    EXPECT_EQ(FormatFloat("0.00", 0.125), "0.13");
    EXPECT_EQ(FormatFloat("0.000", -2.0), "-2.000");
    EXPECT_EQ(FormatFloat("0.00", -0.001), "0.00");
    EXPECT_EQ(FormatFloat("0.000", 255.0 * 0.5), "127.500");
}
