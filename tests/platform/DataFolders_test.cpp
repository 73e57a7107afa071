#include "platform/DataFolders.h"
#include "support/TestSupport.h"

#include <filesystem>
#include <map>
#include <sys/stat.h>

namespace fs = std::filesystem;

namespace {

// The folders found for a program folder without plugins/ under the given variables (HOME=/home/ann unless
// named); nullptr leaves a variable unset.
TDataFolders Installed(std::map<std::string, const char*> variables) {
    variables.emplace("HOME", "/home/ann");
    TTempFolder program;
    return FindDataFolders(program.Path(), [&variables](const char* name) -> const char* {
        const auto found = variables.find(name);
        return found == variables.end() ? nullptr : found->second;
    });
}

using TRoots = std::vector<std::string>;

} // namespace

TEST(DataFolders, AProgramFolderWithPluginsIsTheOnlyPlaceElseTheUsersThenTheSystems) {
    TTempFolder program;
    fs::create_directory(program.File("plugins"));
    const TDataFolders beside = FindDataFolders(program.Path(), [](const char* name) -> const char* {
        return std::string(name) == "XDG_DATA_HOME" ? "/d/home" : "/srv";
    });
    EXPECT_EQ(beside.Roots, TRoots{program.Path()});
    EXPECT_EQ(beside.UserRoot, "/d/home/lumatex/")
        << "still where saves go when the program folder is read-only";

    const TDataFolders installed = Installed({{"XDG_DATA_HOME", "/d/home"}, {"XDG_DATA_DIRS", "/s1:/s2/"}});
    EXPECT_EQ(installed.Roots, (TRoots{"/d/home/lumatex/", "/s1/lumatex/", "/s2/lumatex/"}));
    EXPECT_EQ(installed.UserRoot, "/d/home/lumatex/");
}

TEST(DataFolders, BadVariablesFallBackToTheDefaultsAndEveryFolderIsListedOnce) {
    const std::string longPath = "/" + std::string(4000, 'p');
    std::string thousand;
    for (int i = 0; i < 1000; ++i)
        thousand += "/usr/share:/many/" + std::to_string(i % 10) + ":";
    const struct {
        const char* Name;
        std::map<std::string, const char*> Variables;
        TRoots Roots;
    } cases[] = {
        {"nothing set",
         {},
         {"/home/ann/.local/share/lumatex/", "/usr/local/share/lumatex/", "/usr/share/lumatex/"}},
        {"empty",
         {{"XDG_DATA_HOME", ""}, {"XDG_DATA_DIRS", ""}},
         {"/home/ann/.local/share/lumatex/", "/usr/local/share/lumatex/", "/usr/share/lumatex/"}},
        {"relative entries are ignored, dots are resolved",
         {{"XDG_DATA_HOME", "rel/data"}, {"XDG_DATA_DIRS", "..:../x:/a/../b:/usr/share/./:/usr/share"}},
         {"/home/ann/.local/share/lumatex/", "/b/lumatex/", "/usr/share/lumatex/"}},
        {"the user's folder named again as a system one",
         {{"XDG_DATA_HOME", "/usr/share"}, {"XDG_DATA_DIRS", "/usr/share:/opt/s"}},
         {"/usr/share/lumatex/", "/opt/s/lumatex/"}},
        {"1000 entries, 11 folders", {{"XDG_DATA_DIRS", thousand.c_str()}}, {}},
        {"a 4000-character path is kept as given",
         {{"XDG_DATA_HOME", longPath.c_str()}, {"XDG_DATA_DIRS", "/s"}},
         {longPath + "/lumatex/", "/s/lumatex/"}},
    };
    for (const auto& c : cases) {
        const TDataFolders folders = Installed(c.Variables);
        if (c.Roots.empty()) {
            ASSERT_EQ(folders.Roots.size(), 12u) << c.Name;
            EXPECT_EQ(folders.Roots[1], "/usr/share/lumatex/") << c.Name;
            EXPECT_EQ(folders.Roots[11], "/many/9/lumatex/") << c.Name;
        } else {
            EXPECT_EQ(folders.Roots, c.Roots) << c.Name;
        }
        EXPECT_EQ(folders.UserRoot, folders.Roots.front()) << c.Name;
    }
}

TEST(DataFolders, WithoutAnyHomeTheSystemFoldersAreStillRead) {
    TTempFolder program;
    const TDataFolders folders = FindDataFolders(program.Path(), [](const char* name) -> const char* {
        return std::string(name) == "XDG_DATA_DIRS" ? "/s"
                                                    : (std::string(name) == "HOME" ? "relative" : nullptr);
    });
    // The password database still names root's or the test user's home.
    ASSERT_FALSE(folders.Roots.empty());
    EXPECT_EQ(folders.Roots.back(), "/s/lumatex/");
    EXPECT_EQ(SingleDataFolder("/only/here").Roots, TRoots{"/only/here/"});
    EXPECT_EQ(SingleDataFolder("/only/here").UserRoot, "");
}

TEST(DataFolders, DataFilesComeFromTheFirstFolderHoldingThem) {
    TTempFolder a, b;
    WriteTextFile(b.File("about.png"), "b");
    fs::create_directory(a.File("about.png")); // a folder of that name is no file
    EXPECT_EQ(FindDataFile({a.Path(), b.Path()}, "about.png"), b.File("about.png"));
    WriteTextFile(a.File("x"), "a");
    WriteTextFile(b.File("x"), "b");
    EXPECT_EQ(FindDataFile({a.Path(), b.Path()}, "x"), a.File("x"));
    EXPECT_FALSE(FindDataFile({a.Path(), b.Path()}, "missing"));
}

TEST(DataFolders, AFolderCanBeWrittenWhenItOrItsNearestParentMayBeWritten) {
    TTempFolder tmp;
    fs::create_directories(tmp.File("open/sub"));
    fs::create_directories(tmp.File("locked/sub"));
    WriteTextFile(tmp.File("file"), "");
    TUnprivilegedScope::GiveAway(tmp.Path());
    ::chmod(tmp.File("locked").c_str(), 0555);
    ::chmod(tmp.File("locked/sub").c_str(), 0555);
    fs::create_directories(tmp.File("hidden/inner"));
    TUnprivilegedScope::GiveAway(tmp.File("hidden"));
    ::chmod(tmp.File("hidden").c_str(), 0);
    const std::string longPath = tmp.Path() + std::string(4000, 'p') + "/lumatex";
    const std::pair<std::string, bool> cases[] = {
        {tmp.File("open/sub"), true},
        {tmp.File("open/new/deeper/"), true},
        {tmp.File("locked"), false},
        {tmp.File("locked/sub"), false},
        {tmp.File("locked/new/presets"), false},
        {tmp.File("file"), false},
        {tmp.File("file/presets"), false},
        {tmp.File("hidden/inner"), false},
        {longPath, false},
        {"", false},
    };
    {
        TUnprivilegedScope user;
        for (const auto& [folder, writable] : cases)
            EXPECT_EQ(FolderCanBeWritten(folder), writable) << folder.substr(0, 200);
    }
    ::chmod(tmp.File("hidden").c_str(), 0755);
    ::chmod(tmp.File("locked/sub").c_str(), 0755);
    ::chmod(tmp.File("locked").c_str(), 0755);
}
