#include "platform/Files.h"
#include "support/TestSupport.h"

#include <algorithm>
#include <filesystem>

TEST(Files, CaseInsensitiveLookupPrefersTheExactName) {
    TTempFolder tmp;
    WriteTextFile(tmp.File("Invert.INI"), "x");
    EXPECT_EQ(FindFileNoCase(tmp.File("invert.ini")), tmp.File("Invert.INI"));
    EXPECT_EQ(FindFileNoCase(tmp.File("Invert.INI")), tmp.File("Invert.INI"));
    EXPECT_FALSE(FindFileNoCase(tmp.File("missing.ini")));
    std::filesystem::create_directory(tmp.File("folder.ini"));
    EXPECT_FALSE(FindFileNoCase(tmp.File("FOLDER.ini"))) << "a folder is not a file";
}

TEST(Files, ListingSkipsFoldersAndStopsWhenAsked) {
    TTempFolder tmp;
    WriteTextFile(tmp.File("a"), "");
    WriteTextFile(tmp.File(".hidden"), "");
    std::filesystem::create_directory(tmp.File("d.ini"));
    std::vector<std::string> names;
    ListFolder(tmp.Path(), [&](const std::string& folder, const TFolderEntry& e) {
        EXPECT_EQ(folder, tmp.Path());
        names.push_back(e.Name);
        return true;
    });
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{".hidden", "a"}));
    int calls = 0;
    ListFolder(tmp.Path(), [&](const std::string&, const TFolderEntry&) { return ++calls < 1; });
    EXPECT_EQ(calls, 1);
    ListFolder(tmp.File("nope"), [](const std::string&, const TFolderEntry&) { return ADD_FAILURE(), true; });
}
