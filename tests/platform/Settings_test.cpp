#include "platform/ELumatex.h"
#include "platform/RegistryFile.h"
#include "platform/Settings.h"
#include "support/TestSupport.h"

#include <array>
#include <csignal>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <sys/resource.h>

namespace fs = std::filesystem;

namespace {

const std::string kProgramFolder = "/opt/lumatex/";

// Every field away from its default; the two paths name things that exist.
TSettings Unusual(const TTempFolder& tmp, const std::string& fileName = "clip.avi") {
    TSettings s;
    s.RenderGLWindow = s.RenderHUD = s.ForceAspectRatio = s.Show_VideoRenderer = s.Show_GLRenderer = false;
    s.Show_ShaderPluginChain = s.Save_ViewPort = s.Save_ForceAspect = s.GroupPlugins = false;
    s.main_maximized = s.presets_maximized = s.Loop = s.FBOFloat = s.Mute = true;
    s.WatchPluginFiles = false;
    s.FBOSize = 1024;
    s.JpegQuality = 85;
    s.OscPort = 9000;
    s.Volume = 30;
    s.ListenTo = "off";
    s.SendTargets = "udp://127.0.0.1:5000|out.y4m";
    // Placements on monitors left of and above the primary one, and the extremes of the type.
    s.main_left = s.spc_left = -1920;
    s.main_top = s.presets_top = INT32_MIN;
    s.Save_Size_X = s.main_width = s.presets_width = INT32_MAX;
    s.Save_Size_Y = s.main_height = s.spc_top = s.presets_left = s.presets_height = 3;
    s.LastFile = tmp.File(fileName);
    WriteTextFile(s.LastFile, "x");
    s.LastPath = tmp.File("media/");
    fs::create_directory(s.LastPath);
    return s;
}

TSettings Loaded(const std::string& path) {
    TSettings settings = DefaultSettings(kProgramFolder);
    LoadSettings(settings, path);
    return settings;
}

template <class TChange> void Patch(const std::string& path, TChange change) {
    TRegistryFile reg = TRegistryFile::FromFile(kSettingsKey, path);
    change(reg);
    reg.SaveToFile(path);
}

// The text of the error a save raises; empty when it succeeds.
std::string SaveError(const std::string& path) {
    try {
        SaveSettings(DefaultSettings(kProgramFolder), path);
    } catch (const ELumatex& e) {
        return e.what();
    }
    return {};
}

} // namespace

TEST(Settings, FirstRunKeepsTheDefaultsAndSaveCreatesTheFileWithAllValuesInOrder) {
    TTempFolder tmp;
    const std::string path = tmp.File("config/Quorvale/Lumatex/V1/settings.reg");
    const TSettings settings = Loaded(path);
    EXPECT_EQ(settings, DefaultSettings(kProgramFolder));
    EXPECT_EQ(settings.LastPath, kProgramFolder);

    SaveSettings(settings, path);
    const TRegistryFile reg = TRegistryFile::FromFile(kSettingsKey, path);
    std::string names;
    for (const TRegValue& value : reg.Values())
        names += value.Name + " ";
    EXPECT_EQ(
        names,
        "RenderGLWindow RenderHUD ForceAspectRatio Show_VideoRenderer Show_GLRenderer "
        "Show_ShaderPluginChain FBOSize Save_Size_X Save_Size_Y Save_ViewPort Save_ForceAspect "
        "JpegQuality main_left main_top main_width main_height main_maximized spc_left spc_top "
        "presets_left presets_top presets_width presets_height presets_maximized LastFile "
        "LastPath GroupPlugins Loop OscPort FBOFloat WatchPluginFiles Volume Mute ListenTo SendTargets ");
    EXPECT_EQ(reg.ReadDword("RenderHUD"), 1) << "bools are DWORDs";
    EXPECT_EQ(Loaded(path), settings);
}

TEST(Settings, EveryFieldComesBackIncludingNegativePlacementsAndOddFileNames) {
    TTempFolder tmp;
    const std::string path = tmp.File("settings.reg");
    const TSettings stored = Unusual(tmp, "a \"quoted\" back\\slash\nsecond line.avi");
    SaveSettings(stored, path);
    EXPECT_EQ(Loaded(path), stored);
    Patch(path, [](TRegistryFile& reg) { reg.WriteDword("RenderHUD", -2); });
    EXPECT_TRUE(Loaded(path).RenderHUD) << "any non-zero DWORD is true";
}

