#include "render/glPBuffer.h"

#include "render/EngineTestSupport.h"

#include <epoxy/egl.h>
#include <gmock/gmock.h>

using testing::ElementsAre;
using testing::MatchesRegex;

namespace {

class TPixelBufferGLTest : public HeadlessGLTest {
protected:
    EGLContext MainContext() const { return static_cast<EGLContext>(Context.NativeHandles().Context); }
    EGLDisplay Display() const { return static_cast<EGLDisplay>(Context.NativeHandles().Display); }
    bool SurfaceExists(void* surface) const {
        EGLint width = 0;
        return eglQuerySurface(Display(), static_cast<EGLSurface>(surface), EGL_WIDTH, &width);
    }
};

} // namespace

TEST_F(TPixelBufferGLTest, CreatesASharedContextOnABufferOfTheRequestedSize) {
    GLuint texture = 0;
    glGenTextures(1, &texture);
    glBindTexture(GL_TEXTURE_2D, texture);

    TPixelBuffer buffer;
    ASSERT_TRUE(buffer.Create(512, 384, Context.NativeHandles()));
    EXPECT_THAT(
        buffer.Log,
        ElementsAre("PixelBuffer->Creating->Width=512 Height=384",
                    MatchesRegex("PixelBuffer->wglGetCurrentDC->Obtained valid DC : [1-9][0-9]*"),
                    MatchesRegex("PixelBuffer->wglChoosePixelFormatARB->[1-9][0-9]* suitable "
                                 "pixelformats found"),
                    "PixelBuffer->wglCreatePBufferARB->PixelBuffer successfully created.Received size : "
                    "Width=512 Height=384",
                    MatchesRegex("PixelBuffer->wglGetPBufferDCARB->Recieved valid DC for PBuffer : "
                                 "[1-9][0-9]*"),
                    MatchesRegex("PixelBuffer->wglCreateContext->Created rendercontext for PBuffer : "
                                 "[1-9][0-9]*")));
    EXPECT_TRUE(buffer.Valid());
    EXPECT_EQ(eglGetCurrentContext(), static_cast<EGLContext>(buffer.BufferRC));
    EXPECT_NE(eglGetCurrentContext(), MainContext());
    EXPECT_TRUE(glIsTexture(texture)) << "objects of the main context are shared";

    EXPECT_TRUE(buffer.Disable());
    EXPECT_EQ(eglGetCurrentContext(), MainContext());
    EXPECT_TRUE(buffer.Enable());
    EXPECT_EQ(eglGetCurrentContext(), static_cast<EGLContext>(buffer.BufferRC));
    EXPECT_TRUE(buffer.Disable());
    glDeleteTextures(1, &texture);
}

TEST_F(TPixelBufferGLTest, DestructionAndASecondCreateReleaseTheBufferAndReturnToTheMainContext) {
    void* surface = nullptr;
    {
        TPixelBuffer buffer;
        ASSERT_TRUE(buffer.Create(32, 32, Context.NativeHandles()));
        surface = buffer.BufferHandle;
        ASSERT_TRUE(buffer.Create(48, 48, Context.NativeHandles()));
        EXPECT_FALSE(SurfaceExists(surface)) << "the second Create replaces the first buffer";
        EXPECT_EQ(eglGetCurrentContext(), static_cast<EGLContext>(buffer.BufferRC));
        surface = buffer.BufferHandle;
    } // destroyed while its context is current
    EXPECT_EQ(eglGetCurrentContext(), MainContext());
    EXPECT_FALSE(SurfaceExists(surface));
    for (int i = 0; i < 20; ++i) {
        TPixelBuffer buffer;
        ASSERT_TRUE(buffer.Create(256, 256, Context.NativeHandles())) << i;
        ASSERT_TRUE(buffer.Disable());
    }
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
        // Not an attribute EGL knows: the choice itself fails.
        {512, 512, {0x7FFF, 1, EGL_NONE}, false,
         {"PixelBuffer->wglChoosePixelFormatARB->No suitable pixelformat found"}},
        // A valid request nothing satisfies.
        {512, 512, {EGL_RED_SIZE, 64, EGL_NONE}, false,
         {"PixelBuffer->wglChoosePixelFormatARB->0 suitable pixelformats found", noHandle}},
        {128, 128, {}, true, {"PixelBuffer->wglGetPBufferDCARB->Couldn't create rendercontext for PBuffer"}},
        {maxWidth + 1, 16, {}, false, {noHandle}},
        {1 << 20, 1 << 20, {}, false, {noHandle}},
        {0, 16, {}, false, {noHandle}},
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
        EXPECT_EQ(buffer.Log[0], "PixelBuffer->Creating->Width=" + std::to_string(c.Width) +
                                     " Height=" + std::to_string(c.Height));
        EXPECT_TRUE(std::equal(c.LastLines.rbegin(), c.LastLines.rend(), buffer.Log.rbegin()));
        EXPECT_FALSE(buffer.Valid());
        EXPECT_EQ(eglGetCurrentContext(), MainContext());
    }
}

TEST_F(TPixelBufferGLTest, WithoutACurrentContextThereIsNoDeviceContext) {
    eglMakeCurrent(Display(), EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT);
    TPixelBuffer buffer;
    EXPECT_FALSE(buffer.Create(512, 512, Context.NativeHandles()));
    EXPECT_THAT(buffer.Log,
                ElementsAre("PixelBuffer->Creating->Width=512 Height=512",
                            "PixelBuffer->wglGetCurrentDC->Couldn't obtain valid device context"));
    EXPECT_EQ(eglGetCurrentContext(), EGL_NO_CONTEXT);
    EXPECT_TRUE(Context.MakeCurrent());
}
