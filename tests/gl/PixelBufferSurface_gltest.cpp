#include "gl/GLSurface.h"
#include "support/TestSupport.h"

#include <epoxy/egl.h>

using PixelBufferSurfaceTest = HeadlessGLTest;

TEST_F(PixelBufferSurfaceTest, EachWindowSystemGetsItsOwnBufferAndNoneGetsNone) {
    EXPECT_EQ(MakePixelBufferSurface(TWindowSystem::None), nullptr);
    EXPECT_NE(MakePixelBufferSurface(TWindowSystem::EGL), nullptr);
    EXPECT_NE(MakePixelBufferSurface(TWindowSystem::GLX), nullptr);
    // The headless surface keeps the default: an EGL pbuffer on its own display.
    auto target = Context.MakeOffscreenTarget();
    ASSERT_NE(target, nullptr);
    EXPECT_EQ(target->CurrentDevice(Context.NativeHandles()), Context.NativeHandles().Display);
    // A GLX buffer asked for under an EGL context finds no GLX display and loads nothing.
    EXPECT_EQ(MakeGlxPixelBuffer()->CurrentDevice(Context.NativeHandles()), nullptr);
}

TEST_F(PixelBufferSurfaceTest, PixelBuffersAreAvailableOnlyWhereTheMainContextsDisplayOffersThem) {
    const TNativeGLHandles main = Context.NativeHandles();
    EXPECT_TRUE(PixelBuffersAvailable(main));
    TNativeGLHandles noDisplay = main;
    noDisplay.Display = nullptr;
    EXPECT_FALSE(PixelBuffersAvailable(noDisplay));
    EXPECT_FALSE(PixelBuffersAvailable(TNativeGLHandles{}));
}

// The steps one by one, as the pixel buffer runs them, and what a half-made buffer leaves behind.
TEST_F(PixelBufferSurfaceTest, TheEglStepsMakeASharedContextOnABufferOfTheGrantedSize) {
    const TNativeGLHandles main = Context.NativeHandles();
    auto display = static_cast<EGLDisplay>(main.Display);
    EGLSurface halfMade = EGL_NO_SURFACE;
    {
        auto buffer = MakeEglPixelBuffer();
        ASSERT_NE(buffer->CurrentDevice(main), nullptr);
        int count = 0;
        ASSERT_TRUE(buffer->ChooseFormat({}, count));
        EXPECT_GT(count, 0);
        ASSERT_GE(buffer->MaxWidth(), 64);
        int width = 0, height = 0;
        halfMade = static_cast<EGLSurface>(buffer->CreateBuffer(64, 16, width, height));
        ASSERT_NE(halfMade, EGL_NO_SURFACE);
        EXPECT_EQ(width, 64);
        EXPECT_EQ(height, 16);
        EXPECT_EQ(buffer->BufferDrawable(), halfMade);
        EXPECT_FALSE(buffer->MakeBufferCurrent()) << "no context yet";
    } // destroyed before its context was made
    EGLint width = 0;
    EXPECT_FALSE(eglQuerySurface(display, halfMade, EGL_WIDTH, &width)) << "the half-made buffer is gone";

    auto buffer = MakeEglPixelBuffer();
    int count = 0, width2 = 0, height2 = 0;
    ASSERT_TRUE(buffer->CurrentDevice(main) && buffer->ChooseFormat({}, count) &&
                buffer->CreateBuffer(8, 8, width2, height2));
    ASSERT_NE(buffer->CreateContext(main), nullptr);
    EXPECT_FALSE(buffer->BufferCurrent());
    ASSERT_TRUE(buffer->MakeBufferCurrent());
    EXPECT_TRUE(buffer->BufferCurrent());
    EXPECT_NE(eglGetCurrentContext(), static_cast<EGLContext>(main.Context));
    ASSERT_TRUE(buffer->MakePreviousCurrent(main));
    EXPECT_EQ(eglGetCurrentContext(), static_cast<EGLContext>(main.Context));
    EXPECT_FALSE(buffer->BufferCurrent());
}
