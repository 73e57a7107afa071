#include "platform/Files.h"
#include "support/TestSupport.h"

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

// Skipping folders is proved by the plugin catalogue test.
TEST(Files, ListingStopsWhenAskedAndAMissingFolderListsNothing) {
    TTempFolder tmp;
    WriteTextFile(tmp.File("a"), "");
    WriteTextFile(tmp.File("b"), "");
    std::vector<std::string> names;
    ListFolder(tmp.Path(), [&](const std::string& folder, const TFolderEntry& e) {
        EXPECT_EQ(folder, tmp.Path());
        names.push_back(e.Name);
        return names.size() < 1;
    });
    EXPECT_EQ(names.size(), 1u);
    ListFolder(tmp.File("nope"), [](const std::string&, const TFolderEntry&) { return ADD_FAILURE(), true; });
}

TEST(LowerExtension, TheBareNamesLastDotOnInLowerCase) {
    const std::pair<const char*, const char*> cases[] = {{"clip.MPG", ".mpg"}, {"archive.tar.gz", ".gz"},
                                                         {"dir.d/file", ""},   {"/a/b.JPEG", ".jpeg"},
                                                         {".bmp", ".bmp"},     {"dir/.Hidden", ".hidden"},
                                                         {"noext", ""},        {"trailing.", "."},
                                                         {"/x.jpg/", ""},      {"", ""}};
    for (const auto& [path, extension] : cases)
        EXPECT_EQ(LowerExtension(path), extension) << path;
}
