// The source tree's data/ folder as a program folder, a test picture, and an engine over it in a 256 x 256
// view.
#pragma once

#include "render/EngineTestSupport.h"

#include <cmath>
#include <filesystem>
#include <utility>

inline std::string LibraryFolder() {
    return std::string(LUMATEX_SOURCE_DIR) + "/data/";
}

// Bare names of data/plugins/*.ini, sorted.
inline std::vector<std::string> BundledPluginFiles() {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(LibraryFolder() + "plugins"))
        if (entry.is_regular_file() && entry.path().extension() == ".ini")
            names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

// Every parameter of a plugin, whatever its kind.
struct TParam {
    const std::string& Name;
    float* Value;
    int Components;
    float Scale;
    const std::string& Caption;
};
inline std::vector<TParam> ParamsOf(TShaderPlugin& p) {
    std::vector<TParam> all;
    auto add = [&all](auto& params) {
        for (auto& r : params)
            all.push_back({r.UniformName, r.Value.data(), int(r.Value.size()), r.Scale, r.Caption});
    };
    add(p.Params1f), add(p.Params2f), add(p.Params3f), add(p.Params4f);
    return all;
}

constexpr int kView = 256;

// Colour ramps, a checker board of seven cells across (never lined up with power-of-two blocks) and a disc:
// edges for the filters, gradients for the colour effects.
inline TRGBA TestColour(int x, int y) {
    const bool check = ((x * 7 / kView) + (y * 7 / kView)) % 2 == 0;
    const int dx = x - kView / 2, dy = y - kView / 3;
    const bool disc = dx * dx + dy * dy < (kView / 6) * (kView / 6);
    const int r = 20 + x * 215 / kView, g = 30 + y * 200 / kView, b = disc ? 240 : (check ? 200 : 40);
    return TRGBA{uint8_t(r), uint8_t(g), uint8_t(b), 255};
}

// kView x kView red, green and blue in 0..1, row 0 at the top (for a framebuffer: as the texture holds it).
using TPixels = std::vector<float>;
inline TPixels TestPixels() {
    TPixels p;
    for (int y = 0; y < kView; ++y)
        for (int x = 0; x < kView; ++x) {
            const TRGBA c = TestColour(x, y);
            p.insert(p.end(), {c.R / 255.0f, c.G / 255.0f, c.B / 255.0f});
        }
    return p;
}
inline TPixels ReadView() {
    TPixels bottomUp(size_t(kView) * kView * 3), p(bottomUp.size());
    glFinish();
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, kView, kView, GL_RGB, GL_FLOAT, bottomUp.data());
    for (int y = 0; y < kView; ++y)
        std::copy_n(&bottomUp[size_t(kView - 1 - y) * kView * 3], kView * 3, &p[size_t(y) * kView * 3]);
    return p;
}
inline TPixels ReadFramebuffer(TFBO& fbo) {
    TPixels rgb(size_t(kView) * kView * 3);
    fbo.BindTexture();
    glGetTexImage(GL_TEXTURE_2D, 0, GL_RGB, GL_FLOAT, rgb.data());
    return rgb;
}
inline float MaxDifference(const TPixels& a, const TPixels& b) {
    float worst = 0.0f;
    for (size_t i = 0; i < a.size(); ++i)
        worst = std::max(worst, std::fabs(a[i] - b[i]));
    return worst;
}
inline size_t BadValues(const TPixels& p) {
    return size_t(std::count_if(p.begin(), p.end(), [](float v) { return !(v >= -0.001f && v <= 1.001f); }));
}

// What a user would call a broken effect: a black or white screen, a flat colour, or no visible change.
inline void ExpectAVisibleSoundChange(const TPixels& out, const TPixels& in) {
    size_t black = 0, white = 0, changed = 0;
    double sum = 0.0, sumSq = 0.0;
    for (size_t i = 0; i < out.size(); i += 3) {
        const double luma = (out[i] + out[i + 1] + out[i + 2]) / 3.0;
        black += luma<0.008, white += luma> 0.992;
        sum += luma, sumSq += luma * luma;
        for (size_t c = 0; c < 3; ++c)
            changed += std::fabs(out[i + c] - in[i + c]) > 8.5f / 255;
    }
    const double pixels = double(kView) * kView, mean = sum / pixels;
    EXPECT_EQ(BadValues(out), 0u);
    EXPECT_LT(std::max(black, white), pixels * 0.99) << "the picture went black or white";
    EXPECT_GT(std::sqrt(std::max(0.0, sumSq / pixels - mean * mean)), 0.01) << "it went flat";
    EXPECT_GT(changed, size_t(pixels * 0.01)) << "the picture hardly changed";
}

// An engine with data/ as its program folder, showing the test picture.
class LibraryEngineTest : public TEngineGLTest {
protected:
    void SetUp() override {
        TEngineGLTest::SetUp();
        if (IsSkipped()) return;
        CatalogueMessages = std::exchange(Messages.Entries, {});
        SetSource(kView, kView, TestColour);
    }
    std::string ProgramFolder() const override { return LibraryFolder(); }

    TPixels Render() { // failing on any message
        Engine->RenderFrame(false);
        for (const auto& m : Messages.Entries)
            ADD_FAILURE() << m.Caption << ": " << m.Text;
        Messages.Entries.clear();
        return ReadView();
    }
    TPixels RenderChain(const std::vector<std::string>& chain) { return SetChain(chain), Render(); }

    std::vector<TRecordingMessageSink::TEntry> CatalogueMessages;
};
