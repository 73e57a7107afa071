#include "render/glPBuffer.h"

#include "render/RenderTestSupport.h"
#include "support/TestSupport.h"

#include <epoxy/egl.h>
#include <gmock/gmock.h>

#include <utility>

using testing::ElementsAre;
using testing::MatchesRegex;
using testing::StartsWith;

namespace {

class TPixelBufferGLTest : public HeadlessGLTest {
protected:
    EGLContext MainContext() const { return static_cast<EGLContext>(Context.NativeHandles().Context); }
};

} // namespace

TEST_F(TPixelBufferGLTest, CreatesASharedContextOnABufferOfTheRequestedSize) {
    GLuint texture = 0;
    glGenTextures(1, &texture);
    glBindTexture(GL_TEXTURE_2D, texture);

    TPixelBuffer buffer;
    ASSERT_TRUE(buffer.Create(512, 384, Context.NativeHandles()));
    EXPECT_THAT(buffer.Log,
                ElementsAre("PixelBuffer->Creating->Width=512 Height=384",
                            MatchesRegex("PixelBuffer->wglGetCurrentDC->Obtained valid DC : [1-9][0-9]*"),
                            MatchesRegex("PixelBuffer->wglChoosePixelFormatARB->[1-9][0-9]* suitable pixelformats found"),
                            "PixelBuffer->wglCreatePBufferARB->PixelBuffer successfully created.Received size : "
                            "Width=512 Height=384",
                            MatchesRegex("PixelBuffer->wglGetPBufferDCARB->Recieved valid DC for PBuffer : [1-9][0-9]*"),
                            MatchesRegex("PixelBuffer->wglCreateContext->Created rendercontext for PBuffer : [1-9][0-9]*")));
    EXPECT_TRUE(buffer.Valid());
    EXPECT_EQ(eglGetCurrentContext(), static_cast<EGLContext>(buffer.BufferRC));
    EXPECT_NE(eglGetCurrentContext(), MainContext());
    EXPECT_TRUE(glIsTexture(texture)) << "objects of the main context are shared";

    // The buffer is drawn into at its own size.
    GLint viewport[4] = {};
    glGetIntegerv(GL_VIEWPORT, viewport);
    EXPECT_EQ(viewport[2], 512);
    EXPECT_EQ(viewport[3], 384);
    glClearColor(0, 1, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT);
    const TPicture inBuffer(512, 384);
    EXPECT_EQ(inBuffer.At(511, 383), (TRGBA{0, 255, 0, 255}));

    EXPECT_TRUE(buffer.Disable());
    EXPECT_EQ(eglGetCurrentContext(), MainContext());
    EXPECT_NE(TPicture(256, 256).At(10, 10), (TRGBA{0, 255, 0, 255})) << "the main surface was not drawn into";
    EXPECT_TRUE(buffer.Enable());
    EXPECT_EQ(eglGetCurrentContext(), static_cast<EGLContext>(buffer.BufferRC));
    EXPECT_TRUE(buffer.Disable());
    glDeleteTextures(1, &texture);
}

TEST_F(TPixelBufferGLTest, DestructionReturnsToTheMainContextAndLeavesNothingBehind) {
    EGLDisplay display = static_cast<EGLDisplay>(Context.NativeHandles().Display);
    EGLSurface surface = EGL_NO_SURFACE;
    {
        TPixelBuffer buffer;
        ASSERT_TRUE(buffer.Create(64, 64, Context.NativeHandles()));
        surface = static_cast<EGLSurface>(buffer.BufferHandle);
        EGLint width = 0;
        EXPECT_TRUE(eglQuerySurface(display, surface, EGL_WIDTH, &width));
        EXPECT_EQ(width, 64);
    } // destroyed while its context is current
    EXPECT_EQ(eglGetCurrentContext(), MainContext());
    EGLint width = 0;
    EXPECT_FALSE(eglQuerySurface(display, surface, EGL_WIDTH, &width));
    // A second Create on the same object replaces its first buffer.
    {
        TPixelBuffer buffer;
        ASSERT_TRUE(buffer.Create(32, 32, Context.NativeHandles()));
        EGLSurface first = static_cast<EGLSurface>(buffer.BufferHandle);
        ASSERT_TRUE(buffer.Create(48, 48, Context.NativeHandles()));
        EXPECT_FALSE(eglQuerySurface(display, first, EGL_WIDTH, &width));
        EXPECT_EQ(eglGetCurrentContext(), static_cast<EGLContext>(buffer.BufferRC));
    }
    EXPECT_EQ(eglGetCurrentContext(), MainContext());
    // Many buffers one after the other: each releases what it made.
    for (int i = 0; i < 20; ++i) {
        TPixelBuffer buffer;
        ASSERT_TRUE(buffer.Create(256, 256, Context.NativeHandles())) << i;
        ASSERT_TRUE(buffer.Disable());
    }
}

