// The output framebuffer: the same picture as the off-screen save, read at once or through the ring of
// pixel-pack buffers in the order drawn, the oldest dropped when the ring is full, the view left alone.
#include "render/EngineTestSupport.h"

#include "render/uOutputTarget.h"

#include <cstring>

#include <gmock/gmock.h>

using testing::ElementsAre;

namespace {

class OutputTarget : public TEngineGLTest {};

// A one-colour source of the given red value.
void SetSolidSource(TRenderEngine& engine, uint8_t red) {
    TBitmap frame(8, 8, 24);
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x)
            frame.ScanLine(y)[x * 3 + 2] = red;
    engine.UploadSourceFrame(frame);
}

} // namespace

TEST_F(OutputTarget, DrawsWhatTheSaveDrawsAndLeavesTheViewAlone) {
    SetQuadrantSource();
    Engine->RenderFrame(false);
    const TPicture view = Window();
    TOutputTarget target;
    target.Resize(300, 100);
    target.Render(*Engine);
    TBitmap now;
    target.ReadNow(now);
    TBitmap saved;
    ASSERT_TRUE(Engine->SaveGLImage(300, 100, saved));
    ASSERT_EQ(now.DataSize(), saved.DataSize());
    EXPECT_EQ(std::memcmp(now.Data(), saved.Data(), now.DataSize()), 0);
    EXPECT_THAT(TPicture(now).Quadrants(), ElementsAre(kRed, kGreen, kBlue, kWhite));
    EXPECT_TRUE(Window() == view);
    GLint binding = -1;
    glGetIntegerv(GL_FRAMEBUFFER_BINDING, &binding);
    EXPECT_EQ(binding, 0);
}

TEST_F(OutputTarget, TheRingGivesFramesOldestFirstAndDropsTheOldestWhenFull) {
    TOutputTarget target;
    target.Resize(16, 8);
    TBitmap picture;
    EXPECT_FALSE(target.TakeRead(picture, true)) << "nothing started";
    // One more frame than the ring holds: the first is dropped.
    const uint8_t reds[] = {40, 80, 120, 160};
    for (size_t i = 0; i < std::size(reds); ++i) {
        SetSolidSource(*Engine, reds[i]);
        target.Render(*Engine);
        EXPECT_EQ(target.StartRead(), i == TOutputTarget::kRingSize);
    }
    EXPECT_EQ(target.PendingReads(), TOutputTarget::kRingSize);
    for (size_t i = 1; i < std::size(reds); ++i) {
        ASSERT_TRUE(target.TakeRead(picture, true));
        EXPECT_TRUE(Near(TPicture(picture).At(3, 3), TRGBA{reds[i], 0, 0, 255}, 1))
            << TPicture(picture).At(3, 3);
    }
    EXPECT_EQ(target.PendingReads(), 0);
    // A new size drops what was pending.
    target.Render(*Engine);
    target.StartRead();
    target.Resize(20, 10);
    EXPECT_EQ(target.PendingReads(), 0);
}
