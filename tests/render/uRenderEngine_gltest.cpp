#include "render/EngineTestSupport.h"

#include "platform/ELumatex.h"
#include "render/uBitmapFontExt.h"
#include "render/uTimer.h"

#include <gmock/gmock.h>

#include <array>
#include <cmath>

namespace {

constexpr TRGBA kBlack{0, 0, 0, 255};
constexpr TRGBA kRed{255, 0, 0, 255};
constexpr TRGBA kGreen{0, 255, 0, 255};
constexpr TRGBA kBlue{0, 0, 255, 255};
constexpr TRGBA kWhite{255, 255, 255, 255};

// The resting state between drawing steps and frames.
void ExpectRestingGLState(const TRenderEngine& engine) {
    EXPECT_TRUE(glIsEnabled(GL_DEPTH_TEST));
    EXPECT_TRUE(glIsEnabled(GL_CULL_FACE));
    EXPECT_FALSE(glIsEnabled(GL_TEXTURE_2D));
    EXPECT_FALSE(glIsEnabled(GL_BLEND));
    GLint value = -1;
    glGetIntegerv(GL_FRAMEBUFFER_BINDING, &value);
    EXPECT_EQ(value, 0) << "no framebuffer bound";
    glGetIntegerv(GL_CURRENT_PROGRAM, &value);
    EXPECT_EQ(value, 0) << "no program current";
    glGetIntegerv(GL_ACTIVE_TEXTURE, &value);
    EXPECT_EQ(value, GL_TEXTURE0);
    GLfloat colour[4] = {};
    glGetFloatv(GL_CURRENT_COLOR, colour);
    EXPECT_THAT(colour, testing::ElementsAre(1.0f, 1.0f, 1.0f, 1.0f));
    GLint viewport[4] = {};
    glGetIntegerv(GL_VIEWPORT, viewport);
    EXPECT_THAT(viewport, testing::ElementsAre(engine.ViewX, engine.ViewY, engine.ViewWidth, engine.ViewHeight));
    GLfloat projection[16] = {}, modelview[16] = {};
    glGetFloatv(GL_PROJECTION_MATRIX, projection);
    glGetFloatv(GL_MODELVIEW_MATRIX, modelview);
    EXPECT_FLOAT_EQ(projection[0], 2.0f / float(engine.ViewWidth));
    EXPECT_FLOAT_EQ(projection[5], -2.0f / float(engine.ViewHeight)); // y grows downwards
    EXPECT_FLOAT_EQ(projection[12], -1.0f);
    EXPECT_FLOAT_EQ(projection[13], 1.0f);
    for (int i = 0; i < 16; ++i) EXPECT_EQ(modelview[i], (i % 5 == 0) ? 1.0f : 0.0f) << i;
    GLint depth = 0;
    glGetIntegerv(GL_PROJECTION_STACK_DEPTH, &depth);
    EXPECT_EQ(depth, 1);
    glGetIntegerv(GL_MODELVIEW_STACK_DEPTH, &depth);
    EXPECT_EQ(depth, 1);
}

// Quadrant centres of a picture of the given size: top left, top right, bottom left, bottom right.
std::array<TRGBA, 4> Quadrants(const TPicture& p, int left = 0, int top = 0, int width = -1, int height = -1) {
    if (width < 0) width = p.Width;
    if (height < 0) height = p.Height;
    return {p.At(left + width / 4, top + height / 4), p.At(left + 3 * width / 4, top + height / 4),
            p.At(left + width / 4, top + 3 * height / 4), p.At(left + 3 * width / 4, top + 3 * height / 4)};
}

using RenderEngine = TEngineGLTest;

} // namespace

TEST_F(RenderEngine, InitLeavesAnEmptyChainOverABlackSourceAndTheRestingState) {
    EXPECT_EQ(Engine->ActiveCount, 0);
    EXPECT_THAT(Engine->ActiveOrder, testing::Each(-1));
    for (const auto& slot : Engine->Slots) EXPECT_EQ(slot, nullptr);
    EXPECT_THAT(Engine->SlotActive, testing::Each(false));
    EXPECT_EQ(Engine->FBOSize, 256);
    ASSERT_TRUE(Engine->FBOA && Engine->FBOB);
    EXPECT_EQ(Engine->FBOA->Width, 256);
    EXPECT_EQ(Engine->FBOB->Height, 256);
    ASSERT_TRUE(Engine->SourceTexture);
    EXPECT_NE(Engine->SourceTexture->TextureId, 0u);
    EXPECT_EQ(Engine->SourceTexture->Pixels, nullptr) << "released after the upload";
    EXPECT_EQ(Engine->SourceTexture->Width, 512);
    GLint minFilter = 0;
    Engine->SourceTexture->Bind();
    glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, &minFilter);
    EXPECT_EQ(minFilter, GL_LINEAR);
    EXPECT_TRUE(Engine->Font && Engine->Timer);
    EXPECT_NE(Engine->Font->ListBase, 0u);
    EXPECT_TRUE(Messages.Entries.empty());
    EXPECT_EQ(Engine->Catalogue.size(), 7u); // every description in tests/data/engine/plugins

    Engine->RenderFrame(false);
    EXPECT_EQ(Window().At(128, 128), kBlack);
    ExpectRestingGLState(*Engine);
}

