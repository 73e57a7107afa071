#include "render/glPBuffer.h"

#include "render/EngineTestSupport.h"

#include <epoxy/egl.h>

namespace {

class TPixelBufferGLTest : public HeadlessGLTest {
protected:
    EGLContext MainContext() const { return static_cast<EGLContext>(Context.NativeHandles().Context); }
    EGLDisplay Display() const { return static_cast<EGLDisplay>(Context.NativeHandles().Display); }
};

} // namespace

// The save tests prove the buffer draws with the main context's objects; here: what it leaves behind.
TEST_F(TPixelBufferGLTest, ASecondCreateAndDestructionReleaseTheBufferAndReturnToTheMainContext) {
    void* surfaces[2] = {};
    EGLint width = 0;
    {
        TPixelBuffer buffer;
        ASSERT_TRUE(buffer.Create(32, 32, Context.NativeHandles()));
        surfaces[0] = buffer.BufferHandle;
        ASSERT_TRUE(buffer.Create(512, 384, Context.NativeHandles()));
        surfaces[1] = buffer.BufferHandle;
        EXPECT_EQ(buffer.Log.size(), 6u);
        EXPECT_FALSE(eglQuerySurface(Display(), surfaces[0], EGL_WIDTH, &width))
            << "the first buffer is gone";
        EXPECT_EQ(eglGetCurrentContext(), static_cast<EGLContext>(buffer.BufferRC));
        EXPECT_TRUE(buffer.Disable());
        EXPECT_EQ(eglGetCurrentContext(), MainContext());
        EXPECT_TRUE(buffer.Enable());
    } // destroyed while its context is current
    EXPECT_EQ(eglGetCurrentContext(), MainContext());
    EXPECT_FALSE(eglQuerySurface(Display(), surfaces[1], EGL_WIDTH, &width));
}

TEST_F(TPixelBufferGLTest, EachFailingStepEndsTheLogWithItsLineAndKeepsTheMainContext) {
    EGLint maxWidth = 0;
    eglGetConfigAttrib(Display(), static_cast<EGLConfig>(Context.NativeHandles().Config),
                       EGL_MAX_PBUFFER_WIDTH, &maxWidth);
    ASSERT_GT(maxWidth, 0);
    const std::string noHandle = "PixelBuffer->wglCreatePBufferARB->Couldn't obtain valid handle";
    const struct {
        int Width, Height;
        std::vector<int32_t> Attributes; // empty: the default
        bool OtherWindowSystem;
        std::vector<std::string> LastLines;
    } cases[] = {
        // An attribute EGL does not know, then a valid request nothing satisfies.
        {512,
         512,
         {0x7FFF, 1, EGL_NONE},
         false,
         {"PixelBuffer->wglChoosePixelFormatARB->No suitable pixelformat found"}},
        {512,
         512,
         {EGL_RED_SIZE, 64, EGL_NONE},
         false,
         {"PixelBuffer->wglChoosePixelFormatARB->0 suitable pixelformats found", noHandle}},
        {128, 128, {}, true, {"PixelBuffer->wglGetPBufferDCARB->Couldn't create rendercontext for PBuffer"}},
        {maxWidth + 1, 16, {}, false, {noHandle}},
        {16, -5, {}, false, {noHandle}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.Width << " x " << c.Height << ", " << c.LastLines.back());
        TNativeGLHandles main = Context.NativeHandles();
        if (c.OtherWindowSystem) main.System = TWindowSystem::GLX;
        TPixelBuffer buffer;
        if (!c.Attributes.empty()) buffer.PixelFormatAttributes = c.Attributes;
        EXPECT_FALSE(buffer.Create(c.Width, c.Height, main));
        ASSERT_GE(buffer.Log.size(), c.LastLines.size());
        EXPECT_TRUE(std::equal(c.LastLines.rbegin(), c.LastLines.rend(), buffer.Log.rbegin()));
        EXPECT_FALSE(buffer.Valid());
        EXPECT_EQ(eglGetCurrentContext(), MainContext());
    }
}