TEST(Settings, RefusedValuesKeepTheirDefaultAndTheReadingGoesOn) {
    TTempFolder tmp;
    const std::string path = tmp.File("settings.reg");
    const TSettings stored = Unusual(tmp);
    SaveSettings(stored, path);
    fs::remove(stored.LastFile);
    fs::remove(stored.LastPath);
    TSettings expected = stored;
    expected.LastFile = "";
    expected.LastPath = kProgramFolder;
    fs::create_directory(tmp.File("other"));
    // {FBOSize stored, JpegQuality stored, FBOSize read, JpegQuality read}
    for (const auto& [fbo, quality, wantedFbo, wantedQuality] : std::vector<std::array<int, 4>>{
             {2048, 101, 512, 100}, {256, 0, 256, 0}, {1024, -1, 1024, 100}, {511, 100, 512, 100}}) {
        Patch(path, [&](TRegistryFile& reg) {
            reg.WriteDword("FBOSize", fbo);
            reg.WriteDword("JpegQuality", quality);
        });
        expected.FBOSize = wantedFbo;
        expected.JpegQuality = wantedQuality;
        EXPECT_EQ(Loaded(path), expected) << fbo << " " << quality;
    }
    // A deleted file does not hold back an existing folder.
    Patch(path, [&](TRegistryFile& reg) { reg.WriteString("LastPath", tmp.File("other")); });
    EXPECT_EQ(Loaded(path).LastPath, tmp.File("other"));
}

TEST(Settings, AMissingOrMistypedValueStopsTheReadingThere) {
    TTempFolder tmp;
    const std::string path = tmp.File("settings.reg");
    const TSettings stored = Unusual(tmp), defaults = DefaultSettings(kProgramFolder);
    SaveSettings(stored, path);
    const std::string complete = ReadTextFile(path);

    Patch(path, [](TRegistryFile& reg) { reg.WriteString("RenderHUD", "1"); });
    TSettings expected = defaults;
    expected.RenderGLWindow = stored.RenderGLWindow;
    EXPECT_EQ(Loaded(path), expected);

    const size_t at = complete.find("\"presets_maximized\"");
    WriteTextFile(path, complete.substr(0, at) + complete.substr(complete.find('\n', at) + 1));
    expected = stored;
    expected.presets_maximized = defaults.presets_maximized;
    expected.LastFile = defaults.LastFile;
    expected.LastPath = defaults.LastPath;
    expected.GroupPlugins = defaults.GroupPlugins;
    expected.Loop = defaults.Loop;
    expected.OscPort = defaults.OscPort;
    expected.FBOFloat = defaults.FBOFloat;
    expected.WatchPluginFiles = defaults.WatchPluginFiles;
    expected.Volume = defaults.Volume;
    expected.Mute = defaults.Mute;
    expected.ListenTo = defaults.ListenTo;
    expected.SendTargets = defaults.SendTargets;
    EXPECT_EQ(Loaded(path), expected);
}

TEST(Settings, AFileWrittenBeforeLoopExistedReadsAllItsValuesAndLoopStaysOff) {
    TTempFolder tmp;
    const std::string path = tmp.File("settings.reg");
    const TSettings stored = Unusual(tmp);
    SaveSettings(stored, path);
    const std::string complete = ReadTextFile(path);
    // Each later value missing: the ones before it are read, it and the ones after keep their defaults.
    for (const char* name :
         {"\"Loop\"", "\"OscPort\"", "\"FBOFloat\"", "\"WatchPluginFiles\"", "\"Volume\"", "\"Mute\""}) {
        const size_t at = complete.find(name);
        ASSERT_NE(at, std::string::npos);
        WriteTextFile(path, complete.substr(0, at));
        TSettings expected = stored;
        const std::string n = name;
        if (n == "\"Loop\"") expected.Loop = false;
        if (n == "\"Loop\"" || n == "\"OscPort\"") expected.OscPort = 0;
        const bool beforeSound = n != "\"Volume\"" && n != "\"Mute\"";
        if (beforeSound && n != "\"WatchPluginFiles\"") expected.FBOFloat = false;
        if (beforeSound) expected.WatchPluginFiles = true;
        if (n != "\"Mute\"") expected.Volume = 100;
        expected.Mute = false;
        expected.ListenTo = "video";
        expected.SendTargets.clear();
        EXPECT_EQ(Loaded(path), expected) << name;
    }
}

TEST(Settings, AnOscPortOutOfRangeKeepsItsDefaultAndTheReadingGoesOn) {
    TTempFolder tmp;
    const std::string path = tmp.File("settings.reg");
    TSettings stored = Unusual(tmp);
    for (const int32_t bad : {-1, 65536}) {
        stored.OscPort = bad;
        SaveSettings(stored, path);
        TSettings expected = stored;
        expected.OscPort = 0;
        EXPECT_EQ(Loaded(path), expected) << bad;
    }
    stored.OscPort = 65535;
    SaveSettings(stored, path);
    EXPECT_EQ(Loaded(path).OscPort, 65535);
}

TEST(Settings, AVolumeOutOfRangeKeepsItsDefaultAndTheReadingGoesOn) {
    TTempFolder tmp;
    const std::string path = tmp.File("settings.reg");
    TSettings stored = Unusual(tmp);
    // {stored, read}
    for (const auto& [volume, wanted] :
         std::vector<std::array<int32_t, 2>>{{-1, 100}, {101, 100}, {INT32_MIN, 100}, {0, 0}, {100, 100}}) {
        stored.Volume = volume;
        SaveSettings(stored, path);
        TSettings expected = stored;
        expected.Volume = wanted;
        EXPECT_EQ(Loaded(path), expected) << volume;
    }
}

