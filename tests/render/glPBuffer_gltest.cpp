#include "render/glPBuffer.h"

#include "render/EngineTestSupport.h"

#include <epoxy/egl.h>
#include <epoxy/glx.h>

#include <gmock/gmock.h>

#include <array>
#include <cstdlib>

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
        GLint depthBits = -1;
        glGetIntegerv(GL_DEPTH_BITS, &depthBits);
        EXPECT_EQ(depthBits, 0) << "a depth buffer the export never tests would cost a picture's memory";
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
        bool NoContextToShare;
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
        if (c.NoContextToShare) main.Context = nullptr;
        TPixelBuffer buffer;
        if (!c.Attributes.empty()) buffer.PixelFormatAttributes = c.Attributes;
        EXPECT_FALSE(buffer.Create(c.Width, c.Height, main));
        ASSERT_GE(buffer.Log.size(), c.LastLines.size());
        EXPECT_TRUE(std::equal(c.LastLines.rbegin(), c.LastLines.rend(), buffer.Log.rbegin()));
        EXPECT_FALSE(buffer.Valid());
        EXPECT_EQ(eglGetCurrentContext(), MainContext());
    }
}

namespace {

// Counts the X errors raised while it lives; Xlib's own handler would end the test program.
class TXErrorCounter {
public:
    explicit TXErrorCounter(Display* display) : Dpy(display) {
        Errors = 0;
        Previous = XSetErrorHandler([](Display*, XErrorEvent*) {
            ++Errors;
            return 0;
        });
    }
    ~TXErrorCounter() { XSetErrorHandler(Previous); }
    int Count() {
        XSync(Dpy, False);
        return Errors;
    }

private:
    static inline int Errors = 0;
    Display* Dpy;
    XErrorHandler Previous;
};

// A plain GLX context on an X window, made the way the Qt program's is: a double-buffered window config
// with depth 24, direct rendering. Needs an X display (the test run starts Xvfb); without DISPLAY the tests
// skip, and with one but no GLX context they fail in CI.
class TGlxPixelBufferTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!std::getenv("DISPLAY")) GTEST_SKIP() << "no X display";
        const std::string error = MakeMainContext();
        if (error.empty()) return;
        if (std::getenv("CI")) FAIL() << "no GLX context in CI: " << error;
        GTEST_SKIP() << "no GLX context: " << error;
    }
    void TearDown() override {
        if (!Dpy) return;
        glXMakeContextCurrent(Dpy, None, None, nullptr);
        if (Main) glXDestroyContext(Dpy, Main);
        if (Window) XDestroyWindow(Dpy, Window);
        if (Colormap) XFreeColormap(Dpy, Colormap);
        XCloseDisplay(Dpy);
    }

    std::string MakeMainContext() {
        Dpy = XOpenDisplay(nullptr);
        if (!Dpy) return "cannot open the display";
        if (!epoxy_has_glx(Dpy)) return "the display has no GLX";
        const int attributes[] = {GLX_DRAWABLE_TYPE,
                                  GLX_WINDOW_BIT,
                                  GLX_RENDER_TYPE,
                                  GLX_RGBA_BIT,
                                  GLX_RED_SIZE,
                                  8,
                                  GLX_GREEN_SIZE,
                                  8,
                                  GLX_BLUE_SIZE,
                                  8,
                                  GLX_DEPTH_SIZE,
                                  24,
                                  GLX_DOUBLEBUFFER,
                                  True,
                                  None};
        int count = 0;
        GLXFBConfig* configs = glXChooseFBConfig(Dpy, DefaultScreen(Dpy), attributes, &count);
        if (!configs || count == 0) return "no window config";
        Config = configs[0];
        XFree(configs);
        XVisualInfo* visual = glXGetVisualFromFBConfig(Dpy, Config);
        if (!visual) return "no visual";
        XSetWindowAttributes windowAttributes{};
        Colormap = windowAttributes.colormap =
            XCreateColormap(Dpy, RootWindow(Dpy, visual->screen), visual->visual, AllocNone);
        Window = XCreateWindow(Dpy, RootWindow(Dpy, visual->screen), 0, 0, 64, 64, 0, visual->depth,
                               InputOutput, visual->visual, CWColormap, &windowAttributes);
        XFree(visual);
        Main = glXCreateNewContext(Dpy, Config, GLX_RGBA_TYPE, nullptr, True);
        if (!Main) return "glXCreateNewContext failed";
        if (!glXMakeContextCurrent(Dpy, Window, Window, Main)) return "the context cannot be made current";
        return "";
    }

    TNativeGLHandles Handles() const {
        TNativeGLHandles handles;
        handles.System = TWindowSystem::GLX;
        handles.Display = Dpy;
        handles.Context = Main;
        handles.Config = Config;
        handles.Drawable = Window;
        return handles;
    }

    void ExpectMainCurrent() const {
        EXPECT_EQ(glXGetCurrentContext(), Main);
        EXPECT_EQ(glXGetCurrentDrawable(), Window);
    }

    Display* Dpy = nullptr;
    GLXFBConfig Config = nullptr;
    ::Colormap Colormap = 0;
    ::Window Window = 0;
    GLXContext Main = nullptr;
};

