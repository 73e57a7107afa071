// Pictures read back from GL, and a render engine on the headless context whose surface counts the swaps.
#pragma once

#include "imaging/glBitmap.h"
#include "platform/Bitmap.h"
#include "render/uFBO.h"
#include "render/uRenderEngine.h"
#include "render/uShaderPlugin.h"
#include "support/TestSupport.h"

#include <algorithm>
#include <array>
#include <functional>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include <gmock/gmock.h>

struct TRGBA {
    uint8_t R = 0, G = 0, B = 0, A = 0;
    bool operator==(const TRGBA&) const = default;
};
inline std::ostream& operator<<(std::ostream& out, const TRGBA& p) {
    return out << "(" << int(p.R) << ", " << int(p.G) << ", " << int(p.B) << ", " << int(p.A) << ")";
}
constexpr TRGBA kBlack{0, 0, 0, 255}, kRed{255, 0, 0, 255}, kGreen{0, 255, 0, 255}, kBlue{0, 0, 255, 255},
    kWhite{255, 255, 255, 255};

// Red, green and blue each within `tolerance`.
inline bool Near(const TRGBA& a, const TRGBA& b, int tolerance = 2) {
    auto close = [tolerance](int x, int y) { return x - y <= tolerance && y - x <= tolerance; };
    return close(a.R, b.R) && close(a.G, b.G) && close(a.B, b.B);
}

// A picture addressed with y growing downwards.
struct TPicture {
    TPicture() = default;
    // From the current read buffer, or (fromTexture) from the texture bound to GL_TEXTURE_2D.
    TPicture(int width, int height, bool fromTexture = false)
        : Width(width), Height(height), Pixels(size_t(width) * size_t(height)) {
        std::vector<TRGBA> bottomUp(Pixels.size());
        glFinish();
        glPixelStorei(GL_PACK_ALIGNMENT, 1);
        if (fromTexture)
            glGetTexImage(GL_TEXTURE_2D, 0, GL_RGBA, GL_UNSIGNED_BYTE, bottomUp.data());
        else
            glReadPixels(0, 0, width, height, GL_RGBA, GL_UNSIGNED_BYTE, bottomUp.data());
        for (int y = 0; y < height; ++y)
            std::copy_n(&bottomUp[size_t(height - 1 - y) * size_t(width)], width,
                        &Pixels[size_t(y) * size_t(width)]);
    }
    explicit TPicture(const TBitmap& b)
        : Width(b.Width()), Height(b.Height()), Pixels(size_t(Width) * size_t(Height)) {
        const int bytes = b.BitsPerPixel() / 8;
        for (int y = 0; y < Height; ++y)
            for (int x = 0; x < Width; ++x) {
                const uint8_t* p = b.ScanLine(y) + bytes * x;
                Pixels[size_t(y) * size_t(Width) + size_t(x)] = TRGBA{p[2], p[1], p[0], 255};
            }
    }
    const TRGBA& At(int x, int y) const { return Pixels[size_t(y) * size_t(Width) + size_t(x)]; }
    // Centres of the quarters of a rectangle (the whole picture by default): top left, top right, bottom
    // left, bottom right.
    std::array<TRGBA, 4> Quadrants(int left = 0, int top = 0, int width = -1, int height = -1) const {
        if (width < 0) width = Width;
        if (height < 0) height = Height;
        return {At(left + width / 4, top + height / 4), At(left + 3 * width / 4, top + height / 4),
                At(left + width / 4, top + 3 * height / 4), At(left + 3 * width / 4, top + 3 * height / 4)};
    }
    bool operator==(const TPicture&) const = default;

    int Width = 0;
    int Height = 0;
    std::vector<TRGBA> Pixels;
};

// The headless context as the engine's window, counting the swaps the engine asks for.
class TCountingSurface : public IGLSurface {
public:
    explicit TCountingSurface(THeadlessContext& context) : Context(context) {}
    bool MakeCurrent() override { return Context.MakeCurrent(); }
    void SwapBuffers() override {
        ++SwapCount;
        Context.SwapBuffers();
    }
    int Width() const override { return Context.Width(); }
    int Height() const override { return Context.Height(); }
    TNativeGLHandles NativeHandles() const override { return Context.NativeHandles(); }

    THeadlessContext& Context;
    int SwapCount = 0;
};

inline std::string EngineDataFolder() {
    return TestDataFolder() + "engine/";
}