TEST(Settings, AListenToChoiceThatNamesNothingKeepsTheVideoSound) {
    TTempFolder tmp;
    const std::string path = tmp.File("settings.reg");
    TSettings stored = Unusual(tmp);
    // {stored, read}
    for (const auto& [choice, wanted] : std::vector<std::array<std::string, 2>>{
             {"off", "off"},
             {"device:alsa_input.usb-mic.analog-stereo", "device:alsa_input.usb-mic.analog-stereo"},
             {"device:", "video"},
             {"Video Sound", "video"},
             {"", "video"}}) {
        stored.ListenTo = choice;
        SaveSettings(stored, path);
        EXPECT_EQ(Loaded(path).ListenTo, wanted) << choice;
    }
}

TEST(Settings, TheFileLivesInTheUsersConfigFolder) {
    const char *home = std::getenv("HOME"), *config = std::getenv("XDG_CONFIG_HOME");
    const std::string savedHome = home ? home : "", savedConfig = config ? config : "";
    ::setenv("HOME", "/home/ann", 1);
    ::setenv("XDG_CONFIG_HOME", "/srv/cfg/", 1);
    EXPECT_EQ(SettingsFilePath(), "/srv/cfg/Quorvale/Lumatex/V1/settings.reg");
    for (const char* ignored : std::initializer_list<const char*>{"", "relative/cfg", nullptr}) {
        ignored ? ::setenv("XDG_CONFIG_HOME", ignored, 1) : ::unsetenv("XDG_CONFIG_HOME");
        EXPECT_EQ(SettingsFilePath(), "/home/ann/.config/Quorvale/Lumatex/V1/settings.reg");
    }
    home ? ::setenv("HOME", savedHome.c_str(), 1) : ::unsetenv("HOME");
    if (config) ::setenv("XDG_CONFIG_HOME", savedConfig.c_str(), 1);
}

TEST(Settings, AFailedSaveRaisesANamedErrorAndLeavesTheOldFileWhole) {
    TTempFolder tmp;
    const std::string path = tmp.File("settings.reg");
    SaveSettings(Unusual(tmp), path);
    const std::string before = ReadTextFile(path);

    // A full disk, which stops root too: the file size limit cuts the temporary file short.
    rlimit oldLimit{};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &oldLimit), 0);
    rlimit small = oldLimit;
    small.rlim_cur = 100;
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
    const std::string error = SaveError(path);
    ::setrlimit(RLIMIT_FSIZE, &oldLimit);
    std::signal(SIGXFSZ, oldHandler);
    EXPECT_TRUE(error.starts_with("Cannot write " + path + ": ")) << error;
    EXPECT_EQ(ReadTextFile(path), before);

    WriteTextFile(tmp.File("plain"), "x");
    for (const std::string& refused : {tmp.File("plain/settings.reg"), tmp.File("plain/sub/settings.reg")})
        EXPECT_TRUE(SaveError(refused).starts_with("Cannot write " + refused + ": ")) << SaveError(refused);
    EXPECT_EQ(ReadTextFile(tmp.File("plain")), "x");
    EXPECT_EQ(std::distance(fs::directory_iterator(tmp.Path()), {}), 4) << "no temporary file is left";
}

TEST(Settings, ASaveKeepsTheValuesAndKeysOfTheFileThatAreNotTheProgramsOwn) {
    TTempFolder tmp;
    const std::string path = tmp.File("settings.reg");
    const std::string others = "[HKEY_CURRENT_USER\\Software\\Quorvale\\Lumatex\\V2\\settings]\n"
                               "\"FBOSize\"=dword:00000400\n";
    WriteTextFile(path, "REGEDIT4\n\n" + others + "\n[" + kSettingsKey +
                            "]\n\"RenderGLWindow\"=dword:00000000\n\"PluginFolder\"=\"/srv/fx\"\n"
                            "\"RenderHUD\"=\"mistyped\"\n@=\"unnamed\"\n");
    TSettings settings = Loaded(path);
    EXPECT_FALSE(settings.RenderGLWindow);
    EXPECT_TRUE(settings.RenderHUD) << "the mistyped value stops the reading";
    settings.FBOSize = 256;
    SaveSettings(settings, path);

    const std::string saved = ReadTextFile(path);
    EXPECT_TRUE(saved.starts_with("REGEDIT4\n\n" + others + "\n[")) << saved;
    const TRegistryFile reg = TRegistryFile::FromFile(kSettingsKey, path);
    EXPECT_EQ(reg.ReadString("PluginFolder"), "/srv/fx") << "a value of the key the program does not own";
    EXPECT_NE(saved.find("\n@=\"unnamed\"\n"), std::string::npos);
    EXPECT_EQ(reg.ReadDword("RenderHUD"), 1) << "the program's own value takes its type again";
    EXPECT_EQ(reg.Values().size(), 36u) << "the program's 35 values and the one it does not own";
    EXPECT_EQ(Loaded(path), settings);
    EXPECT_EQ(TRegistryFile::FromFile("HKEY_CURRENT_USER\\Software\\Quorvale\\Lumatex\\V2\\settings", path)
                  .ReadDword("FBOSize"),
              1024)
        << "another key keeps its values";
}
