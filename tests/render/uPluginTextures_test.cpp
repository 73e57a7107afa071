// The opt-in keys of "provides" and the "textures" section of a description (no GL).
#include "platform/IniFile.h"
#include "render/uPluginTextures.h"
#include "render/uShaderPlugin.h"
#include "support/TestSupport.h"

#include <gmock/gmock.h>

#include <filesystem>

using testing::HasSubstr;

namespace {

const std::string kHeader = "[FileName]\nShaderFileName=clock\n[ScreenName]\nFullName=Clock\n[Group]\n"
                            "GroupName=G\n[Version]\nPluginReader=0.2\n";

std::string MovingShaders() {
    return TestDataFolder() + "moving/shader/";
}

struct TDescribed {
    explicit TDescribed(const std::string& text, const std::string& shaderFolder = MovingShaders())
        : Plugin("", "test.ini", shaderFolder), Valid(Plugin.ReadDescription(TIniFile::FromText(text))) {}
    std::string AllProblems() const {
        std::string all;
        for (const std::string& p : Plugin.Problems)
            all += p + "\n";
        return all;
    }
    TShaderPlugin Plugin;
    bool Valid;
};

} // namespace

TEST(PluginProvidesKeys, NewKeysAreWholeKeysWithTheValueOneOrZero) {
    using P = TShaderPlugin::TProvides;
    struct TCase {
        std::string Lines;
        bool Valid;
        P Expected;
    } cases[] = {
        {"", true, {}},
        {"time=1\ntimedelta=1\nframe=1\nresolution=1\nmouse=1\nprevious=1\noriginal=1\naudio=1\n",
         true,
         {true, true, true, true, true, true, true, true}},
        {"Audio=1\naudiolevel=0\n", true, {.Audio = true}},
        {"myaudio=1\naudio=2\n", false, {}},
        {"TIME = 1\nPrevious=1\n", true, {.Time = true, .Previous = true}},
        {"time=0\n", true, {}},
        // Whole keys only: the old words' substring rule does not reach them.
        {"mytime=1\nframes=1\nprevious_frame=1\n", true, {}},
        {"time=1\ntime=0\n", true, {.Time = true}}, // the first line decides, as for the old words
        {"time=yes\n", false, {}},
        {"mouse=10\nframe=1\n", false, {.Frame = true}}, // a bad line spoils the description, not the others
        {"original=\n", false, {}},
    };
    for (const TCase& c : cases) {
        TDescribed d(kHeader + "[provides]\ntexture0=1\n" + c.Lines);
        EXPECT_EQ(d.Valid, c.Valid) << c.Lines;
        EXPECT_TRUE(d.Plugin.Provides == c.Expected) << c.Lines;
        EXPECT_TRUE(d.Plugin.UsesTexture0) << "the old words keep their rule beside the new keys";
        if (!c.Valid) {
            EXPECT_THAT(d.AllProblems(), HasSubstr("must be 1 or 0")) << c.Lines;
        }
    }
}

TEST(PluginTexturesSection, EveryBadLineIsNamedAndMakesTheDescriptionInvalid) {
    struct TCase {
        std::string Lines;
        std::string Problem; // empty: valid
    } cases[] = {
        {"Picture=luts/quadrants.png\n", ""},
        {"Picture=luts\\quadrants.png\n", ""}, // written where folders are separated by "\"
        {"Picture=luts/missing.png\n", "\"luts/missing.png\" is missing"},
        {"Picture=../shader/luts/quadrants.png\n", "may not leave the shader folder"},
        {"Picture=luts/../luts/quadrants.png\n", "may not leave the shader folder"},
        {"Picture=/etc/passwd\n", "must be a name inside the shader folder"},
        {"Picture=\n", "names no file"},
        {"Picture=luts/quadrants.png\npicture=luts/quadrants.png\n", "is named twice"},
        {"Texture0=luts/quadrants.png\n", "is the program's own"},
        {"2D=luts/quadrants.png\n", "is no sampler name"},
        {"my lut=luts/quadrants.png\n", "is no sampler name"},
    };
    for (const TCase& c : cases) {
        TDescribed d(kHeader + "[textures]\n" + c.Lines);
        EXPECT_EQ(d.Valid, c.Problem.empty()) << c.Lines;
        if (c.Problem.empty()) {
            ASSERT_NE(d.Plugin.Textures, nullptr);
            EXPECT_EQ(d.Plugin.Textures->Entries.at(0).Sampler, "Picture");
            EXPECT_TRUE(std::filesystem::exists(d.Plugin.Textures->Entries.at(0).Path));
        } else {
            EXPECT_THAT(d.AllProblems(), HasSubstr(c.Problem)) << c.Lines;
        }
    }
    std::string many;
    for (int k = 0; k <= kMaxPluginTextures; ++k)
        many += "Lut" + std::to_string(k) + "=luts/quadrants.png\n";
    TDescribed tooMany(kHeader + "[textures]\n" + many);
    EXPECT_FALSE(tooMany.Valid);
    EXPECT_EQ(tooMany.Plugin.Textures->Entries.size(), size_t(kMaxPluginTextures));
    TDescribed empty(kHeader + "[textures]\n");
    EXPECT_TRUE(empty.Valid);
    EXPECT_EQ(empty.Plugin.Textures, nullptr) << "an empty section asks for nothing";
}

TEST(PluginTexturesSection, ALinkLeadingOutOfTheShaderFolderIsRefused) {
    TTempFolder folder;
    std::filesystem::create_directories(folder.File("shader"));
    WriteTextFile(folder.File("outside.png"), "x");
    std::filesystem::create_symlink(folder.File("outside.png"), folder.File("shader/inside.png"));
    std::string why;
    EXPECT_EQ(ResolveTextureFile(folder.File("shader/"), "inside.png", why), "");
    EXPECT_THAT(why, HasSubstr("leads out of the shader folder"));
    for (const char* name : {"a", "_x1", "Lut_2"})
        EXPECT_TRUE(IsSamplerName(name)) << name;
    for (const char* name : {"", "1a", "a-b", "a.b"})
        EXPECT_FALSE(IsSamplerName(name)) << name;
}
