// The presets that ship in data/presets. They are never written by hand: the recipes below are the source,
// and the program's own preset writer turns them into files. To make the files anew (after changing a
// recipe, a plugin's parameters or the writer), run
//     LUMATEX_WRITE_PRESETS=data/presets build/bin/test_library --gtest_filter='LibraryPresets.TheWriter*'
// from the source folder. Without that variable the same test writes into a temporary folder and checks
// that what the writer made applies back to the recipe.
#include "library/LibraryEngine.h"
#include "platform/Files.h"
#include "platform/IniFile.h"
#include "plugins/uChainState.h"
#include "presets/uPresets.h"

#include <cstdlib>
#include <filesystem>
#include <set>

namespace {

namespace fs = std::filesystem;

struct TSetting {
    const char* Uniform;
    std::vector<float> Value; // bar positions, 0..1
};

struct TRecipeSlot {
    const char* Ini;
    bool Active;
    std::vector<TSetting> Settings; // parameters not named here keep the description's values
};

struct TRecipe {
    const char* Name;
    std::vector<TRecipeSlot> Slots; // from slot 1 on; the rest stay empty
};

const std::vector<TRecipe>& Recipes() {
    static const std::vector<TRecipe> recipes{
        {"Comic Book",
         {{"brightness_contrast.ini", true, {{"bcs", {0.5f, 0.6f, 0.8f}}}},
          {"posterize.ini", true, {{"levels", {0.1875f}}}},
          {"ink_outlines.ini", true, {{"strength", {0.5f}}, {"ink", {0.05f, 0.05f, 0.1f, 1.0f}}}}}},
        {"Old Film",
         {{"gaussian_blur.ini", true, {{"radius", {0.06f, 0.06f}}}},
          {"sepia.ini", true, {{"tone", {1.0f, 0.8f, 0.55f}}, {"amount", {0.9f}}}},
          {"film_grain.ini",
           true,
           {{"amount", {0.2f, 0.2f, 0.2f}}, {"size", {0.25f, 0.25f}}, {"seed", {0.37f}}}},
          {"vignette.ini", true, {{"radius", {0.3f, 0.95f}}, {"colour", {0.05f, 0.03f, 0.0f, 0.85f}}}},
          // Switched off: flickering projector lines for those who want them.
          {"scanlines.ini", false, {{"lines", {0.75f, 0.0625f}}, {"colour", {0.0f, 0.0f, 0.0f, 0.35f}}}}}},
        {"Glitch",
         {{"wave.ini", true, {{"amplitude", {0.4f, 0.0f}}, {"waves", {0.95f}}}},
          {"chromatic_aberration.ini", true, {{"amount", {0.8f}}, {"centre", {0.5f, 0.5f}}}},
          {"posterize.ini", true, {{"levels", {0.25f}}}},
          {"scanlines.ini", true, {{"lines", {0.375f, 0.125f}}, {"colour", {0.0f, 0.8f, 0.6f, 0.3f}}}}}},
        {"Dream Blur",
         {{"gaussian_blur.ini", true, {{"radius", {0.5f, 0.5f}}}},
          {"brightness_contrast.ini", true, {{"bcs", {0.56f, 0.45f, 0.6f}}}},
          {"tint.ini", true, {{"colour", {1.0f, 0.75f, 0.9f, 0.35f}}}},
          {"vignette.ini", true, {{"radius", {0.45f, 1.0f}}, {"colour", {1.0f, 1.0f, 1.0f, 0.7f}}}}}},
        {"Night Vision",
         {{"greyscale.ini", true, {}},
          {"levels.ini", true, {{"inputRange", {0.1f, 1.0f}}, {"gamma", {0.2f, 0.2f, 0.2f}}}},
          {"tint.ini", true, {{"colour", {0.2f, 1.0f, 0.3f, 1.0f}}}},
          {"film_grain.ini", true, {{"amount", {0.18f, 0.18f, 0.18f}}, {"size", {0.25f, 0.25f}}}},
          {"vignette.ini", true, {{"radius", {0.4f, 0.9f}}, {"colour", {0.0f, 0.0f, 0.0f, 1.0f}}}},
          {"scanlines.ini", true, {{"lines", {0.25f, 0.125f}}, {"colour", {0.0f, 0.0f, 0.0f, 0.35f}}}}}},
        {"Retro Arcade",
         {{"pixelate.ini", true, {{"blockSize", {0.125f, 0.125f}}}},
          {"posterize.ini", true, {{"levels", {0.125f}}}},
          {"brightness_contrast.ini", true, {{"bcs", {0.5f, 0.6f, 0.75f}}}},
          {"scanlines.ini", true, {{"lines", {0.25f, 0.125f}}, {"colour", {0.0f, 0.0f, 0.0f, 0.45f}}}},
          {"vignette.ini", true, {{"radius", {0.5f, 1.0f}}, {"colour", {0.0f, 0.0f, 0.0f, 0.6f}}}}}},
    };
    return recipes;
}

// The components of the plugin's parameter called uniform, whatever its kind; empty when there is none.
float* FindParam(TShaderPlugin& plugin, const std::string& uniform, int& components) {
    for (auto& p : plugin.Params1f)
        if (p.UniformName == uniform) return components = 1, p.Value.data();
    for (auto& p : plugin.Params2f)
        if (p.UniformName == uniform) return components = 2, p.Value.data();
    for (auto& p : plugin.Params3f)
        if (p.UniformName == uniform) return components = 3, p.Value.data();
    for (auto& p : plugin.Params4f)
        if (p.UniformName == uniform) return components = 4, p.Value.data();
    components = 0;
    return nullptr;
}

class LibraryPresets : public LibraryEngineTest {
protected:
    void SetUp() override {
        LibraryEngineTest::SetUp();
        if (IsSkipped()) return;
        Chain = std::make_unique<TChainState>(*Engine);
        Chain->FormCreate();
    }
    void TearDown() override {
        Chain.reset();
        LibraryEngineTest::TearDown();
    }