TEST_F(TPixelBufferGLTest, ARefusedPixelFormatEndsTheLogAfterThreeLines) {
    TPixelBuffer buffer;
    buffer.PixelFormatAttributes = {0x7FFF, 1, EGL_NONE}; // not an attribute EGL knows: the choice fails
    EXPECT_FALSE(buffer.Create(512, 512, Context.NativeHandles()));
    ASSERT_EQ(buffer.Log.size(), 3u);
    EXPECT_EQ(buffer.Log[0], "PixelBuffer->Creating->Width=512 Height=512");
    EXPECT_THAT(buffer.Log[1], StartsWith("PixelBuffer->wglGetCurrentDC->Obtained valid DC : "));
    EXPECT_EQ(buffer.Log[2], "PixelBuffer->wglChoosePixelFormatARB->No suitable pixelformat found");
    EXPECT_FALSE(buffer.Valid());
    EXPECT_EQ(eglGetCurrentContext(), MainContext());
}

TEST_F(TPixelBufferGLTest, NoMatchingFormatLeavesTheFirstFormatEmptyAndFailsTheBuffer) {
    TPixelBuffer buffer;
    buffer.PixelFormatAttributes = {EGL_RED_SIZE, 64, EGL_NONE}; // a valid request nothing satisfies
    EXPECT_FALSE(buffer.Create(512, 512, Context.NativeHandles()));
    ASSERT_EQ(buffer.Log.size(), 4u);
    EXPECT_EQ(buffer.Log[2], "PixelBuffer->wglChoosePixelFormatARB->0 suitable pixelformats found");
    EXPECT_EQ(buffer.Log[3], "PixelBuffer->wglCreatePBufferARB->Couldn't obtain valid handle");
    EXPECT_EQ(eglGetCurrentContext(), MainContext());
}

TEST_F(TPixelBufferGLTest, WithoutACurrentContextThereIsNoDeviceContext) {
    const TNativeGLHandles main = Context.NativeHandles();
    eglMakeCurrent(static_cast<EGLDisplay>(main.Display), EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT);
    TPixelBuffer buffer;
    EXPECT_FALSE(buffer.Create(512, 512, main));
    EXPECT_THAT(buffer.Log, ElementsAre("PixelBuffer->Creating->Width=512 Height=512",
                                        "PixelBuffer->wglGetCurrentDC->Couldn't obtain valid device context"));
    EXPECT_EQ(eglGetCurrentContext(), EGL_NO_CONTEXT);
    EXPECT_TRUE(Context.MakeCurrent());
}

TEST_F(TPixelBufferGLTest, AContextThatCannotShareIsNotMade) {
    TNativeGLHandles foreign = Context.NativeHandles();
    foreign.System = TWindowSystem::GLX; // a main context of another window system
    TPixelBuffer buffer;
    EXPECT_FALSE(buffer.Create(128, 128, foreign));
    ASSERT_EQ(buffer.Log.size(), 6u);
    EXPECT_EQ(buffer.Log[5], "PixelBuffer->wglGetPBufferDCARB->Couldn't create rendercontext for PBuffer");
    EXPECT_FALSE(buffer.Valid());
    EXPECT_EQ(eglGetCurrentContext(), MainContext());
}

TEST_F(TPixelBufferGLTest, SizesBeyondThePbufferLimitsOrBelowOnePixelAreRefused) {
    EGLDisplay display = static_cast<EGLDisplay>(Context.NativeHandles().Display);
    EGLint maxWidth = 0;
    eglGetConfigAttrib(display, static_cast<EGLConfig>(Context.NativeHandles().Config), EGL_MAX_PBUFFER_WIDTH,
                       &maxWidth);
    ASSERT_GT(maxWidth, 0);
    for (const auto& [width, height] : {std::pair{maxWidth + 1, 16}, std::pair{1 << 20, 1 << 20}, std::pair{0, 16},
                                        std::pair{16, -5}}) {
        TPixelBuffer buffer;
        EXPECT_FALSE(buffer.Create(width, height, Context.NativeHandles())) << width << " x " << height;
        ASSERT_EQ(buffer.Log.size(), 4u);
        EXPECT_EQ(buffer.Log[3], "PixelBuffer->wglCreatePBufferARB->Couldn't obtain valid handle");
        EXPECT_EQ(eglGetCurrentContext(), MainContext());
    }
}
