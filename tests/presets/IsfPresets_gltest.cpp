// Presets of effect file slots: every input kept under a key of its own, a long kept as its index, and the
// values read back as they were written (real engine and chain, headless GL).
#include "platform/Files.h"
#include "plugins/uChainState.h"
#include "presets/uPresets.h"
#include "render/uRenderEngine.h"
#include "render/uShaderPlugin.h"
#include "support/TestSupport.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <memory>

namespace {

// Two floats (so one kind holds several inputs), a colour, a long whose VALUES are not its indices, a bool.
constexpr const char* kKnobs = R"(/*{
    "NAME": "Knobs",
    "INPUTS": [
        {"NAME": "inputImage", "TYPE": "image"},
        {"NAME": "gain", "TYPE": "float", "MIN": -2.0, "MAX": 2.0, "DEFAULT": 1.0},
        {"NAME": "bias", "TYPE": "float", "DEFAULT": 0.25},
        {"NAME": "tint", "TYPE": "color", "DEFAULT": [1.0, 0.5, 0.25, 1.0]},
        {"NAME": "mode", "TYPE": "long", "VALUES": [3, 7, 11, 15], "LABELS": ["a", "b", "c", "d"], "DEFAULT": 7},
        {"NAME": "flip", "TYPE": "bool", "DEFAULT": false}
    ]
}*/
void main() {
    vec4 c = IMG_THIS_PIXEL(inputImage) * tint * gain + bias;
    gl_FragColor = flip ? c.bgra : c + float(mode) * 0.0;
}
)";

} // namespace

class IsfPresetGLTest : public HeadlessGLTest {
protected:
    void SetUp() override {
        HeadlessGLTest::SetUp();
        if (IsSkipped()) return;
        for (const char* folder : {"plugins", "shader", "presets"})
            std::filesystem::create_directories(Root.File(folder));
        WriteTextFile(Root.File("plugins/knobs.fs"), kKnobs);
        Engine = std::make_unique<TRenderEngine>(Context, Root.Path());
        ASSERT_TRUE(Engine->Init(64, 64));
        ASSERT_EQ(Engine->Catalogue.size(), 1u) << "knobs.fs is refused";
        Chain = std::make_unique<TChainState>(*Engine);
        Chain->FormCreate();
        Chain->AssignSlot(2, 0, true);
        ASSERT_NE(Slot(), nullptr);
    }
    void TearDown() override {
        Chain.reset();
        Engine.reset();
        HeadlessGLTest::TearDown();
    }
    TShaderPlugin* Slot() { return Engine->Slots[1].get(); }
    ShaderParam1f& Param1(const std::string& name) {
        for (auto& p : Slot()->Params1f)
            if (p.UniformName == name) return p;
        throw std::runtime_error("no parameter " + name);
    }
    // A preset of the one slot with the given parameter lines.
    std::string Preset(const std::string& lines) {
        const std::string path = Root.File("presets/hand.prs");
        WriteTextFile(path, "[2]\r\nPlugInName=knobs.fs\r\n" + lines + "active=1\r\n");
        return path;
    }

    TTempFolder Root;
    std::unique_ptr<TRenderEngine> Engine;
    std::unique_ptr<TChainState> Chain;
};

TEST_F(IsfPresetGLTest, EveryInputIsWrittenUnderItsOwnKeyAndTheLongAsItsIndex) {
    Param1("gain").Value[0] = 0.625f; // 0.5 on -2..2
    Param1("bias").Value[0] = 0.125f;
    Param1("mode").Value[0] = 1.0f; // the last entry: index 3, the shader sees 15
    Param1("flip").Value[0] = 1.0f;
    Slot()->Params4f[0].Value = {0.5f, 0.25f, 0.0f, 1.0f};
    const std::string path = Root.File("presets/knobs.prs");
    ASSERT_TRUE(WritePreset(*Chain, path));
    const std::string text = ReadTextFile(path);
    EXPECT_THAT(text, testing::HasSubstr("[2]\r\nPlugInName=knobs.fs\r\n"
                                         "parameter_u1f_gain=gain:0.625\r\n"
                                         "parameter_u1f_bias=bias:0.125\r\n"
                                         "parameter_u1f_mode=mode:3\r\n"
                                         "parameter_u1f_flip=flip:1\r\n"
                                         "parameter_u4f_tint=tint:0.5;0.25;0;1\r\n"
                                         "active=1\r\n"));

    // Back into a fresh instance: every value as it was.
    Chain->AssignSlot(2, -1, false);
    ApplyPreset(*Chain, path);
    ASSERT_NE(Slot(), nullptr);
    EXPECT_FLOAT_EQ(Param1("gain").Value[0], 0.625f);
    EXPECT_FLOAT_EQ(Param1("bias").Value[0], 0.125f);
    EXPECT_FLOAT_EQ(Param1("mode").Value[0], 1.0f);
    EXPECT_FLOAT_EQ(Param1("flip").Value[0], 1.0f);
    EXPECT_THAT(Slot()->Params4f[0].Value, testing::ElementsAre(0.5f, 0.25f, 0.0f, 1.0f));
    EXPECT_TRUE(Engine->SlotActive[1]);
}

TEST_F(IsfPresetGLTest, EveryIndexOfALongReadsBackAndStoredIndicesOutOfTheListTakeTheNearestEnd) {
    // Bar positions of the four entries, written and read again.
    for (int index = 0; index < 4; ++index) {
        Param1("mode").Value[0] = float(index) / 3.0f;
        const std::string path = Root.File("presets/mode.prs");
        std::filesystem::remove(path);
        ASSERT_TRUE(WritePreset(*Chain, path));
        EXPECT_THAT(ReadTextFile(path), testing::HasSubstr("mode:" + std::to_string(index) + "\r\n"));
        Param1("mode").Value[0] = 0.5f;
        ApplyPreset(*Chain, path);
        EXPECT_FLOAT_EQ(Param1("mode").Value[0], float(index) / 3.0f) << "index " << index;
    }
    // Hand-written files: a fraction rounds to the nearest index, outside the list is its end.
    const struct {
        const char* stored;
        float bar;
    } cases[] = {{"2", 2.0f / 3.0f}, {"1.4", 1.0f / 3.0f}, {"9", 1.0f}, {"-3", 0.0f}, {"x", 1.0f / 3.0f}};
    for (const auto& c : cases) {
        ApplyPreset(*Chain, Preset(std::string("parameter_u1f_mode=mode:") + c.stored + "\r\n"));
        EXPECT_FLOAT_EQ(Param1("mode").Value[0], c.bar) << c.stored;
    }
}

TEST_F(IsfPresetGLTest, AFileWithTheOneKeyPerKindLinesSetsTheInputsItNames) {
    // Presets written by hand in the descriptions' style still work for effect file slots.
    ApplyPreset(*Chain, Preset("parameter_u1f=bias:0.75\r\nparameter_u4f=tint:0;1;0;1\r\n"));
    EXPECT_FLOAT_EQ(Param1("bias").Value[0], 0.75f);
    EXPECT_FLOAT_EQ(Param1("gain").Value[0], 0.75f) << "the default stays: 1 on -2..2";
    EXPECT_THAT(Slot()->Params4f[0].Value, testing::ElementsAre(0.0f, 1.0f, 0.0f, 1.0f));
}