// The resting state between drawing steps and frames: nothing bound, the fixed-function pipeline on
// texture unit 0, the viewport on the view and no matrix left pushed; once a frame (or ClearView) has
// reached the view, its top-down projection too.
inline void ExpectRestingGLState(const TRenderEngine& engine, bool viewDrawn = true) {
    EXPECT_TRUE(glIsEnabled(GL_DEPTH_TEST) && glIsEnabled(GL_CULL_FACE));
    EXPECT_FALSE(glIsEnabled(GL_TEXTURE_2D) || glIsEnabled(GL_BLEND));
    GLint ints[4] = {-1, -1, -1, -1};
    for (GLenum name : {GL_FRAMEBUFFER_BINDING, GL_CURRENT_PROGRAM}) {
        glGetIntegerv(name, ints);
        EXPECT_EQ(ints[0], 0) << name;
    }
    glGetIntegerv(GL_ACTIVE_TEXTURE, ints);
    EXPECT_EQ(ints[0], GL_TEXTURE0);
    glGetIntegerv(GL_MATRIX_MODE, ints);
    EXPECT_EQ(ints[0], GL_MODELVIEW);
    for (GLenum depth : {GL_PROJECTION_STACK_DEPTH, GL_MODELVIEW_STACK_DEPTH}) {
        glGetIntegerv(depth, ints);
        EXPECT_EQ(ints[0], 1) << depth;
    }
    glGetIntegerv(GL_VIEWPORT, ints);
    EXPECT_THAT(ints, testing::ElementsAre(engine.ViewX, engine.ViewY, engine.ViewWidth, engine.ViewHeight));
    GLfloat colour[4] = {}, projection[16] = {};
    glGetFloatv(GL_CURRENT_COLOR, colour);
    EXPECT_THAT(colour, testing::ElementsAre(1.0f, 1.0f, 1.0f, 1.0f));
    if (!viewDrawn) return;
    glGetFloatv(GL_PROJECTION_MATRIX, projection);
    EXPECT_FLOAT_EQ(projection[5], -2.0f / float(engine.ViewHeight)); // y grows downwards
    EXPECT_FLOAT_EQ(projection[13], 1.0f);
}

// An engine over tests/data/engine (plugins/ and shader/) or another program folder, initialised with a
// 256 x 256 view. Every test ends with the resting-state check, so a pass, the HUD or a save that leaves
// state behind fails the test that ran it.
class TEngineGLTest : public HeadlessGLTest {
protected:
    void SetUp() override {
        HeadlessGLTest::SetUp();
        if (IsSkipped()) return;
        Surface = std::make_unique<TCountingSurface>(Context);
        Engine = std::make_unique<TRenderEngine>(*Surface, ProgramFolder());
        ASSERT_TRUE(Engine->Init(512, 512));
        Engine->SetViewport(256, 256, 0, 0);
    }
    void TearDown() override { // context still current
        if (Engine && !HasFatalFailure()) {
            SCOPED_TRACE("resting state at the end of the test");
            ExpectRestingGLState(*Engine, Surface->SwapCount > 0);
        }
        Engine.reset(), HeadlessGLTest::TearDown();
    }
    virtual std::string ProgramFolder() const { return EngineDataFolder(); }

    // A fresh slot instance of a description in the program folder (or another folder), switched on.
    TShaderPlugin& PutPlugin(int slot, const std::string& iniFileName, const std::string& folder = "") {
        const std::string base = folder.empty() ? Engine->ProgramFolder : folder;
        auto plugin = std::make_unique<TShaderPlugin>(base + "plugins/", iniFileName, base + "shader/");
        EXPECT_TRUE(plugin->Load()) << iniFileName;
        Engine->Slots[size_t(slot)] = std::move(plugin);
        Engine->SlotActive[size_t(slot)] = true;
        return *Engine->Slots[size_t(slot)];
    }
    // Empties every slot, then fills the first ones with the given plugins and rebuilds the order.
    void SetChain(const std::vector<std::string>& chain) {
        for (int slot = 0; slot < kSlotCount; ++slot) {
            Engine->Slots[size_t(slot)].reset();
            Engine->SlotActive[size_t(slot)] = false;
        }
        for (size_t k = 0; k < chain.size(); ++k)
            PutPlugin(int(k), chain[k]);
        Engine->RebuildActiveOrder();
    }

    // Uploads a width x height picture as the main window does for a new frame; colour(x, y), y from the top.
    void SetSource(int width, int height, const std::function<TRGBA(int x, int y)>& colour) {
        TBitmap bitmap(width, height, 24);
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x) {
                const TRGBA c = colour(x, y);
                uint8_t* p = bitmap.ScanLine(y) + 3 * x;
                p[0] = c.B, p[1] = c.G, p[2] = c.R;
            }
        Engine->UploadSourceFrame(bitmap);
    }
    void SetUniformSource(TRGBA c) {
        SetSource(64, 64, [c](int, int) { return c; });
    }
    // Red top left, green top right, blue bottom left, white bottom right.
    void SetQuadrantSource() {
        SetSource(64, 64,
                  [](int x, int y) { return y < 32 ? (x < 32 ? kRed : kGreen) : (x < 32 ? kBlue : kWhite); });
    }

    TPicture Window() const { return {Context.Width(), Context.Height()}; }
    TRGBA Centre() const { return Window().At(128, 128); }
    static TPicture FramebufferPicture(TFBO& fbo) {
        fbo.BindTexture();
        return TPicture(fbo.Width, fbo.Height, true);
    }

    std::unique_ptr<TCountingSurface> Surface;
    std::unique_ptr<TRenderEngine> Engine;
};