std::string Decimal(const void* handle) {
    return std::to_string(reinterpret_cast<uintptr_t>(handle));
}

} // namespace

TEST_F(TGlxPixelBufferTest, SixLinesTheBuffersContextCurrentSharingTheMainOnesTexturesAndDisableGoesBack) {
    // A texture of the main context, finished before another context reads it.
    const std::array<uint32_t, 4> texels = {0xff0000ffu, 0xff00ff00u, 0xffff0000u, 0x80ffffffu};
    GLuint texture = 0;
    glGenTextures(1, &texture);
    glBindTexture(GL_TEXTURE_2D, texture);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, 2, 2, 0, GL_RGBA, GL_UNSIGNED_BYTE, texels.data());
    glFinish();
    EXPECT_TRUE(PixelBuffersAvailable(Handles()));

    TPixelBuffer buffer;
    ASSERT_TRUE(buffer.Create(512, 384, Handles())) << buffer.Log.back();
    ASSERT_EQ(buffer.Log.size(), 6u);
    EXPECT_EQ(buffer.Log[0], "PixelBuffer->Creating->Width=512 Height=384");
    EXPECT_EQ(buffer.Log[1], "PixelBuffer->wglGetCurrentDC->Obtained valid DC : " + Decimal(Dpy));
    EXPECT_THAT(buffer.Log[2], testing::MatchesRegex(
                                   "PixelBuffer->wglChoosePixelFormatARB->[1-9][0-9]* suitable pixelformats "
                                   "found"));
    EXPECT_EQ(buffer.Log[3],
              "PixelBuffer->wglCreatePBufferARB->PixelBuffer successfully created.Received size "
              ": Width=512 Height=384");
    EXPECT_EQ(buffer.Log[4],
              "PixelBuffer->wglGetPBufferDCARB->Recieved valid DC for PBuffer : " + Decimal(buffer.BufferDC));
    EXPECT_EQ(buffer.Log[5], "PixelBuffer->wglCreateContext->Created rendercontext for PBuffer : " +
                                 Decimal(buffer.BufferRC));
    EXPECT_GE(buffer.MaxWidth, 512);
    EXPECT_GE(buffer.MaxHeight, 384);
    GLint depthBits = -1;
    glGetIntegerv(GL_DEPTH_BITS, &depthBits);
    EXPECT_EQ(depthBits, 0) << "a depth buffer the export never tests would cost a picture's memory";

    EXPECT_EQ(glXGetCurrentContext(), static_cast<GLXContext>(buffer.BufferRC));
    EXPECT_EQ(glXGetCurrentDrawable(), GLXDrawable(reinterpret_cast<uintptr_t>(buffer.BufferHandle)));
    // The main context's texture, read in the buffer's context.
    std::array<uint32_t, 4> read{};
    EXPECT_TRUE(glIsTexture(texture));
    glBindTexture(GL_TEXTURE_2D, texture);
    glGetTexImage(GL_TEXTURE_2D, 0, GL_RGBA, GL_UNSIGNED_BYTE, read.data());
    EXPECT_EQ(read, texels);
    // The buffer holds the whole size: its far corner takes a clear.
    glViewport(0, 0, 512, 384);
    glClearColor(0, 1, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT);
    TPicture corner(512, 384);
    EXPECT_EQ(corner.At(511, 0), kGreen);
    EXPECT_EQ(corner.At(0, 383), kGreen);
    EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));

    TXErrorCounter errors(Dpy);
    EXPECT_TRUE(buffer.Disable());
    ExpectMainCurrent();
    EXPECT_TRUE(buffer.Enable());
    EXPECT_EQ(glXGetCurrentContext(), static_cast<GLXContext>(buffer.BufferRC));
    EXPECT_TRUE(buffer.Disable());
    ExpectMainCurrent();
    EXPECT_EQ(errors.Count(), 0) << "leaving the buffer's context must not upset the X server";
    glDeleteTextures(1, &texture);
}

