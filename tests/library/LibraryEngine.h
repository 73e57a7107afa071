// LibraryEngine.h: a render engine over the bundled library (the source tree's data/ folder as its program
// folder) in a headless view, shared by the tests of one suite, and what the tests read back from the view.
#pragma once

#include "imaging/glBitmap.h"
#include "library/LibraryFiles.h"
#include "render/uRenderEngine.h"
#include "support/TestSupport.h"

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

constexpr int kView = 256;

// Picture read back from the view, row 0 at the top; 8-bit RGB as the user sees it.
struct TViewPicture {
    std::vector<uint8_t> RGB; // kView x kView x 3
    const uint8_t* At(int x, int y) const { return &RGB[(size_t(y) * kView + size_t(x)) * 3]; }
};

inline TViewPicture ReadView() {
    glFinish();
    std::vector<uint8_t> rgba(size_t(kView) * kView * 4);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, kView, kView, GL_RGBA, GL_UNSIGNED_BYTE, rgba.data());
    TViewPicture p;
    p.RGB.resize(size_t(kView) * kView * 3);
    for (int y = 0; y < kView; ++y)
        for (int x = 0; x < kView; ++x)
            std::copy_n(&rgba[(size_t(kView - 1 - y) * kView + size_t(x)) * 4], 3,
                        &p.RGB[(size_t(y) * kView + x) * 3]);
    return p;
}

// The bitmap as the view should show it when nothing changes it.
inline TViewPicture AsViewPicture(const TBitmap& bitmap) {
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

inline int MaxDifference(const TViewPicture& a, const TViewPicture& b) {
    int worst = 0;
    for (size_t i = 0; i < a.RGB.size(); ++i)
        worst = std::max(worst, std::abs(int(a.RGB[i]) - int(b.RGB[i])));
    return worst;
}

// One engine per test suite: the catalogue scan compiles every plugin once, which is the slow part.
class LibraryEngineTest : public ::testing::Test {
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
        for (const auto& m : Messages.Entries)
            ADD_FAILURE() << m.Caption << ": " << m.Text;
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
inline void ExpectAVisibleSoundChange(const TViewPicture& out, const TViewPicture& in,
                                      const std::string& what) {
    size_t black = 0, white = 0, changed = 0;
    double sum = 0.0, sumSq = 0.0;
    for (size_t i = 0; i < out.RGB.size(); i += 3) {
        const double luma = (out.RGB[i] + out.RGB[i + 1] + out.RGB[i + 2]) / 3.0;
        black += luma < 2.0;
        white += luma > 253.0;
        sum += luma;
        sumSq += luma * luma;
        for (size_t c = 0; c < 3; ++c)
            changed += std::abs(int(out.RGB[i + c]) - int(in.RGB[i + c])) > 8;
    }
    const double pixels = double(kView) * kView;
    const double spread = std::sqrt(std::max(0.0, sumSq / pixels - (sum / pixels) * (sum / pixels)));
    EXPECT_LT(black, pixels * 0.99) << what << ": the picture went black";
    EXPECT_LT(white, pixels * 0.99) << what << ": the picture went white";
    EXPECT_GT(spread, 2.0) << what << ": the picture went flat";
    EXPECT_GT(changed, size_t(pixels * 0.01)) << what << ": the picture hardly changed";
}
