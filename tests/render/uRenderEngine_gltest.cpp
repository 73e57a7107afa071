#include "render/EngineTestSupport.h"

#include "platform/ELumatex.h"

#include <gmock/gmock.h>

using testing::ElementsAre;

namespace {

using RenderEngine = TEngineGLTest;

} // namespace

TEST_F(RenderEngine, InitLeavesAnEmptyChainOverABlackSourceAndTheRestingState) {
    EXPECT_THAT(Engine->ActiveOrder, testing::Each(-1));
    EXPECT_EQ(Engine->FBOB->Height, 256);
    EXPECT_EQ(Engine->SourceTexture->Pixels, nullptr) << "released after the upload";
    EXPECT_TRUE(Messages.Entries.empty());
    EXPECT_EQ(Engine->Catalogue.size(), 7u); // every description in tests/data/engine/plugins
    Engine->RenderFrame(false);
    EXPECT_EQ(Centre(), kBlack);
    ExpectRestingGLState(*Engine);
}

TEST_F(RenderEngine, TheViewRectangleIsFilledAndTheRestOfTheSurfaceCleared) {
    ASSERT_TRUE(Context.Resize(320, 240));
    SetQuadrantSource();
    SetChain({"pass.ini", "pass.ini", "pass.ini"});
    // A 200 x 100 view whose lower-left corner sits at (40, 60): its top edge is 240 - 160 = 80 from the top.
    Engine->SetViewport(200, 100, 40, 60);
    glClearColor(1, 0, 1, 1);
    glClear(GL_COLOR_BUFFER_BIT);
    Engine->RenderFrame(false);
    const TPicture window = Window();
    EXPECT_THAT(window.Quadrants(40, 80, 200, 100), ElementsAre(kRed, kGreen, kBlue, kWhite));
    EXPECT_EQ(window.At(238, 178), kWhite);
    for (auto [x, y] : {std::pair{39, 120}, {240, 120}, {100, 79}, {100, 180}})
        EXPECT_EQ(window.At(x, y), kBlack) << x << ", " << y << ": the whole surface is cleared";
}

TEST_F(RenderEngine, PassScheduleRunsEveryActivePluginInSlotOrderAndKeepsThePictureUpright) {
    // Each stamp shifts the channels and writes its own mark into blue, so a picture carries the marks of
    // the last three passes that drew it, in order.
    auto mark = [](int k) { return uint8_t(28 * (k + 1)); };
    auto afterStamps = [&](int count) {
        TRGBA c{40, 80, 120, 255}; // the source
        for (int k = 0; k < count; ++k)
            c = TRGBA{c.G, c.B, mark(k), 255};
        return c;
    };
    for (int n = 0; n <= 8; ++n) {
        SCOPED_TRACE(testing::Message() << n << " active slots");
        SetQuadrantSource();
        SetChain(std::vector<std::string>(size_t(n), "pass.ini"));
        Engine->RenderFrame(false);
        EXPECT_THAT(Window().Quadrants(), ElementsAre(kRed, kGreen, kBlue, kWhite));

        SetUniformSource(afterStamps(0));
        SetChain(std::vector<std::string>(size_t(n), "stamp.ini"));
        for (int k = 0; k < n; ++k)
            Engine->Slots[size_t(k)]->Params1f.at(0).Value[0] = float(mark(k)) / 255.0f;
        Engine->RenderFrame(false);
        EXPECT_EQ(Engine->PassCount, std::max(n, 2));
        EXPECT_TRUE(Near(Centre(), afterStamps(n), 1)) << Centre();
        ExpectRestingGLState(*Engine);
    }
    // A mirroring plugin as the first and as the last pass: left and right change places, top stays top.
    SetQuadrantSource();
    Engine->RecreateFBOs(512);
    for (int slot : {0, 7}) {
        std::vector<std::string> chain(8, "pass.ini");
        chain[size_t(slot)] = "flipx.ini";
        SetChain(chain);
        Engine->RenderFrame(false);
        EXPECT_THAT(Window().Quadrants(), ElementsAre(kGreen, kRed, kWhite, kBlue))
            << "flip in slot " << slot;
    }
}

TEST_F(RenderEngine, OnlyFilledSwitchedOnSlotsRunAndOnlyAfterRebuildActiveOrder) {
    SetUniformSource(kBlack);
    PutPlugin(1, "add.ini");  // slot 2
    PutPlugin(3, "half.ini"); // slot 4, then switched off
    Engine->SlotActive[3] = false;
    PutPlugin(4, "half.ini");     // slot 5
    Engine->SlotActive[6] = true; // slot 7: on, but empty
    Engine->RenderFrame(false);
    EXPECT_EQ(Centre(), kBlack) << "nothing runs before the rebuild";
    Engine->RebuildActiveOrder();
    EXPECT_THAT(Engine->ActiveOrder, ElementsAre(1, 4, -1, -1, -1, -1, -1, -1));
    Engine->RenderFrame(false);
    EXPECT_TRUE(Near(Centre(), TRGBA{32, 32, 32, 255})) << Centre(); // (0 + .25) / 2
    Engine->Slots[4].reset(); // emptied without the rebuild: a copy rather than a crash
    Engine->RenderFrame(false);
    EXPECT_TRUE(Near(Centre(), TRGBA{64, 64, 64, 255})) << Centre(); // only the add
}

