// The bundled library as a whole: every description reads under the real reader, and the library keeps the
// rules that make its plugins usable from the bars and fully restorable from presets.
#include "library/LibraryFiles.h"
#include "platform/Files.h"
#include "support/TestSupport.h"

#include <filesystem>
#include <map>
#include <set>

namespace {

struct TParamView {
    int Components;
    const std::string& UniformName;
    const float* Value;
    float Scale;
    const std::string& Caption;
};

std::vector<TParamView> ParamsOf(const TShaderPlugin& p) {
    std::vector<TParamView> all;
    for (const auto& r : p.Params1f)
        all.push_back({1, r.UniformName, r.Value.data(), r.Scale, r.Caption});
    for (const auto& r : p.Params2f)
        all.push_back({2, r.UniformName, r.Value.data(), r.Scale, r.Caption});
    for (const auto& r : p.Params3f)
        all.push_back({3, r.UniformName, r.Value.data(), r.Scale, r.Caption});
    for (const auto& r : p.Params4f)
        all.push_back({4, r.UniformName, r.Value.data(), r.Scale, r.Caption});
    return all;
}

class BundledLibrary : public ::testing::Test {
protected:
    void SetUp() override {
        for (const std::string& name : BundledPluginFiles()) {
            auto plugin = MakeBundledPlugin(name);
            EXPECT_TRUE(plugin->ReadDescription()) << name;
            Plugins.push_back(std::move(plugin));
        }
    }
    std::vector<std::unique_ptr<TShaderPlugin>> Plugins;
};

TEST_F(BundledLibrary, OffersAtLeast24EffectsSpreadOverTheFiveGroups) {
    EXPECT_GE(Plugins.size(), 24u);
    std::map<std::string, int> perGroup;
    std::set<std::string> fullNames;
    for (const auto& p : Plugins) {
        ++perGroup[p->GroupName];
        EXPECT_TRUE(fullNames.insert(p->FullName).second) << "two plugins are called " << p->FullName;
    }
    const std::set<std::string> groups{"Color", "Blur & Sharpen", "Distort", "Stylize", "Utility"};
    for (const auto& [group, count] : perGroup)
        EXPECT_TRUE(groups.count(group)) << "unexpected group " << group;
    for (const std::string& group : groups)
        EXPECT_GE(perGroup[group], 4) << group;
}

TEST_F(BundledLibrary, EveryParameterKindIsUsedBySeveralPlugins) {
    std::map<int, int> usersPerKind;
    for (const auto& p : Plugins) {
        std::set<int> kinds;
        for (const TParamView& r : ParamsOf(*p))
            kinds.insert(r.Components);
        for (int kind : kinds)
            ++usersPerKind[kind];
    }
    for (int kind = 1; kind <= 4; ++kind)
        EXPECT_GE(usersPerKind[kind], 3) << kind << "-component parameters";
}

// A preset keeps one line per parameter kind and slot; a second parameter of the same kind would be lost.
TEST_F(BundledLibrary, NoPluginHasTwoParametersOfOneKind) {
    for (const auto& p : Plugins) {
        EXPECT_LE(p->Params1f.size(), 1u) << p->IniFileName;
        EXPECT_LE(p->Params2f.size(), 1u) << p->IniFileName;
        EXPECT_LE(p->Params3f.size(), 1u) << p->IniFileName;
        EXPECT_LE(p->Params4f.size(), 1u) << p->IniFileName;
    }
}

// The bars run 0..1: a default outside would show a bar at its end that jumps on the first touch. The edit
// field divides by the scale, so 0 would make typed numbers useless.
TEST_F(BundledLibrary, ParametersStartOnTheBarsWithAScaleACaptionAndAPresetSafeName) {
    for (const auto& p : Plugins) {
        std::set<std::string> lowerNames;
        for (const TParamView& r : ParamsOf(*p)) {
            const std::string where = p->IniFileName + " " + r.UniformName;
            for (int k = 0; k < r.Components; ++k) {
                EXPECT_GE(r.Value[k], 0.0f) << where;
                EXPECT_LE(r.Value[k], 1.0f) << where;
            }
            EXPECT_GT(r.Scale, 0.0f) << where;
            EXPECT_FALSE(r.Caption.empty()) << where;
            EXPECT_EQ(r.UniformName.find(':'), std::string::npos) << where;
            EXPECT_TRUE(lowerNames.insert(AsciiLower(r.UniformName)).second)
                << where << " differs only in case";
        }
    }
}

TEST_F(BundledLibrary, EveryShaderFileBelongsToAPluginAndEveryPluginReadsTheTexture) {
    std::set<std::string> used;
    for (const auto& p : Plugins) {
        EXPECT_TRUE(p->UsesTexture0) << p->IniFileName;
        used.insert(p->ShaderFileName + ".vert");
        used.insert(p->ShaderFileName + ".frag");
    }
    for (const auto& entry : std::filesystem::directory_iterator(LibraryFolder() + "shader"))
        EXPECT_TRUE(used.count(entry.path().filename().string())) << entry.path() << " belongs to no plugin";
}

} // namespace