TEST_F(TGlxPixelBufferTest, EachFailingStepEndsTheLogWithItsLineAndKeepsTheMainContext) {
    const std::string noHandle = "PixelBuffer->wglCreatePBufferARB->Couldn't obtain valid handle";
    int maxWidth = 0;
    {
        TPixelBuffer probe;
        ASSERT_TRUE(probe.Create(16, 16, Handles()));
        maxWidth = probe.MaxWidth;
    }
    ExpectMainCurrent();
    const struct {
        int Width, Height;
        std::vector<int32_t> Attributes; // empty: the default
        bool NoWindowSystem;             // handles that name none (X11 makes "None" a macro, so no enum here)
        bool NoContextToShare;
        size_t Lines;
        std::string LastLine;
    } cases[] = {
        // A pixel format no config has: GLX answers no list at all.
        {512,
         512,
         {GLX_DRAWABLE_TYPE, GLX_PBUFFER_BIT, GLX_RED_SIZE, 64, None},
         false,
         false,
         3,
         "PixelBuffer->wglChoosePixelFormatARB->No suitable pixelformat found"},
        {512, 512, {}, true, false, 2, "PixelBuffer->wglGetCurrentDC->Couldn't obtain valid device context"},
        {maxWidth + 1, 16, {}, false, false, 4, noHandle},
        {16, 0, {}, false, false, 4, noHandle},
        {128,
         128,
         {},
         false,
         true,
         6,
         "PixelBuffer->wglGetPBufferDCARB->Couldn't create rendercontext for PBuffer"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.Width << " x " << c.Height << ", " << c.LastLine);
        TNativeGLHandles main = c.NoWindowSystem ? TNativeGLHandles{} : Handles();
        if (c.NoContextToShare) main.Context = nullptr;
        TXErrorCounter errors(Dpy);
        TPixelBuffer buffer;
        if (!c.Attributes.empty()) buffer.PixelFormatAttributes = c.Attributes;
        EXPECT_FALSE(buffer.Create(c.Width, c.Height, main));
        ASSERT_EQ(buffer.Log.size(), c.Lines);
        EXPECT_EQ(buffer.Log.back(), c.LastLine);
        EXPECT_FALSE(buffer.Valid());
        ExpectMainCurrent();
        EXPECT_EQ(errors.Count(), 0);
    }
}

TEST_F(TGlxPixelBufferTest, DestructionFreesBufferAndContextAndLeavesTheMainContextCurrent) {
    GLXPbuffer buffers[2] = {};
    GLXContext contexts[2] = {};
    {
        TPixelBuffer buffer;
        ASSERT_TRUE(buffer.Create(32, 32, Handles()));
        buffers[0] = GLXPbuffer(reinterpret_cast<uintptr_t>(buffer.BufferHandle));
        contexts[0] = static_cast<GLXContext>(buffer.BufferRC);
        // A second Create replaces the first buffer; the object is destroyed with its context current.
        ASSERT_TRUE(buffer.Create(64, 48, Handles()));
        buffers[1] = GLXPbuffer(reinterpret_cast<uintptr_t>(buffer.BufferHandle));
        contexts[1] = static_cast<GLXContext>(buffer.BufferRC);
        EXPECT_EQ(glXGetCurrentContext(), contexts[1]);
    }
    ExpectMainCurrent();
    // The server no longer knows the buffers: asking about them is an error.
    for (GLXPbuffer freed : buffers) {
        TXErrorCounter errors(Dpy);
        unsigned width = 0;
        glXQueryDrawable(Dpy, freed, GLX_WIDTH, &width);
        EXPECT_GT(errors.Count(), 0) << "pbuffer " << freed << " still exists";
    }
    // The main context still draws and reads back.
    glViewport(0, 0, 64, 64);
    glClearColor(0, 0, 1, 1);
    glClear(GL_COLOR_BUFFER_BIT);
    EXPECT_EQ(TPicture(1, 1).At(0, 0), kBlue);
}
