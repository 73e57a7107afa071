// The bundled library as a whole: every description reads under the real reader, and the library keeps the
// rules that make its plugins usable from the bars and fully restorable from presets.
#include "library/Library.h"
#include "platform/Files.h"

#include <map>
#include <set>

TEST(BundledLibrary, KeepsTheRulesThatMakeItsPluginsUsable) {
    std::map<std::string, int> perGroup;
    std::map<int, int> usersPerKind;
    std::set<std::string> fullNames, shaderFiles;
    const std::vector<std::string> files = BundledPluginFiles();
    EXPECT_GE(files.size(), 24u);
    for (const std::string& ini : files) {
        SCOPED_TRACE(ini);
        auto p = MakeBundledPlugin(ini);
        ASSERT_TRUE(p->ReadDescription());
        ++perGroup[p->GroupName];
        EXPECT_TRUE(fullNames.insert(p->FullName).second) << "two plugins are called " << p->FullName;
        EXPECT_TRUE(p->UsesTexture0);
        shaderFiles.insert(p->ShaderFileName + ".vert");
        shaderFiles.insert(p->ShaderFileName + ".frag");
        std::set<int> kinds;
        std::set<std::string> lowerNames;
        for (const TParam& r : ParamsOf(*p)) {
            SCOPED_TRACE(r.Name);
            // A preset keeps one line per parameter kind and slot: a second parameter of a kind would be lost.
            EXPECT_TRUE(kinds.insert(r.Components).second) << "a second parameter of one kind";
            // The bars run 0..1: a default outside would show a bar at its end that jumps on the first touch.
            // The edit field divides by the scale, so 0 would make typed numbers useless.
            for (int k = 0; k < r.Components; ++k) EXPECT_TRUE(r.Value[k] >= 0.0f && r.Value[k] <= 1.0f);
            EXPECT_GT(r.Scale, 0.0f);
            EXPECT_FALSE(r.Caption.empty());
            EXPECT_EQ(r.Name.find(':'), std::string::npos);
            EXPECT_TRUE(lowerNames.insert(AsciiLower(r.Name)).second) << "names differing only in case";
        }
        for (int kind : kinds) ++usersPerKind[kind];
    }
    const std::set<std::string> groups{"Color", "Blur & Sharpen", "Distort", "Stylize", "Utility"};
    for (const auto& [group, count] : perGroup) EXPECT_TRUE(groups.count(group)) << "unexpected group " << group;
    for (const std::string& group : groups) EXPECT_GE(perGroup[group], 4) << group;
    for (int kind = 1; kind <= 4; ++kind) EXPECT_GE(usersPerKind[kind], 3) << kind << "-component parameters";
    for (const auto& entry : std::filesystem::directory_iterator(LibraryFolder() + "shader"))
        EXPECT_TRUE(shaderFiles.count(entry.path().filename().string())) << entry.path() << " belongs to no plugin";
}
