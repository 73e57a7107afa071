// The bundled library through the real render engine: the catalogue scan of data/plugins, and every plugin
// rendered headlessly on a test picture at its description's values, once as the first slot (a framebuffer
// pass) and once as the last of two slots (the pass into the view).
#include "library/LibraryEngine.h"
#include "render/uRenderEngine.h"

#include <set>

namespace {

using EngineLibraryTest = LibraryEngineTest;

TEST_F(EngineLibraryTest, CatalogueHoldsEveryBundledPluginWithoutAMessage) {
    for (const auto& m : CatalogueMessages)
        ADD_FAILURE() << m.Caption << ": " << m.Text;
    std::set<std::string> scanned;
    for (size_t i = 0; i < Engine->Catalogue.size(); ++i) {
        EXPECT_EQ(Engine->Catalogue[i]->CatalogueIndex, int(i));
        scanned.insert(Engine->Catalogue[i]->IniFileName);
    }
    const std::vector<std::string> files = BundledPluginFiles();
    EXPECT_EQ(scanned, std::set<std::string>(files.begin(), files.end()));
}

TEST_F(EngineLibraryTest, WithoutPluginsTheViewShowsTheTestPictureUnchanged) {
    EXPECT_LE(MaxDifference(RenderChain({}), AsViewPicture(Picture)), 1);
}

// Each plugin first (rendered into a framebuffer) and last (rendered into the view).
TEST_F(EngineLibraryTest, EveryPluginsDefaultValuesChangeThePictureSoundlyInBothKindsOfPass) {
    const TViewPicture in = AsViewPicture(Picture);
    for (const std::string& ini : BundledPluginFiles()) {
        for (bool last : {false, true}) {
            const std::string what = ini + (last ? " in the view pass" : " in a framebuffer pass");
            SCOPED_TRACE(what);
            const TViewPicture out = RenderChain(last ? std::vector<std::string>{"pass_through.ini", ini}
                                                      : std::vector<std::string>{ini});
            if (ini == "pass_through.ini")
                EXPECT_LE(MaxDifference(out, in), 1);
            else
                ExpectAVisibleSoundChange(out, in, what);
            TearDown();
        }
    }
}

// Effects whose result is known exactly, in both positions of the chain. One 8-bit step of tolerance covers
// the rounding of the framebuffer passes.
struct TExactCase {
    const char* Ini;
    bool GreyPicture;
    void (*Expect)(const TViewPicture& in, TViewPicture& expected);
};

const TExactCase kExactCases[] = {
    {"invert.ini", false,
     [](const TViewPicture& in, TViewPicture& e) {
         for (size_t i = 0; i < in.RGB.size(); ++i)
             e.RGB[i] = uint8_t(255 - in.RGB[i]);
     }},
    {"channel_swap.ini", false,
     [](const TViewPicture& in, TViewPicture& e) {
         for (size_t i = 0; i < in.RGB.size(); i += 3) {
             e.RGB[i] = in.RGB[i + 2];
             e.RGB[i + 1] = in.RGB[i + 1];
             e.RGB[i + 2] = in.RGB[i];
         }
     }},
    {"flip.ini", false,
     [](const TViewPicture& in, TViewPicture& e) {
         for (int y = 0; y < kView; ++y)
             std::copy_n(in.At(0, kView - 1 - y), kView * 3, &e.RGB[size_t(y) * kView * 3]);
     }},
    {"greyscale.ini", true, [](const TViewPicture& in, TViewPicture& e) { e = in; }},
    {"pass_through.ini", false, [](const TViewPicture& in, TViewPicture& e) { e = in; }},
};

TEST_F(EngineLibraryTest, ExactEffectsGiveTheExpectedPictureInEveryPosition) {
    for (const TExactCase& c : kExactCases) {
        for (bool last : {false, true}) {
            ShowPicture(c.GreyPicture);
            const TViewPicture in = AsViewPicture(Picture);
            TViewPicture expected = in;
            c.Expect(in, expected);
            const std::vector<std::string> chain =
                last ? std::vector<std::string>{"pass_through.ini", c.Ini} : std::vector<std::string>{c.Ini};
            EXPECT_LE(MaxDifference(RenderChain(chain), expected), 1) << c.Ini << (last ? " last" : " first");
            TearDown();
        }
    }
}

// A long chain runs through both framebuffers in turn; two inverts and two flips cancel out exactly.
TEST_F(EngineLibraryTest, EightSlotsOfSelfCancellingPairsGiveThePictureBack) {
    const TViewPicture out = RenderChain({"invert.ini", "flip.ini", "channel_swap.ini", "pass_through.ini",
                                          "pass_through.ini", "channel_swap.ini", "flip.ini", "invert.ini"});
    EXPECT_EQ(Engine->PassCount, 8);
    EXPECT_LE(MaxDifference(out, AsViewPicture(Picture)), 2);
}

// Every effect of the library at once: the result is still a picture, not a black or white screen.
TEST_F(EngineLibraryTest, AFullChainOfDifferentEffectsStaysSound) {
    const TViewPicture out =
        RenderChain({"levels.ini", "hue_rotate.ini", "gaussian_blur.ini", "swirl.ini",
                     "chromatic_aberration.ini", "film_grain.ini", "vignette.ini", "scanlines.ini"});
    ExpectAVisibleSoundChange(out, AsViewPicture(Picture), "full chain");
}

} // namespace
