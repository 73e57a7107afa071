// The chain's modulators: evaluated into slot instances, the preset keys read (bad lines skipped, the rest
// kept) and written back, and the modulate_ key's own form.
#include "control/ChainModulators.h"

#include "platform/IniFile.h"
#include "render/uShaderPlugin.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

std::unique_ptr<TShaderPlugin> Plugin() {
    auto plugin = std::make_unique<TShaderPlugin>("plugins/", "p.ini", "shader/");
    plugin->Params1f.push_back({"amount", {0.5f}, 1.0f, "Amount"});
    plugin->Params3f.push_back({"colour", {0.1f, 0.2f, 0.3f}, 1.0f, "Colour"});
    return plugin;
}

TEST(ModulateKey, NamesTheUniformAndComponent) {
    EXPECT_EQ(ModulateKey("amount", 0), "modulate_amount_1");
    std::string name;
    int component = -1;
    ASSERT_TRUE(ParseModulateKey("MODULATE_line_width_3", name, component));
    EXPECT_EQ(name, "line_width");
    EXPECT_EQ(component, 2);
    for (const char* bad : {"modulate_amount", "modulate_amount_0", "modulate_amount_5", "modulate__1",
                            "modulate_amount_12", "parameter_u1f", "modulate_1"})
        EXPECT_FALSE(ParseModulateKey(bad, name, component)) << bad;
}

TEST(ChainModulators, ASineAt1HzMovesItsComponentOnly) {
    TChainModulators::TSlots slots;
    slots[2] = Plugin();
    TChainModulators modulators;
    modulators.Set({2, "AMOUNT", 0}, {TWaveShape::Sine, 1.0, false, 0.4, 0.5});
    modulators.Set({2, "colour", 1}, {TWaveShape::Square, 2.0, true, 0.25, 0.5});
    modulators.Set({2, "colour", 3}, {TWaveShape::Saw, 1.0, false, 1, 0}); // colour has 3 components
    modulators.Set({4, "amount", 0}, {TWaveShape::Saw, 1.0, false, 1, 0}); // an empty slot
    TTempo tempo;
    struct TCase {
        double Seconds;
        float Amount;
        float Green; // square at 2 cycles per beat, 120 BPM: 4 cycles a second
    };
    for (const TCase& c : {TCase{0.0, 0.5f, 0.75f}, TCase{0.25, 0.9f, 0.75f}, TCase{0.75, 0.1f, 0.75f},
                           TCase{1.0625, 0.5f + 0.4f * float(std::sin(2 * M_PI * 0.0625)), 0.75f},
                           TCase{1.125 + 0.0625, 0.5f + 0.4f * float(std::sin(2 * M_PI * 0.1875)), 0.25f}}) {
        EvaluateModulatorsAt(slots, modulators, tempo, c.Seconds);
        EXPECT_NEAR(slots[2]->Params1f[0].Value[0], c.Amount, 1e-6) << c.Seconds;
        EXPECT_NEAR(slots[2]->Params3f[0].Value[1], c.Green, 1e-6) << c.Seconds;
        EXPECT_EQ(slots[2]->Params3f[0].Value[0], 0.1f);
        EXPECT_EQ(slots[2]->Params3f[0].Value[2], 0.3f);
    }
    ASSERT_NE(modulators.Find({2, "amount", 0}), nullptr);
    modulators.Set({2, "amount", 0}, {TWaveShape::Saw, 1.0, false, 1, 0});
    EXPECT_EQ(modulators.All().size(), 4u) << "set again replaces";
    modulators.Remove({2, "Amount", 0});
    EXPECT_EQ(modulators.Find({2, "amount", 0}), nullptr);
}

