#include "presets/PresetFolders.h"
#include "support/TestSupport.h"

#include <gmock/gmock.h>

#include <filesystem>
#include <sys/stat.h>

namespace fs = std::filesystem;
using testing::UnorderedElementsAre;

namespace {

// A program folder with presets/ and a user's data folder not made yet, both handed to the unprivileged user
// the tests act as, so that making a folder read-only binds them even when the tests run as root.
class PresetFoldersTest : public testing::Test {
protected:
    void SetUp() override {
        fs::create_directories(Program + "presets");
        WriteTextFile(Program + "presets/Old Film.prs", "[1]\r\nPlugInName=NONE\r\n");
        WriteTextFile(Program + "presets/Glitch.PRS", "[1]\r\n");
        WriteTextFile(Program + "presets/notes.txt", "");
        fs::create_directories(Home);
        TUnprivilegedScope::GiveAway(Tmp.Path());
    }
    void TearDown() override {
        for (const std::string& folder : ReadOnly)
            ::chmod(folder.c_str(), 0755);
    }
    void MakeReadOnly(const std::string& folder) {
        ::chmod(folder.c_str(), 0555);
        ReadOnly.push_back(folder);
    }
    TPresetFolders Folders() const { return TPresetFolders({Program}, User); }

    TTempFolder Tmp;
    const std::string Program = Tmp.File("program/");
    const std::string Home = Tmp.File("home/");
    const std::string User = Home + "lumatex/";
    std::vector<std::string> ReadOnly;
};

} // namespace

TEST_F(PresetFoldersTest, AWritableProgramFolderTakesTheSavesAndIsReadFirst) {
    TUnprivilegedScope user;
    const TPresetFolders folders = Folders();
    EXPECT_EQ(folders.SaveFolder(), Program + "presets/");
    EXPECT_EQ(folders.ReadFolders(), (std::vector<std::string>{Program + "presets/", User + "presets/"}));
    EXPECT_THAT(folders.Names(), UnorderedElementsAre("Old Film", "Glitch"));
    folders.PrepareSaveFolder();
    EXPECT_FALSE(fs::exists(User)) << "nothing made where nothing is saved";
    EXPECT_EQ(folders.Find("Glitch"), Program + "presets/Glitch.PRS")
        << "the name exact, the extension any case";
    EXPECT_FALSE(folders.Find("glitch"));
    EXPECT_FALSE(folders.Find("notes"));
}

TEST_F(PresetFoldersTest, AReadOnlyProgramFolderSendsSavesToTheUsersWhichThenWins) {
    MakeReadOnly(Program + "presets");
    TUnprivilegedScope user;
    const TPresetFolders folders = Folders();
    EXPECT_EQ(folders.SaveFolder(), User + "presets/");
    folders.PrepareSaveFolder();
    ASSERT_TRUE(fs::is_directory(User + "presets"));
    WriteTextFile(folders.SavePath("Old Film"), "[1]\r\nPlugInName=mine.ini\r\n");
    WriteTextFile(folders.SavePath("Mine"), "[1]\r\n");
    EXPECT_EQ(folders.ReadFolders().front(), User + "presets/");
    EXPECT_THAT(folders.Names(), UnorderedElementsAre("Old Film", "Mine", "Glitch")) << "each once";
    EXPECT_EQ(folders.Find("Old Film"), User + "presets/Old Film.prs")
        << "the saved one, not the bundled one";
    EXPECT_EQ(folders.FileFor("Glitch"), Program + "presets/Glitch.PRS");
    EXPECT_EQ(folders.FileFor("../elsewhere/x.PRS"), "../elsewhere/x.PRS");
    EXPECT_EQ(folders.FileFor("Nowhere"), User + "presets/Nowhere.prs") << "where it would be saved";
}

TEST_F(PresetFoldersTest, WhenNothingCanBeWrittenTheProgramFolderIsNamedAndNothingIsMade) {
    MakeReadOnly(Program + "presets");
    WriteTextFile(Tmp.File("file"), "");
    fs::create_directories(Tmp.File("locked"));
    TUnprivilegedScope::GiveAway(Tmp.Path());
    MakeReadOnly(Tmp.File("locked"));
    const std::pair<const char*, std::string> userRoots[] = {
        {"a read-only home", Tmp.File("locked/lumatex/")},
        {"a file where the data home should be", Tmp.File("file/lumatex/")},
        {"a 4000-character path", Tmp.Path() + std::string(4000, 'p') + "/lumatex/"},
    };
    TUnprivilegedScope user;
    for (const auto& [name, userRoot] : userRoots) {
        const TPresetFolders folders({Program}, userRoot);
        EXPECT_EQ(folders.SaveFolder(), Program + "presets/") << name;
        folders.PrepareSaveFolder();
        std::error_code ec;
        EXPECT_FALSE(fs::exists(userRoot, ec)) << name;
        EXPECT_THAT(folders.Names(), UnorderedElementsAre("Old Film", "Glitch")) << name;
    }
}

TEST_F(PresetFoldersTest, AProgramFolderWithoutPresetsIsNotGivenOne) {
    fs::remove_all(Program + "presets");
    TUnprivilegedScope user;
    const TPresetFolders folders = Folders();
    EXPECT_EQ(folders.SaveFolder(), User + "presets/");
    folders.PrepareSaveFolder();
    EXPECT_TRUE(fs::is_directory(User + "presets"));
    EXPECT_FALSE(fs::exists(Program + "presets"));
    // With nowhere else to go, the program folder's is the one named.
    EXPECT_EQ(TPresetFolders({Program}, "").SaveFolder(), Program + "presets/");
}

TEST_F(PresetFoldersTest, InstalledTheUsersPresetsShadowTheSystemsOfTheSameName) {
    const std::string system = Tmp.File("system/lumatex/");
    fs::create_directories(system + "presets");
    WriteTextFile(system + "presets/Old Film.prs", "");
    WriteTextFile(system + "presets/Night Vision.prs", "");
    fs::create_directories(User + "presets");
    WriteTextFile(User + "presets/Old Film.prs", "");
    TUnprivilegedScope::GiveAway(Tmp.Path());
    MakeReadOnly(system + "presets");
    TUnprivilegedScope user;
    const TPresetFolders folders({User, system}, User);
    EXPECT_EQ(folders.SaveFolder(), User + "presets/");
    EXPECT_EQ(folders.ReadFolders(), (std::vector<std::string>{User + "presets/", system + "presets/"}));
    EXPECT_THAT(folders.Names(), UnorderedElementsAre("Old Film", "Night Vision"));
    EXPECT_EQ(folders.Find("Old Film"), User + "presets/Old Film.prs");
    EXPECT_EQ(folders.Find("Night Vision"), system + "presets/Night Vision.prs");
}
