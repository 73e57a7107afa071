#include "platform/NumberText.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

TEST(NumberText, ParsesPointNumbersWithSignAndExponent) {
    EXPECT_EQ(ParseFloat("0.5"), 0.5);
    EXPECT_EQ(ParseFloat("  -2.25\t"), -2.25);
    EXPECT_EQ(ParseFloat("+3"), 3.0);
    EXPECT_EQ(ParseFloat(".5"), 0.5);
    EXPECT_EQ(ParseFloat("5."), 5.0);
    EXPECT_EQ(ParseFloat("1E3"), 1000.0);
    EXPECT_EQ(ParseFloat("2.5e-2"), 0.025);
    EXPECT_EQ(ParseFloat("-1e+2"), -100.0);
    EXPECT_EQ(ParseFloat("0.300000011920929"), 0.300000011920929);
    EXPECT_EQ(ParseFloat("1e-400"), 0.0) << "too small for a double reads as zero";
    EXPECT_EQ(ParseFloat("0.0000000001e-99999999999999999999"), 0.0);
}

TEST(NumberText, RejectsEmptyAndMalformedText) {
    for (const char* bad : {"", "   ", "+", "-", ".", "e5", "1e", "1e+", "1,5", "0x10", "1.2.3", "--1", "1 2",
                            "inf", "nan", "INF", "1f", "abc", "0.5 :", "1e400", "-1e400", "1E99999999999999"})
        EXPECT_FALSE(ParseFloat(bad)) << '"' << bad << '"';
    EXPECT_FALSE(ParseFloat(std::string_view("1\0", 2)));
}

TEST(NumberText, GeneralFormatMatchesPresetFiles) {
    EXPECT_EQ(FloatToText(0.5), "0.5");
    EXPECT_EQ(FloatToText(1.0), "1");
    EXPECT_EQ(FloatToText(static_cast<double>(0.3f)), "0.300000011920929");
    EXPECT_EQ(FloatToText(0.0), "0");
    EXPECT_EQ(FloatToText(-0.0), "0");
    EXPECT_EQ(FloatToText(-2.5), "-2.5");
    EXPECT_EQ(FloatToText(100.0), "100");
    EXPECT_EQ(FloatToText(0.1), "0.1");
    EXPECT_EQ(FloatToText(1.0 / 3.0), "0.333333333333333");
    EXPECT_EQ(FloatToText(2.0 / 3.0), "0.666666666666667");
    EXPECT_EQ(FloatToText(123456.789), "123456.789");
}

TEST(NumberText, GeneralFormatSwitchesToExponentAtTheEdges) {
    EXPECT_EQ(FloatToText(0.00001), "0.00001");
    EXPECT_EQ(FloatToText(0.000012), "0.000012");
    EXPECT_EQ(FloatToText(0.0000099), "9.9E-6");
    EXPECT_EQ(FloatToText(-1.5e-7), "-1.5E-7");
    EXPECT_EQ(FloatToText(999999999999999.0), "999999999999999");
    EXPECT_EQ(FloatToText(1e15), "1E15");
    EXPECT_EQ(FloatToText(1.25e20), "1.25E20");
    EXPECT_EQ(FloatToText(9999999999999999.0), "1E16") << "rounding to 15 digits decides the form";
    EXPECT_EQ(FloatToText(1e-300), "1E-300");
    EXPECT_EQ(FloatToText(std::numeric_limits<double>::quiet_NaN()), "NAN");
    EXPECT_EQ(FloatToText(-std::numeric_limits<double>::infinity()), "-INF");
}

TEST(NumberText, FixedPatternsRoundHalvesAwayFromZero) {
    EXPECT_EQ(FormatFloat("0.00", 0.5), "0.50");
    EXPECT_EQ(FormatFloat("0.00", 1.0), "1.00");
    EXPECT_EQ(FormatFloat("0.00", 0.125), "0.13");
    EXPECT_EQ(FormatFloat("0.00", -0.125), "-0.13");
    EXPECT_EQ(FormatFloat("0.00", 0.994), "0.99");
    EXPECT_EQ(FormatFloat("0.00", 9.995), "9.99") << "9.995 is stored a little below the half";
    EXPECT_EQ(FormatFloat("0.00", 99.999), "100.00");
    EXPECT_EQ(FormatFloat("0.00", -0.001), "0.00");
    EXPECT_EQ(FormatFloat("0.000", 1.0005), "1.000");
    EXPECT_EQ(FormatFloat("0.000", 2.0625), "2.063");
    EXPECT_EQ(FormatFloat("0.000", 12345.6789), "12345.679");
    EXPECT_EQ(FormatFloat("0", 2.5), "3");
    EXPECT_EQ(FormatFloat("0.00", 1e20), "1E20");
    EXPECT_EQ(FormatFloat("0.00", std::numeric_limits<double>::infinity()), "INF");
}