    int CatalogueIndexOf(const std::string& ini) const {
        for (const auto& entry : Engine->Catalogue)
            if (entry->IniFileName == ini) return entry->CatalogueIndex;
        return -1;
    }

    void BuildChain(const TRecipe& recipe) {
        for (int slot = 1; slot <= kSlotCount; ++slot) {
            if (size_t(slot) > recipe.Slots.size()) {
                Chain->AssignSlot(slot, -1, false);
                continue;
            }
            const TRecipeSlot& r = recipe.Slots[size_t(slot - 1)];
            const int index = CatalogueIndexOf(r.Ini);
            ASSERT_GE(index, 0) << r.Ini;
            Chain->AssignSlot(slot, index, r.Active);
            TShaderPlugin* plugin = Engine->Slots[size_t(slot - 1)].get();
            ASSERT_NE(plugin, nullptr) << r.Ini;
            for (const TSetting& s : r.Settings) {
                int components = 0;
                float* value = FindParam(*plugin, s.Uniform, components);
                ASSERT_NE(value, nullptr) << r.Ini << " has no parameter " << s.Uniform;
                ASSERT_EQ(size_t(components), s.Value.size()) << r.Ini << " " << s.Uniform;
                std::copy(s.Value.begin(), s.Value.end(), value);
            }
        }
    }

    // The live chain is the recipe: plugins, switches, and every parameter at the recipe's value or else
    // at the description's.
    void ExpectChainIs(const TRecipe& recipe) {
        for (int slot = 1; slot <= kSlotCount; ++slot) {
            SCOPED_TRACE("slot " + std::to_string(slot));
            TShaderPlugin* plugin = Engine->Slots[size_t(slot - 1)].get();
            if (size_t(slot) > recipe.Slots.size()) {
                EXPECT_EQ(plugin, nullptr);
                EXPECT_FALSE(Engine->SlotActive[size_t(slot - 1)]);
                EXPECT_EQ(Chain->Label(slot).Tag, -1);
                continue;
            }
            const TRecipeSlot& r = recipe.Slots[size_t(slot - 1)];
            ASSERT_NE(plugin, nullptr) << r.Ini;
            EXPECT_EQ(plugin->IniFileName, r.Ini);
            EXPECT_EQ(Chain->Label(slot).Tag, CatalogueIndexOf(r.Ini));
            EXPECT_EQ(Engine->SlotActive[size_t(slot - 1)], r.Active);
            auto fresh = MakeBundledPlugin(r.Ini);
            ASSERT_TRUE(fresh->ReadDescription());
            auto expectParam = [&](const std::string& uniform, const float* actual, int components) {
                int freshComponents = 0;
                const float* described = FindParam(*fresh, uniform, freshComponents);
                ASSERT_EQ(freshComponents, components) << uniform;
                std::vector<float> expected(described, described + components);
                for (const TSetting& s : r.Settings)
                    if (s.Uniform == uniform) expected = s.Value;
                for (int k = 0; k < components; ++k)
                    EXPECT_FLOAT_EQ(actual[k], expected[size_t(k)]) << uniform;
            };
            for (const auto& p : plugin->Params1f)
                expectParam(p.UniformName, p.Value.data(), 1);
            for (const auto& p : plugin->Params2f)
                expectParam(p.UniformName, p.Value.data(), 2);
            for (const auto& p : plugin->Params3f)
                expectParam(p.UniformName, p.Value.data(), 3);
            for (const auto& p : plugin->Params4f)
                expectParam(p.UniformName, p.Value.data(), 4);
        }
    }

