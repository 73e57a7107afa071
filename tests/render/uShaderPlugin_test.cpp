// Plugin description files and their parameter lines (no GL).
#include "platform/IniFile.h"
#include "platform/MessageSink.h"
#include "render/uShaderPlugin.h"
#include "support/TestSupport.h"

#include <filesystem>

namespace {

const std::string kNames =
    "[FileName]\nShaderFileName=wave\n[ScreenName]\nFullName=Wave\n[Group]\nGroupName=D\n";
const std::string kHeader = kNames + "[Version]\nPluginReader=0.2\n";

// A plugin read from description text, with the test data's shader folder.
struct TDescribed {
    explicit TDescribed(const std::string& text)
        : Plugin("", "test.ini", TestDataFolder() + "shader/"),
          Valid(Plugin.ReadDescription(TIniFile::FromText(text))) {}
    TShaderPlugin Plugin;
    bool Valid;
};

} // namespace

TEST(TShaderPluginDescription, CompleteDescriptionFillsEveryFieldOnce) {
    TShaderPlugin plugin(TestDataFolder() + "plugins/", "wave.ini", TestDataFolder() + "shader/");
    for (int read = 0; read < 2; ++read) { // a second read does not append
        ASSERT_TRUE(plugin.ReadDescription());
        EXPECT_EQ(plugin.FullName + "|" + plugin.GroupName + "|" + plugin.ShaderFileName,
                  "Wave|Distort|wave");
        EXPECT_TRUE(plugin.UsesTexture0 && plugin.UsesTexWidth && !plugin.UsesTexHeight);
        ASSERT_EQ(plugin.Params1f.size(), 1u);
        EXPECT_EQ(plugin.Params1f[0].UniformName + plugin.Params1f[0].Caption, "amountAmount");
        EXPECT_EQ(plugin.Params3f.size() + plugin.Params2f.size() + plugin.Params4f.size(), 1u);
    }
    EXPECT_EQ(plugin.Shader, nullptr) << "reading builds no shader";
}

TEST(TShaderPluginDescription, WrongVersionStopsBeforeFlagsAndParameters) {
    const std::string rest = "[provides]\ntexture0=1\n[parameter_u1f]\namount=0.5 : 2 : Amount\n";
    for (const std::string version :
         {"", "[Version]\nPluginReader=0.20\n", "[Version]\nPluginReader=0.2.1\n"}) {
        TDescribed d(kNames + version + rest);
        EXPECT_FALSE(d.Valid) << version;
        EXPECT_EQ(d.Plugin.FullName, "Wave") << "the checks before the version still store their values";
        EXPECT_FALSE(d.Plugin.UsesTexture0);
        EXPECT_TRUE(d.Plugin.Params1f.empty());
    }
    TDescribed blanks(kNames + "[version]\n  pluginreader =  0.2  \n" + rest);
    EXPECT_TRUE(blanks.Valid) << "blanks around the value are not part of it";
    EXPECT_TRUE(blanks.Plugin.UsesTexture0);
}

TEST(TShaderPluginDescription, EachMissingPieceFailsButReadingGoesOn) {
    TDescribed noFrag("[FileName]\nShaderFileName=onlyvert\n[ScreenName]\nFullName=X\n[Group]\nGroupName=G\n"
                      "[Version]\nPluginReader=0.2\n[provides]\ntexheight=1\n");
    EXPECT_FALSE(noFrag.Valid);
    EXPECT_TRUE(noFrag.Plugin.UsesTexHeight);
    TDescribed noGroup(
        "[FileName]\nShaderFileName=wave\n[ScreenName]\nFullName=X\n[Version]\nPluginReader=0.2\n");
    EXPECT_FALSE(noGroup.Valid);
    EXPECT_EQ(noGroup.Plugin.FullName, "X");
}

TEST(TShaderPluginDescription, ShaderNameHoldingAFolderIsRefusedThoughThePairExists) {
    TTempFolder tmp;
    std::filesystem::create_directories(tmp.File("shader/sub"));
    for (const char* base : {"evil", "shader/sub/nested", "shader/ok"}) {
        WriteTextFile(tmp.File(std::string(base) + ".vert"), "void main() {}\n");
        WriteTextFile(tmp.File(std::string(base) + ".frag"), "void main() {}\n");
    }
    const auto described = [&](const std::string& name) {
        TShaderPlugin plugin("", "test.ini", tmp.File("shader/"));
        const bool valid = plugin.ReadDescription(TIniFile::FromText(
            "[FileName]\nShaderFileName=" + name +
            "\n[ScreenName]\nFullName=X\n[Group]\nGroupName=G\n[Version]\nPluginReader=0.2\n"));
        return std::pair(valid, plugin.ShaderFileName);
    };
    EXPECT_EQ(described("ok"), std::pair(true, std::string("ok")));
    const std::vector<std::string> refused = {"../evil", "sub/nested", "./ok", "..\\evil",
                                              std::string("ok\0", 3)};
    for (const std::string& name : refused)
        EXPECT_EQ(described(name), std::pair(false, std::string())) << name;
}

