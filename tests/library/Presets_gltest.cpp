// The presets that ship in data/presets. They are never written by hand: the recipes below are the source,
// and the program's own preset writer turns them into files. To make the files anew (after changing a
// recipe, a plugin's parameters or the writer), run
//     LUMATEX_WRITE_PRESETS=data/presets build/bin/test_library --gtest_filter='LibraryPresets.TheWriter*'
// from the source folder. Without that variable the same test writes into a temporary folder and checks
// that the files are the shipped ones, byte for byte, and that each applies back to its recipe.
#include "library/Library.h"
#include "platform/Files.h"
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
        {"VHS Memories",
         {{"vhs.ini", true, {{"tape", {0.45f, 0.6f, 0.35f}}, {"tracking", {0.5f}}}},
          {"rgb_drift.ini", true, {{"drift", {0.15f, 0.05f}}}},
          {"animated_grain.ini", true, {{"grain", {0.12f, 0.2f}}, {"size", {0.125f}}}},
          {"vignette.ini", true, {{"radius", {0.4f, 0.95f}}, {"colour", {0.0f, 0.0f, 0.0f, 0.7f}}}}}},
        {"Dream Trails",
         {{"trails.ini", true, {{"decay", {0.9f}}}},
          {"lut_grade.ini", true, {{"grade", {0.5f, 0.8f}}}},
          {"gaussian_blur.ini", true, {{"radius", {0.1f, 0.1f}}}},
          {"vignette.ini", true, {{"radius", {0.45f, 1.0f}}, {"colour", {1.0f, 0.95f, 0.9f, 0.5f}}}}}},
        {"Psychedelic Tunnel",
         {{"plasma.ini", true, {{"blend", {0.6f}}, {"plasma", {0.3f, 0.2f}}}},
          {"spin_kaleidoscope.ini", true, {{"spin", {0.375f, 0.6f}}}},
          {"echo.ini", true, {{"zoom", {0.5f, 0.75f}}, {"turn", {0.6f}}}},
          {"lut_grade.ini", true, {{"grade", {0.0f, 0.6f}}}}}},
        {"Music Visualiser",
         {{"sound_pulse.ini", true, {{"pulse", {0.5f, 0.25f}}}},
          {"bass_colour_shift.ini", true, {{"shift", {0.4f, 0.2f}}}},
          {"spectrum_bars.ini", true, {{"bars", {0.4f, 0.5f}}, {"colour", {1.0f, 0.6f, 0.2f, 0.75f}}}},
          {"waveform_scope.ini", true, {{"thickness", {0.25f}}, {"colour", {0.4f, 1.0f, 0.9f, 0.8f}}}}}},
    };
    return recipes;
}

class LibraryPresets : public LibraryEngineTest {
protected:
    void SetUp() override {
        LibraryEngineTest::SetUp();
        if (IsSkipped()) return;
        Chain = std::make_unique<TChainState>(*Engine);
        Chain->FormCreate();
    }
    void TearDown() override { Chain.reset(), LibraryEngineTest::TearDown(); }

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
            ASSERT_GE(CatalogueIndexOf(r.Ini), 0) << r.Ini;
            Chain->AssignSlot(slot, CatalogueIndexOf(r.Ini), r.Active);
            ASSERT_NE(Engine->Slots[size_t(slot - 1)], nullptr) << r.Ini;
            const std::vector<TParam> params = ParamsOf(*Engine->Slots[size_t(slot - 1)]);
            for (const TSetting& s : r.Settings) {
                const auto p =
                    std::find_if(params.begin(), params.end(), [&](auto& p) { return p.Name == s.Uniform; });
                ASSERT_NE(p, params.end()) << r.Ini << " has no parameter " << s.Uniform;
                ASSERT_EQ(size_t(p->Components), s.Value.size()) << r.Ini << " " << s.Uniform;
                std::copy(s.Value.begin(), s.Value.end(), p->Value);
            }
        }
    }

    std::unique_ptr<TChainState> Chain;
};

TEST_F(LibraryPresets, TheWriterTurnsTheRecipesIntoTheShippedPresetsWhichApplyBackAndRender) {
    TTempFolder temp;
    const char* target = std::getenv("LUMATEX_WRITE_PRESETS");
    const std::string folder = target && *target ? IncludeTrailingSlash(target) : temp.Path();
    for (const TRecipe& recipe : Recipes()) {
        SCOPED_TRACE(recipe.Name);
        BuildChain(recipe);
        const std::string path = folder + recipe.Name + ".prs";
        // A fresh file: overwriting would keep keys of the old one that this chain does not write.
        fs::remove(path);
        ASSERT_TRUE(WritePreset(*Chain, path));
        EXPECT_EQ(ReadTextFile(path), ReadTextFile(LibraryFolder() + "presets/" + recipe.Name + ".prs"))
            << "the shipped preset is out of date: make it anew as described at the top of this file";
        // A chain unlike every recipe, so that applying the preset has something to change.
        for (int slot = 1; slot <= kSlotCount; ++slot)
            Chain->AssignSlot(slot, CatalogueIndexOf("invert.ini"), true);
        ApplyPreset(*Chain, path);
        EXPECT_EQ(Chain->SelectedSlot, 1);
        // The chain restored from the file writes the same file: nothing the writer keeps was lost.
        const std::string again = temp.File(std::string(recipe.Name) + ".again");
        ASSERT_TRUE(WritePreset(*Chain, again));
        EXPECT_EQ(ReadTextFile(again), ReadTextFile(path));
        ExpectAVisibleSoundChange(Render(), TestPixels());
    }
    std::set<std::string> shipped, expected; // and nothing else ships
    for (const auto& entry : fs::directory_iterator(LibraryFolder() + "presets"))
        shipped.insert(entry.path().filename().string());
    for (const TRecipe& r : Recipes())
        expected.insert(std::string(r.Name) + ".prs");
    EXPECT_EQ(shipped, expected);
}

} // namespace
