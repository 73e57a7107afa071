// Modulators: the shapes of the wave, and the preset line that stores one, good and bad.
#include "control/Modulator.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace {

TEST(WaveAt, EachShapeAtItsTurningPoints) {
    struct TCase {
        TWaveShape Shape;
        double Phase;
        double Want;
    };
    const TCase cases[] = {
        {TWaveShape::Sine, 0.0, 0.0},       {TWaveShape::Sine, 0.25, 1.0},
        {TWaveShape::Sine, 0.75, -1.0},     {TWaveShape::Sine, 3.25, 1.0},
        {TWaveShape::Sine, -0.75, 1.0},     {TWaveShape::Triangle, 0.0, 0.0},
        {TWaveShape::Triangle, 0.25, 1.0},  {TWaveShape::Triangle, 0.5, 0.0},
        {TWaveShape::Triangle, 0.75, -1.0}, {TWaveShape::Triangle, 0.875, -0.5},
        {TWaveShape::Saw, 0.0, -1.0},       {TWaveShape::Saw, 0.5, 0.0},
        {TWaveShape::Saw, 0.999, 0.998},    {TWaveShape::Square, 0.0, 1.0},
        {TWaveShape::Square, 0.49, 1.0},    {TWaveShape::Square, 0.5, -1.0},
        {TWaveShape::Square, 1.2, 1.0},
    };
    for (const TCase& c : cases)
        EXPECT_NEAR(WaveAt(c.Shape, c.Phase), c.Want, 1e-9) << WaveShapeName(c.Shape) << " at " << c.Phase;
    EXPECT_EQ(WaveAt(TWaveShape::Sine, std::numeric_limits<double>::infinity()), 0.0);
}

TEST(WaveAt, RandomStepHoldsOneValueInRangePerCycleAndRepeatsOnEveryRun) {
    double previous = 2.0;
    int changes = 0;
    for (int cycle = -50; cycle < 200; ++cycle) {
        const double value = WaveAt(TWaveShape::RandomStep, cycle + 0.1);
        EXPECT_GE(value, -1.0);
        EXPECT_LT(value, 1.0);
        EXPECT_EQ(WaveAt(TWaveShape::RandomStep, cycle + 0.9), value) << "held through the cycle";
        if (value != previous) ++changes;
        previous = value;
    }
    EXPECT_GT(changes, 240) << "a new value nearly every cycle";
    EXPECT_EQ(WaveAt(TWaveShape::RandomStep, 7.5), WaveAt(TWaveShape::RandomStep, 7.5));
}

TEST(ModulatorLine, ReadsGoodLinesAndRefusesBadOnes) {
    const auto sine = ParseModulatorLine("sine 0.5 hz 0.4 0.5");
    ASSERT_TRUE(sine);
    EXPECT_EQ(*sine, (TModulator{TWaveShape::Sine, 0.5, false, 0.4, 0.5}));
    const auto beats = ParseModulatorLine("  SQUARE\t0.25 Beats -0.2 1E-1 ");
    ASSERT_TRUE(beats);
    EXPECT_EQ(*beats, (TModulator{TWaveShape::Square, 0.25, true, -0.2, 0.1}));
    EXPECT_EQ(ParseModulatorLine("random 1000 hz 0 0")->Rate, 1000.0);

    for (const char* bad :
         {"wobble 1 hz 0.5 0.5", "sine 0 hz 0.5 0.5", "sine 1e30 hz 0.5 0.5", "sine -5 hz 0.5 0.5",
          "sine 65 beats 0.5 0.5", "sine 1 bpm 0.5 0.5", "sine 1 hz 0.5", "sine 1 hz 0.5 0.5 0.5",
          "sine x hz 0.5 0.5", "sine 1 hz nan 0.5", "sine 1 hz 0.5 2e6", "", "sine,1,hz,0.5,0.5"})
        EXPECT_FALSE(ParseModulatorLine(bad)) << bad;
}

TEST(ModulatorLine, WritesWhatItReadsBack) {
    for (const TModulator& m : {TModulator{TWaveShape::Triangle, 2, true, 0.25, 0.75},
                                TModulator{TWaveShape::RandomStep, 0.125, false, -1, 0},
                                TModulator{TWaveShape::Saw, 0.3, false, 0.1, 0.9}}) {
        const std::string line = ModulatorLine(m);
        const auto back = ParseModulatorLine(line);
        ASSERT_TRUE(back) << line;
        EXPECT_EQ(*back, m) << line;
    }
    EXPECT_EQ(ModulatorLine({TWaveShape::Sine, 0.5, false, 0.4, 0.5}), "sine 0.5 hz 0.4 0.5");
    EXPECT_DOUBLE_EQ(ModulatorValue({TWaveShape::Sine, 1, false, 0.4, 0.5}, 0.25), 0.9);
}

} // namespace
