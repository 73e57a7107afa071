// The bundled library through the real render engine: the catalogue scan of data/plugins, and every plugin
// rendered headlessly on a test picture at its description's values, once as the first slot (a framebuffer
// pass) and once as the last of two slots (the pass into the view).
#include "imaging/glBitmap.h"
#include "library/LibraryFiles.h"
#include "render/uRenderEngine.h"
#include "support/TestSupport.h"

#include <algorithm>
#include <cmath>
#include <set>

namespace {

constexpr int kView = 256;

// Picture read back from the view, row 0 at the top; 8-bit RGB as the user sees it.
struct TViewPicture {
    std::vector<uint8_t> RGB; // kView x kView x 3
    const uint8_t* At(int x, int y) const { return &RGB[(size_t(y) * kView + size_t(x)) * 3]; }
};

TViewPicture ReadView() {
    glFinish();
    std::vector<uint8_t> rgba(size_t(kView) * kView * 4);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, kView, kView, GL_RGBA, GL_UNSIGNED_BYTE, rgba.data());
    TViewPicture p;
    p.RGB.resize(size_t(kView) * kView * 3);
    for (int y = 0; y < kView; ++y)
        for (int x = 0; x < kView; ++x)
            std::copy_n(&rgba[(size_t(kView - 1 - y) * kView + size_t(x)) * 4], 3, &p.RGB[(size_t(y) * kView + x) * 3]);
    return p;
}

// The bitmap as the view should show it when nothing changes it.
TViewPicture AsViewPicture(const TBitmap& bitmap) {
    TViewPicture p;
    p.RGB.resize(size_t(kView) * kView * 3);
    for (int y = 0; y < kView; ++y)
        for (int x = 0; x < kView; ++x) {
            const uint8_t* bgr = bitmap.ScanLine(y) + size_t(x) * 3;
            uint8_t* out = &p.RGB[(size_t(y) * kView + x) * 3];
            out[0] = bgr[2];
            out[1] = bgr[1];
            out[2] = bgr[0];
        }
    return p;
}

int MaxDifference(const TViewPicture& a, const TViewPicture& b) {
    int worst = 0;
    for (size_t i = 0; i < a.RGB.size(); ++i) worst = std::max(worst, std::abs(int(a.RGB[i]) - int(b.RGB[i])));
    return worst;
}

// One engine for the whole suite: the catalogue scan compiles every plugin once, which is the slow part.
class EngineLibraryTest : public ::testing::Test {
public:
    static void SetUpTestSuite() {
        SinkGuard = new TMessageSinkGuard(Messages);
        Context = new THeadlessContext;
        if (!Context->Create(kView, kView)) return;
        Engine = new TRenderEngine(*Context, LibraryFolder());
        Engine->Init(kView, kView);
        CatalogueMessages = Messages.Entries;
        Engine->SetViewport(kView, kView, 0, 0);
    }
    static void TearDownTestSuite() {
        if (Engine) Context->MakeCurrent();
        delete Engine;
        Engine = nullptr;
        delete Context;
        Context = nullptr;
        delete SinkGuard;
        SinkGuard = nullptr;
    }

protected:
    void SetUp() override {
        if (!Engine) GTEST_SKIP() << "no headless OpenGL context";
        ASSERT_TRUE(Context->MakeCurrent());
        Messages.Entries.clear();
        ShowPicture(false);
    }
    void TearDown() override {
        if (!Engine) return;
        for (int i = 0; i < kSlotCount; ++i) {
            Engine->Slots[size_t(i)].reset();
            Engine->SlotActive[size_t(i)] = false;
        }
        Engine->RebuildActiveOrder();
    }

    void ShowPicture(bool grey) {
        Picture = TestPicture(kView, kView, grey);
        ASSERT_TRUE(Engine->SourceTexture->AssignFromBitmap(&Picture));
        Engine->SourceTexture->GenTexture(false);
    }

    // Fills the slots from the front with the given plugins, all switched on, and renders one frame.
    TViewPicture RenderChain(const std::vector<std::string>& chain) {
        for (size_t i = 0; i < chain.size(); ++i) {
            auto plugin = MakeBundledPlugin(chain[i]);
            EXPECT_TRUE(plugin->Load()) << chain[i];
            Engine->Slots[i] = std::move(plugin);
            Engine->SlotActive[i] = true;
        }
        Engine->RebuildActiveOrder();
        Engine->RenderFrame(false);
        for (const auto& m : Messages.Entries) ADD_FAILURE() << m.Caption << ": " << m.Text;
        Messages.Entries.clear();
        return ReadView();
    }

    static inline TRecordingMessageSink Messages;
    static inline std::vector<TRecordingMessageSink::TEntry> CatalogueMessages;
    static inline TMessageSinkGuard* SinkGuard = nullptr;
    static inline THeadlessContext* Context = nullptr;
    static inline TRenderEngine* Engine = nullptr;
    TBitmap Picture;
};

// What a user would call a broken effect: a black or white screen, a flat colour, or no visible change.
void ExpectAVisibleSoundChange(const TViewPicture& out, const TViewPicture& in, const std::string& what) {
    size_t black = 0, white = 0, changed = 0;
    double sum = 0.0, sumSq = 0.0;
    for (size_t i = 0; i < out.RGB.size(); i += 3) {
        const double luma = (out.RGB[i] + out.RGB[i + 1] + out.RGB[i + 2]) / 3.0;
        black += luma < 2.0;
        white += luma > 253.0;
        sum += luma;
        sumSq += luma * luma;
        for (size_t c = 0; c < 3; ++c) changed += std::abs(int(out.RGB[i + c]) - int(in.RGB[i + c])) > 8;
    }
    const double pixels = double(kView) * kView;
    const double spread = std::sqrt(std::max(0.0, sumSq / pixels - (sum / pixels) * (sum / pixels)));
    EXPECT_LT(black, pixels * 0.99) << what << ": the picture went black";
    EXPECT_LT(white, pixels * 0.99) << what << ": the picture went white";
    EXPECT_GT(spread, 2.0) << what << ": the picture went flat";
    EXPECT_GT(changed, size_t(pixels * 0.01)) << what << ": the picture hardly changed";
}

TEST_F(EngineLibraryTest, CatalogueHoldsEveryBundledPluginWithoutAMessage) {
    for (const auto& m : CatalogueMessages) ADD_FAILURE() << m.Caption << ": " << m.Text;
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
            const TViewPicture out =
                RenderChain(last ? std::vector<std::string>{"pass_through.ini", ini} : std::vector<std::string>{ini});
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
         for (size_t i = 0; i < in.RGB.size(); ++i) e.RGB[i] = uint8_t(255 - in.RGB[i]);
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
         for (int y = 0; y < kView; ++y) std::copy_n(in.At(0, kView - 1 - y), kView * 3, &e.RGB[size_t(y) * kView * 3]);
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
    const TViewPicture out = RenderChain({"levels.ini", "hue_rotate.ini", "gaussian_blur.ini", "swirl.ini",
                                          "chromatic_aberration.ini", "film_grain.ini", "vignette.ini",
                                          "scanlines.ini"});
    ExpectAVisibleSoundChange(out, AsViewPicture(Picture), "full chain");
}

} // namespace