TEST(TShaderPluginDescription, MissingUnreadableOrHugeFiles) {
    TTempFolder tmp;
    std::filesystem::create_directory(tmp.File("folder.ini"));
    for (const char* name : {"missing.ini", "folder.ini"}) { // arbitrary bytes are fuzz_description's
        TShaderPlugin plugin(tmp.Path(), name, TestDataFolder() + "shader/");
        EXPECT_FALSE(plugin.ReadDescription()) << name;
        EXPECT_FALSE(plugin.Load()) << name;
        EXPECT_EQ(plugin.Shader, nullptr);
    }
    // A file too large to be a description is refused unread, and told.
    WriteTextFile(tmp.File("huge.ini"),
                  "[FileName]\nShaderFileName=wave\n" + std::string(kIniFileMaxBytes, ';'));
    TRecordingMessageSink messages;
    {
        TMessageSinkGuard guard(messages);
        TShaderPlugin plugin(tmp.Path(), "huge.ini", TestDataFolder() + "shader/");
        EXPECT_FALSE(plugin.Load());
        EXPECT_EQ(plugin.ShaderFileName, "");
    }
    ASSERT_EQ(messages.Entries.size(), 1u);
    EXPECT_EQ(messages.Entries[0].Text.rfind(tmp.File("huge.ini") + " is too large: ", 0), 0u)
        << messages.Entries[0].Text;
    // Huge lines are cut, not refused.
    TDescribed d("[FileName]\nShaderFileName=wave\n[ScreenName]\nFullName=" + std::string(1 << 20, 'W') +
                 "\n[Group]\nGroupName=G\n[Version]\nPluginReader=0.2\n[parameter_u1f]\nlong=0.5:1:" +
                 std::string(5000, 'c') + "\n" + std::string(1 << 20, '[') + "\n");
    EXPECT_TRUE(d.Valid);
    EXPECT_EQ(d.Plugin.FullName.size(), 2047u);
    ASSERT_EQ(d.Plugin.Params1f.size(), 1u);
    EXPECT_EQ(d.Plugin.Params1f[0].Caption.size(), 2047u - 6u) << "the value was cut, then split";
}

TEST(TShaderPluginDescription, FirstLineNamingAWordDecidesItsFlag) {
    TDescribed d(kHeader + "[provides]\nTexture0 = 1\ntexwidth=0\ntexwidth=1\n");
    EXPECT_TRUE(d.Plugin.UsesTexture0);
    EXPECT_FALSE(d.Plugin.UsesTexWidth) << "the first texwidth line holds no 1";
    TDescribed loose(kHeader + "[PROVIDES]\ntexwidth=10\nuses=texheight1\ntexture0=yes\n");
    EXPECT_TRUE(loose.Plugin.UsesTexWidth);
    EXPECT_TRUE(loose.Plugin.UsesTexHeight) << "the word and the 1 may sit anywhere in the line";
    EXPECT_FALSE(loose.Plugin.UsesTexture0);
}

TEST(TShaderPluginParams, LineSyntaxWithCaptionsHoldingSeparators) {
    ShaderParam1f one;
    EXPECT_TRUE(ParseShaderParam<1>("gain", "0.3 : 1 : a:b;c", one));
    EXPECT_EQ(one.Value[0], 0.3f);
    EXPECT_EQ(one.Caption, "a:b;c");
    ShaderParam4f four;
    EXPECT_TRUE(ParseShaderParam<4>("colour", " 1 ;-0.5; 2.5e-1 ;+1E1:  0.01 :", four));
    EXPECT_EQ(four.Value, (std::array<float, 4>{1.0f, -0.5f, 0.25f, 10.0f}));
    EXPECT_EQ(four.Scale, 0.01f);
    EXPECT_EQ(four.Caption, "") << "an empty caption is fine";
}

TEST(TShaderPluginParams, FailuresLeaveZeroAndStillReadTheOtherPieces) {
    ShaderParam3f bad;
    EXPECT_FALSE(ParseShaderParam<3>("t", "1;x;0,5 : 1e39 : T", bad));
    EXPECT_EQ(bad.Value, (std::array<float, 3>{1.0f, 0.0f, 0.0f}));
    EXPECT_EQ(bad.Scale, 0.0f) << "too large for a float";
    EXPECT_EQ(bad.Caption, "T");
    ShaderParam2f two; // a one-component line in a two-component section: no ";"
    EXPECT_FALSE(ParseShaderParam<2>("amount", "0.5 : 2 : Amount", two));
    // In a description the sections fill their own lists in file order, and a failed record is kept.
    TDescribed d(kHeader +
                 "[parameter_u1f]\nzeta=0.1:1:Z\nalpha=0.2:1:A\n[parameter_u2f]\nbad=0.5 : 2 : Amount\n"
                 "[parameter_u4f]\nq=1;2;3;4:1:Q\n");
    EXPECT_FALSE(d.Valid);
    ASSERT_EQ(d.Plugin.Params1f.size(), 2u);
    EXPECT_EQ(d.Plugin.Params1f[0].UniformName + d.Plugin.Params1f[1].UniformName, "zetaalpha");
    EXPECT_EQ(d.Plugin.Params2f.size() + d.Plugin.Params4f.size(), 2u);
}
