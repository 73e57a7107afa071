// EngineTestSupport.h: a render engine on the headless context, with a surface that counts its swaps, and
// helpers to fill slots and the source texture.
#pragma once

#include "imaging/glBitmap.h"
#include "platform/Bitmap.h"
#include "plugins/uShaderPlugin.h"
#include "render/RenderTestSupport.h"
#include "render/uFBO.h"
#include "render/uRenderEngine.h"
#include "support/TestSupport.h"

#include <functional>
#include <memory>
#include <string>

// The headless context as the engine's window, counting the swaps the engine asks for.
class TCountingSurface : public IGLSurface {
public:
    explicit TCountingSurface(THeadlessContext& context) : Context(context) {}
    bool MakeCurrent() override {
        ++MakeCurrentCount;
        return Context.MakeCurrent();
    }
    void SwapBuffers() override {
        ++SwapCount;
        Context.SwapBuffers();
    }
    int Width() const override { return Context.Width(); }
    int Height() const override { return Context.Height(); }
    TNativeGLHandles NativeHandles() const override { return Context.NativeHandles(); }

    THeadlessContext& Context;
    int SwapCount = 0;
    int MakeCurrentCount = 0;
};

inline std::string EngineDataFolder() { return TestDataFolder() + "engine/"; }

// An engine over tests/data/engine (plugins/ and shader/), initialised with a 256 x 256 view.
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
    void TearDown() override {
        Engine.reset(); // with the context still current
        HeadlessGLTest::TearDown();
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

    // Uploads a width x height picture as the main window does for a new frame; colour(x, y) with y from
    // the top gives (red, green, blue).
    void SetSource(int width, int height, const std::function<TRGBA(int x, int y)>& colour) {
        TBitmap bitmap(width, height, 24);
        for (int y = 0; y < height; ++y) {
            uint8_t* row = bitmap.ScanLine(y);
            for (int x = 0; x < width; ++x) {
                const TRGBA c = colour(x, y);
                row[3 * x] = c.B;
                row[3 * x + 1] = c.G;
                row[3 * x + 2] = c.R;
            }
        }
        ASSERT_TRUE(Engine->SourceTexture->AssignFromBitmap(&bitmap));
        Engine->SourceTexture->GenTexture(false);
    }
    void SetUniformSource(TRGBA c) {
        SetSource(64, 64, [c](int, int) { return c; });
    }
    // Four quadrants: red top left, green top right, blue bottom left, white bottom right.
    void SetQuadrantSource() {
        SetSource(64, 64, [](int x, int y) {
            if (y < 32) return x < 32 ? TRGBA{255, 0, 0, 255} : TRGBA{0, 255, 0, 255};
            return x < 32 ? TRGBA{0, 0, 255, 255} : TRGBA{255, 255, 255, 255};
        });
    }

    TPicture Window() const { return TPicture(Context.Width(), Context.Height()); }
    // The colour texture of a framebuffer, y from the top of the picture it holds.
    static TPicture FramebufferPicture(TFBO& fbo) {
        fbo.BindTexture();
        return TPicture::FromBoundTexture(fbo.Width, fbo.Height);
    }

    std::unique_ptr<TCountingSurface> Surface;
    std::unique_ptr<TRenderEngine> Engine;
};