TEST_F(RenderEngine, ThePictureStaysUprightThroughEveryKindOfPass) {
    SetQuadrantSource();
    for (int n = 0; n <= 8; ++n) {
        for (int slot = 0; slot < 8; ++slot) {
            Engine->Slots[size_t(slot)].reset();
            Engine->SlotActive[size_t(slot)] = false;
        }
        for (int slot = 0; slot < n; ++slot) PutPlugin(slot, "pass.ini");
        Engine->RebuildActiveOrder();
        Engine->RenderFrame(false);
        EXPECT_THAT(Quadrants(Window()), testing::ElementsAre(kRed, kGreen, kBlue, kWhite)) << n << " slots";
    }
    // A mirroring plugin as the first and as the last pass: left and right change places, top stays top.
    Engine->RecreateFBOs(512);
    for (int slot : {0, 7}) {
        Engine->Slots[size_t(slot)].reset();
        PutPlugin(slot, "flipx.ini");
        Engine->RebuildActiveOrder();
        Engine->RenderFrame(false);
        EXPECT_THAT(Quadrants(Window()), testing::ElementsAre(kGreen, kRed, kWhite, kBlue)) << "flip in slot " << slot;
        Engine->Slots[size_t(slot)].reset();
        PutPlugin(slot, "pass.ini");
    }
}

TEST_F(RenderEngine, TheViewRectangleIsFilledAndTheRestOfTheSurfaceCleared) {
    ASSERT_TRUE(Context.Resize(320, 240));
    SetQuadrantSource();
    PutPlugin(0, "pass.ini");
    PutPlugin(1, "pass.ini");
    PutPlugin(2, "pass.ini");
    Engine->RebuildActiveOrder();
    // A 200 x 100 view whose lower-left corner sits at (40, 60): its top edge is 240 - 160 = 80 from the top.
    Engine->SetViewport(200, 100, 40, 60);
    glClearColor(1, 0, 1, 1);
    glClear(GL_COLOR_BUFFER_BIT);
    Engine->RenderFrame(false);
    const TPicture window = Window();
    EXPECT_THAT(Quadrants(window, 40, 80, 200, 100), testing::ElementsAre(kRed, kGreen, kBlue, kWhite));
    EXPECT_EQ(window.At(41, 81), kRed);
    EXPECT_EQ(window.At(238, 178), kWhite);
    EXPECT_EQ(window.At(39, 120), kBlack) << "the whole surface is cleared, not only the view";
    EXPECT_EQ(window.At(240, 120), kBlack);
    EXPECT_EQ(window.At(100, 79), kBlack);
    EXPECT_EQ(window.At(100, 180), kBlack);
    ExpectRestingGLState(*Engine);
}