    // A chain unlike every recipe, so that applying a preset has something to change.
    void FillWithOtherPlugins() {
        for (int slot = 1; slot <= kSlotCount; ++slot)
            Chain->AssignSlot(slot, CatalogueIndexOf("invert.ini"), true);
    }

    std::unique_ptr<TChainState> Chain;
};

std::string ShippedPresetPath(const TRecipe& recipe) {
    return LibraryFolder() + "presets/" + recipe.Name + ".prs";
}

TEST_F(LibraryPresets, TheShippedPresetsAreExactlyTheRecipes) {
    std::set<std::string> shipped, expected;
    for (const auto& entry : fs::directory_iterator(LibraryFolder() + "presets"))
        shipped.insert(entry.path().filename().string());
    for (const TRecipe& r : Recipes())
        expected.insert(std::string(r.Name) + ".prs");
    EXPECT_EQ(shipped, expected);
}

TEST_F(LibraryPresets, EveryShippedPresetNamesOnlyShippedPlugins) {
    const std::vector<std::string> files = BundledPluginFiles();
    for (const TRecipe& recipe : Recipes()) {
        const TIniFile preset = TIniFile::FromFile(ShippedPresetPath(recipe));
        for (int slot = 1; slot <= kSlotCount; ++slot) {
            const std::string name = preset.ReadString(std::to_string(slot), "PlugInName", "");
            if (name == "NONE") continue;
            EXPECT_NE(std::find(files.begin(), files.end(), name), files.end())
                << recipe.Name << " slot " << slot << " names " << name;
            EXPECT_GE(CatalogueIndexOf(name), 0) << name;
        }
    }
}

TEST_F(LibraryPresets, EveryShippedPresetAppliesWithoutAMessageAndGivesItsRecipe) {
    for (const TRecipe& recipe : Recipes()) {
        SCOPED_TRACE(recipe.Name);
        FillWithOtherPlugins();
        Messages.Entries.clear();
        ApplyPreset(*Chain, ShippedPresetPath(recipe));
        for (const auto& m : Messages.Entries)
            ADD_FAILURE() << m.Caption << ": " << m.Text;
        EXPECT_EQ(Chain->SelectedSlot, 1);
        ExpectChainIs(recipe);
    }
}

TEST_F(LibraryPresets, EveryShippedPresetRendersAVisiblySoundPicture) {
    const TViewPicture in = AsViewPicture(Picture);
    for (const TRecipe& recipe : Recipes()) {
        SCOPED_TRACE(recipe.Name);
        ApplyPreset(*Chain, ShippedPresetPath(recipe));
        Engine->RenderFrame(false);
        ExpectAVisibleSoundChange(ReadView(), in, recipe.Name);
    }
}

TEST_F(LibraryPresets, TheWriterTurnsTheRecipesIntoPresetsThatApplyBack) {
    TTempFolder temp;
    const char* target = std::getenv("LUMATEX_WRITE_PRESETS");
    const std::string folder = target && *target ? IncludeTrailingSlash(target) : temp.Path();
    for (const TRecipe& recipe : Recipes()) {
        SCOPED_TRACE(recipe.Name);
        BuildChain(recipe);
        const std::string path = folder + recipe.Name + ".prs";
        // A fresh file: overwriting would keep keys of the old one that this chain does not write.
        fs::remove(path);
        Messages.Entries.clear();
        ASSERT_TRUE(WritePreset(*Chain, path));
        EXPECT_TRUE(Messages.Entries.empty());
        FillWithOtherPlugins();
        ApplyPreset(*Chain, path);
        ExpectChainIs(recipe);
    }
}

} // namespace