TEST_F(RenderEngine, FramebufferSizeSetsThePassResolutionButPluginsAreToldATextureOf512) {
    for (int size : {256, 1024}) {
        SCOPED_TRACE(size);
        Engine->RecreateFBOs(size);
        // The fragment position plugin writes x / 1024 into red: its last column shows the target's width.
        SetChain({"fragcoord.ini", "pass.ini"});
        Engine->RenderFrame(false);
        const TPicture fboa = FramebufferPicture(*Engine->FBOA);
        EXPECT_NEAR(fboa.At(size - 1, size / 2).R, (size - 0.5) / 1024.0 * 255.0, 1.0);
        EXPECT_NEAR(fboa.At(0, size / 2).R, 0.5 / 1024.0 * 255.0, 1.0);
        // texsize shows white when told 512 x 512: into the window, and between the framebuffers.
        for (const std::vector<std::string>& chain :
             {std::vector<std::string>{"texsize.ini"}, {"texsize.ini", "pass.ini", "pass.ini"}}) {
            SetChain(chain);
            Engine->RenderFrame(false);
            EXPECT_EQ(Window().At(100, 100), kWhite) << chain.size() << " slots";
        }
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
    EXPECT_TRUE(Near(Centre(), TRGBA{64, 64, 64, 255})) << Centre();
}

TEST_F(RenderEngine, AnIncompleteFramebufferAbandonsTheFrameBeforeHUDAndSwap) {
    Engine->SetViewport(200, 150, 0, 0);
    SetUniformSource(kGreen);
    SetChain({"pass.ini", "pass.ini", "pass.ini"});
    Engine->RenderFrame(false);
    const int swaps = Surface->SwapCount;
    const TPicture before = Window();

    // A depth format cannot be a colour attachment: the second pass's target fails its completeness check.
    Engine->FBOB = std::make_unique<TFBO>();
    Engine->FBOB->Create(256, 256, GL_DEPTH_COMPONENT, GL_DEPTH_COMPONENT, GL_CLAMP_TO_EDGE,
                         GL_CLAMP_TO_EDGE);
    SetUniformSource(kRed);
    EXPECT_THROW(Engine->RenderFrame(true), ELumatex);
    EXPECT_EQ(Surface->SwapCount, swaps);
    EXPECT_TRUE(Window() == before) << "neither the last pass nor the HUD reached the window";
    ExpectRestingGLState(*Engine);

    // The engine renders again once the framebuffers are sound.
    Engine->RecreateFBOs(256);
    Engine->RenderFrame(false);
    EXPECT_EQ(Surface->SwapCount, swaps + 1);
    EXPECT_EQ(Window().At(100, 200), kRed); // the 200 x 150 view lies at the bottom of the surface
}

namespace {

// A frame whose every pixel has a colour of its own, shifted by `seed` from frame to frame.
TBitmap NumberedFrame(int width, int height, int seed) {
    TBitmap frame(width, height, 24);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            uint8_t* p = frame.ScanLine(y) + 3 * x;
            p[0] = uint8_t(x * 13 + seed), p[1] = uint8_t(y * 7 + seed), p[2] = uint8_t(x + y * 3 + seed * 5);
        }
    return frame;
}

} // namespace

TEST_F(RenderEngine, VideoFramesReplaceTheSourceTextureInPlaceWithTheSamePixelsAsAFreshUpload) {
    // The source texture's pixels after a fresh upload of frame, checked against the frame itself (the
    // texture's first row is the picture's top row).
    auto freshPixels = [this](const TBitmap& frame) {
        Engine->UploadSourceFrame(frame);
        Engine->SourceTexture->Bind();
        TPicture picture(frame.Width(), frame.Height(), true);
        const TPicture upright(frame);
        for (int y = 0; y < frame.Height(); ++y)
            for (int x = 0; x < frame.Width(); ++x)
                EXPECT_EQ(picture.At(x, frame.Height() - 1 - y), upright.At(x, y)) << x << "," << y;
        return picture;
    };
    // Odd widths: the frame's rows are padded to four bytes, the texture's are not.
    for (int width : {5, 64, 333}) {
        const int height = 7;
        const TBitmap frame = NumberedFrame(width, height, 1);
        const TPicture expected = freshPixels(frame);
        Engine->UploadVideoFrame(NumberedFrame(width, height, 0));
        const GLuint texture = Engine->SourceTexture->TextureId;
        Engine->UploadVideoFrame(frame);
        EXPECT_EQ(Engine->SourceTexture->TextureId, texture) << "made anew, " << width << " wide";
        Engine->SourceTexture->Bind();
        EXPECT_TRUE(TPicture(width, height, true) == expected) << width << " wide";
    }
    // Another size is a texture of its own; so is a still picture after the video, and the next video
    // frame of the old size does not write into the picture's texture.
    const TBitmap other = NumberedFrame(8, 8, 3);
    const TPicture expected = freshPixels(other);
    Engine->UploadVideoFrame(other);
    EXPECT_EQ(Engine->SourceTexture->Width, 8);
    Engine->SourceTexture->Bind();
    EXPECT_TRUE(TPicture(8, 8, true) == expected);
    const TBitmap still = NumberedFrame(8, 8, 4);
    const TPicture stillPixels = freshPixels(still);
    Engine->UploadVideoFrame(other);
    Engine->SourceTexture->Bind();
    EXPECT_TRUE(TPicture(8, 8, true) == expected);
    EXPECT_FALSE(stillPixels == expected);
}