TEST_F(RenderEngine, PassScheduleRunsEveryActivePluginInSlotOrder) {
    // Each stamp shifts the channels and writes its own mark into blue, so a picture carries the marks of
    // the last three passes that drew it, in order.
    auto mark = [](int k) { return uint8_t(28 * (k + 1)); };
    auto afterStamps = [&](int count) {
        TRGBA c{40, 80, 120, 255}; // the source
        for (int k = 0; k < count; ++k) c = TRGBA{c.G, c.B, mark(k), 255};
        return c;
    };
    SetUniformSource(afterStamps(0));
    for (int n = 0; n <= 8; ++n) {
        SCOPED_TRACE(testing::Message() << n << " active slots");
        for (int slot = 0; slot < 8; ++slot) {
            Engine->Slots[size_t(slot)].reset();
            Engine->SlotActive[size_t(slot)] = false;
        }
        for (int k = 0; k < n; ++k) PutPlugin(k, "stamp.ini").Params1f.at(0).Value[0] = float(mark(k)) / 255.0f;
        Engine->RebuildActiveOrder();
        ASSERT_EQ(Engine->ActiveCount, n);
        Engine->RenderFrame(false);

        EXPECT_EQ(Engine->PassCount, std::max(n, 2));
        EXPECT_TRUE(Near(Window().At(128, 128), afterStamps(n), 1)) << Window().At(128, 128);
        // The framebuffer the last pass read holds everything but the last plugin: FBOA for n = 0, 1, 2, 4,
        // 6, 8 and FBOB for 3, 5, 7. With no plugin or one, the last pass is a copy of FBOA.
        const bool readsB = n >= 3 && n % 2 == 1;
        TFBO& read = readsB ? *Engine->FBOB : *Engine->FBOA;
        const int inRead = n <= 1 ? n : n - 1;
        EXPECT_TRUE(Near(FramebufferPicture(read).At(128, 128), afterStamps(inRead), 1))
            << (readsB ? "FBOB " : "FBOA ") << FramebufferPicture(read).At(128, 128);
        if (n >= 3) {
            TFBO& other = readsB ? *Engine->FBOA : *Engine->FBOB;
            EXPECT_TRUE(Near(FramebufferPicture(other).At(128, 128), afterStamps(n - 2), 1));
        }
        ExpectRestingGLState(*Engine);
    }
}

TEST_F(RenderEngine, SlotsOnWithoutAPluginAndPluginsSwitchedOffAreSkipped) {
    SetUniformSource(kBlack);
    PutPlugin(1, "add.ini");                // slot 2
    PutPlugin(3, "half.ini");               // slot 4, then switched off
    Engine->SlotActive[3] = false;
    PutPlugin(4, "half.ini");               // slot 5
    Engine->SlotActive[6] = true;           // slot 7: on, but empty
    Engine->RebuildActiveOrder();
    EXPECT_EQ(Engine->ActiveCount, 2);
    EXPECT_THAT(Engine->ActiveOrder, testing::ElementsAre(1, 4, -1, -1, -1, -1, -1, -1));
    Engine->RenderFrame(false);
    EXPECT_TRUE(Near(Window().At(128, 128), TRGBA{32, 32, 32, 255})) << Window().At(128, 128); // (0 + .25) / 2

    // The same two plugins the other way round give another picture: the pair does not commute.
    Engine->Slots[1].reset();
    Engine->Slots[4].reset();
    PutPlugin(1, "half.ini");
    PutPlugin(4, "add.ini");
    Engine->RebuildActiveOrder();
    Engine->RenderFrame(false);
    EXPECT_TRUE(Near(Window().At(128, 128), TRGBA{64, 64, 64, 255})) << Window().At(128, 128); // 0 / 2 + .25
}

TEST_F(RenderEngine, AChangeShowsOnlyAfterRebuildActiveOrder) {
    SetUniformSource(TRGBA{200, 200, 200, 255});
    PutPlugin(0, "half.ini");
    Engine->SlotActive[0] = false;
    Engine->RebuildActiveOrder();
    Engine->RenderFrame(false);
    EXPECT_TRUE(Near(Window().At(128, 128), TRGBA{200, 200, 200, 255}));

    Engine->SlotActive[0] = true;
    Engine->RenderFrame(false);
    EXPECT_TRUE(Near(Window().At(128, 128), TRGBA{200, 200, 200, 255})) << "not yet";
    Engine->RebuildActiveOrder();
    Engine->RenderFrame(false);
    EXPECT_TRUE(Near(Window().At(128, 128), TRGBA{100, 100, 100, 255}));

    // A slot emptied without the rebuild renders as a copy rather than crashing.
    Engine->Slots[0].reset();
    Engine->RenderFrame(false);
    EXPECT_TRUE(Near(Window().At(128, 128), TRGBA{200, 200, 200, 255}));
}

TEST_F(RenderEngine, RecreateFBOsChangesTheResolutionOfTheFramebufferPasses) {
    // The fragment position plugin writes x / 1024 into red: its last column shows the target's width.
    PutPlugin(0, "fragcoord.ini");
    PutPlugin(1, "pass.ini");
    Engine->RebuildActiveOrder();
    for (int size : {256, 512, 1024}) {
        Engine->RecreateFBOs(size);
        EXPECT_EQ(Engine->FBOSize, size);
        EXPECT_EQ(Engine->FBOA->Width, size);
        EXPECT_EQ(Engine->FBOB->Height, size);
        Engine->RenderFrame(false);
        EXPECT_EQ(Engine->PassCount, 2);
        const TPicture fboa = FramebufferPicture(*Engine->FBOA);
        const double expected = (size - 0.5) / 1024.0 * 255.0;
        EXPECT_NEAR(fboa.At(size - 1, size / 2).R, expected, 1.0) << size;
        EXPECT_NEAR(fboa.At(0, size / 2).R, 0.5 / 1024.0 * 255.0, 1.0);
    }
}