TEST(ChainModulators, PresetKeysWithBadLinesSkippedAndTheRestApplied) {
    const TIniFile preset = TIniFile::FromText("[1]\r\nPlugInName=p.ini\r\nparameter_u1f=amount:0.5\r\n"
                                               "modulate_amount_1=sine 0.5 hz 0.4 0.5\r\n"
                                               "modulate_colour_2=wobble 1 hz 0.5 0.5\r\n"
                                               "modulate_colour_3=sine 0 hz 0.5 0.5\r\n"
                                               "modulate_colour_1=saw 1e30 hz 0.5 0.5\r\n"
                                               "modulate_colour_4=square -5 beats 0.5 0.5\r\n"
                                               "modulate_colour_9=sine 1 hz 0.5 0.5\r\n"
                                               "modulate_colour_2=\r\n"
                                               "[3]\r\nmodulate_gain_1=triangle 2 beats 0.1 0.2\r\n"
                                               "[tempo]\r\nbpm=100000\r\n");
    TChainModulators modulators;
    modulators.Set({7, "old", 0}, {});
    TTempo tempo;
    const std::vector<std::string> skipped = ReadPresetModulators(preset, modulators, tempo, 0.0);
    EXPECT_EQ(skipped,
              (std::vector<std::string>{
                  "1: modulate_colour_2=wobble 1 hz 0.5 0.5", "1: modulate_colour_3=sine 0 hz 0.5 0.5",
                  "1: modulate_colour_1=saw 1e30 hz 0.5 0.5", "1: modulate_colour_4=square -5 beats 0.5 0.5",
                  "1: modulate_colour_9=sine 1 hz 0.5 0.5", "tempo: bpm=100000"}));
    ASSERT_EQ(modulators.All().size(), 2u) << "the preset's replace all there were";
    EXPECT_EQ(*modulators.Find({0, "amount", 0}), (TModulator{TWaveShape::Sine, 0.5, false, 0.4, 0.5}));
    EXPECT_EQ(modulators.Find({2, "gain", 0})->Shape, TWaveShape::Triangle);
    EXPECT_EQ(tempo.Bpm(), kDefaultBpm);

    for (const char* bpm : {"0", "x", "-1"}) {
        ReadPresetModulators(TIniFile::FromText(std::string("[tempo]\nbpm=") + bpm), modulators, tempo, 0.0);
        EXPECT_EQ(tempo.Bpm(), kDefaultBpm) << bpm;
    }
    ReadPresetModulators(TIniFile::FromText("[tempo]\nbpm=128\n"), modulators, tempo, 0.0);
    EXPECT_EQ(tempo.Bpm(), 128.0);
    EXPECT_TRUE(modulators.Empty()) << "a preset without modulators has none";
}

TEST(ChainModulators, WritingReplacesTheFilesModulatorsAndTempo) {
    TIniFile preset = TIniFile::FromText("[1]\r\nPlugInName=p.ini\r\nmodulate_old_1=sine 1 hz 1 1\r\n"
                                         "active=1\r\n");
    TChainModulators modulators;
    modulators.Set({0, "amount", 0}, {TWaveShape::Sine, 0.5, false, 0.4, 0.5});
    modulators.Set({7, "colour", 2}, {TWaveShape::RandomStep, 4, true, 0.25, 0.5});
    TTempo tempo;
    tempo.SetBpm(128, 0.0);
    WritePresetModulators(preset, modulators, tempo);
    EXPECT_EQ(preset.Text(), "[1]\r\nPlugInName=p.ini\r\nmodulate_old_1=\r\nactive=1\r\n"
                             "modulate_amount_1=sine 0.5 hz 0.4 0.5\r\n"
                             "[8]\r\nmodulate_colour_3=random 4 beats 0.25 0.5\r\n[tempo]\r\nbpm=128\r\n");
    TChainModulators back;
    TTempo backTempo;
    EXPECT_TRUE(ReadPresetModulators(preset, back, backTempo, 0.0).empty());
    EXPECT_EQ(back.All().size(), 2u);
    EXPECT_EQ(backTempo.Bpm(), 128.0);
}

} // namespace