TEST_F(RenderEngine, PluginsAreToldATextureOf512AtEveryFramebufferSize) {
    for (int size : {256, 512, 1024}) {
        Engine->RecreateFBOs(size);
        for (int n : {1, 2, 3}) { // into FBOA, into the window, between the framebuffers and into the window
            for (int slot = 0; slot < 8; ++slot) Engine->Slots[size_t(slot)].reset();
            for (int k = 0; k < n; ++k) PutPlugin(k, k == 0 ? "texsize.ini" : "pass.ini");
            Engine->RebuildActiveOrder();
            Engine->RenderFrame(false);
            EXPECT_EQ(Window().At(100, 100), kWhite) << size << ", " << n << " slots";
        }
        Engine->Slots[0].reset();
        PutPlugin(0, "pass.ini");
        Engine->Slots[2].reset();
        PutPlugin(2, "texsize.ini"); // the last pass, drawn into the window
        Engine->RebuildActiveOrder();
        Engine->RenderFrame(false);
        EXPECT_EQ(Window().At(100, 100), kWhite) << size << ", last pass";
    }
}

TEST_F(RenderEngine, APluginWhoseShaderDidNotCompileCopiesItsInput) {
    SetUniformSource(kBlack);
    PutPlugin(0, "add.ini");
    PutPlugin(1, "broken.ini", EngineDataFolder() + "extra/");
    PutPlugin(2, "broken.ini", EngineDataFolder() + "extra/");
    EXPECT_EQ(std::count_if(Messages.Entries.begin(), Messages.Entries.end(),
                            [](const auto& e) { return e.Caption == "FragmentShader error"; }),
              2);
    Engine->RebuildActiveOrder();
    Engine->RenderFrame(false);
    EXPECT_EQ(Engine->PassCount, 3);
    EXPECT_TRUE(Near(Window().At(128, 128), TRGBA{64, 64, 64, 255})) << Window().At(128, 128);
    ExpectRestingGLState(*Engine);
}

TEST_F(RenderEngine, AnIncompleteFramebufferAbandonsTheFrameBeforeHUDAndSwap) {
    Engine->SetViewport(200, 150, 0, 0);
    SetUniformSource(kGreen);
    for (int k = 0; k < 3; ++k) PutPlugin(k, "pass.ini");
    Engine->RebuildActiveOrder();
    Engine->RenderFrame(false);
    const int swaps = Surface->SwapCount;
    const TPicture before = Window();

    // A depth format cannot be a colour attachment: the second pass's target fails its completeness check.
    Engine->FBOB = std::make_unique<TFBO>();
    Engine->FBOB->Create(256, 256, GL_DEPTH_COMPONENT, GL_DEPTH_COMPONENT, GL_CLAMP_TO_EDGE, GL_CLAMP_TO_EDGE);
    std::string statusText;
    try {
        Engine->FBOB->Bind();
    } catch (const ELumatex& e) {
        statusText = e.what();
    }
    Engine->FBOB->Unbind();
    ASSERT_FALSE(statusText.empty());

    SetUniformSource(kRed);
    try {
        Engine->RenderFrame(true);
        ADD_FAILURE() << "no error";
    } catch (const ELumatex& e) {
        EXPECT_EQ(e.what(), statusText);
    }
    EXPECT_EQ(Surface->SwapCount, swaps);
    EXPECT_TRUE(Window() == before) << "neither the last pass nor the HUD reached the window";
    ExpectRestingGLState(*Engine);

    // The engine renders again once the framebuffers are sound.
    Engine->RecreateFBOs(256);
    Engine->RenderFrame(false);
    EXPECT_EQ(Surface->SwapCount, swaps + 1);
    EXPECT_EQ(Window().At(100, 200), kRed); // the 200 x 150 view lies at the bottom of the surface
}

TEST_F(RenderEngine, ClearViewShowsTheClearColourAndSwaps) {
    SetUniformSource(kWhite);
    Engine->RenderFrame(false);
    Engine->SetViewport(100, 80, 10, 20);
    Engine->ClearView();
    EXPECT_EQ(Surface->SwapCount, 2);
    EXPECT_EQ(Window().At(128, 128), kBlack);
    EXPECT_EQ(Window().At(2, 2), kBlack);
    ExpectRestingGLState(*Engine);
}
