// The pixel buffer under GLX: a GLX pbuffer on the main context's X display and screen, with a context
// made sharing the main one. The Qt program's context is a GLX context on X11.
#include "gl/GLSurface.h"

#include <epoxy/glx.h>

namespace {

// Xlib reports errors of requests asynchronously, and its default handler ends the process. Every GLX
// request of the buffer runs inside a trap that waits for the server's answer and counts what went
// wrong; a caller's own handler is put back afterwards. GUI thread only, like all X calls of the program.
class TXErrorTrap {
public:
    explicit TXErrorTrap(Display* display) : Dpy(display) {
        Errors = 0;
        Previous = XSetErrorHandler(&TXErrorTrap::Count);
    }
    TXErrorTrap(const TXErrorTrap&) = delete;
    TXErrorTrap& operator=(const TXErrorTrap&) = delete;
    ~TXErrorTrap() {
        XSync(Dpy, False);
        XSetErrorHandler(Previous);
    }
    // Waits for the server to answer everything sent so far; true when nothing failed.
    bool Clean() {
        XSync(Dpy, False);
        return Errors == 0;
    }

private:
    static int Count(Display*, XErrorEvent*) {
        ++Errors;
        return 0;
    }
    static inline int Errors = 0;
    Display* Dpy;
    XErrorHandler Previous;
};

int ConfigAttribute(Display* display, GLXFBConfig config, int attribute) {
    int value = 0;
    glXGetFBConfigAttrib(display, config, attribute, &value);
    return value;
}

// The depth of the X visual of a config; 0 when it has none.
int VisualDepth(Display* display, GLXFBConfig config) {
    XVisualInfo* visual = glXGetVisualFromFBConfig(display, config);
    if (!visual) return 0;
    const int depth = visual->depth;
    XFree(visual);
    return depth;
}

// The screen of the context current now; the display's default screen when GLX cannot tell.
int CurrentScreen(Display* display) {
    int screen = 0;
    GLXContext current = glXGetCurrentContext();
    if (current && glXQueryContext(display, current, GLX_SCREEN, &screen) == Success) return screen;
    return DefaultScreen(display);
}

class TGlxPixelBuffer : public IPixelBufferSurface {
public:
    ~TGlxPixelBuffer() override {
        if (!Dpy || (!Context && !Buffer)) return;
        TXErrorTrap trap(Dpy);
        if (Context) glXDestroyContext(Dpy, Context);
        if (Buffer) glXDestroyPbuffer(Dpy, Buffer);
    }

    void* CurrentDevice(const TNativeGLHandles& previous) override {
        // GLX is only asked where the main context is a GLX one: asking without a display, or with one of
        // another window system, would load the X libraries for nothing or read a foreign handle as an
        // X display.
        if (previous.System != TWindowSystem::GLX || !previous.Display ||
            !epoxy_has_glx(static_cast<Display*>(previous.Display)))
            return nullptr;
        Dpy = glXGetCurrentDisplay();
        return Dpy;
    }

    bool ChooseFormat(const std::vector<int32_t>& attributes, int& count) override {
        const std::vector<int32_t> asked = attributes.empty() ? GlxPixelFormatAttributes() : attributes;
        int found = 0;
        GLXFBConfig* formats = glXChooseFBConfig(Dpy, CurrentScreen(Dpy), asked.data(), &found);
        // GLX answers no list both for a request it cannot read and for one nothing matches.
        if (!formats) return false;
        count = found;
        Format = PreferredFormat(formats, found);
        XFree(formats); // the configs themselves belong to the display and stay valid
        if (Format) {
            LimitWidth = ConfigAttribute(Dpy, Format, GLX_MAX_PBUFFER_WIDTH);
            LimitHeight = ConfigAttribute(Dpy, Format, GLX_MAX_PBUFFER_HEIGHT);
        }
        return true;
    }

    int MaxWidth() const override { return LimitWidth; }
    int MaxHeight() const override { return LimitHeight; }

    void* CreateBuffer(int width, int height, int& grantedWidth, int& grantedHeight) override {
        if (!Format) return nullptr;
        // Never the largest available instead: a buffer smaller than asked would cut the picture.
        const int bufferAttributes[] = {GLX_PBUFFER_WIDTH,
                                        width,
                                        GLX_PBUFFER_HEIGHT,
                                        height,
                                        GLX_LARGEST_PBUFFER,
                                        False,
                                        GLX_PRESERVED_CONTENTS,
                                        True,
                                        None};
        TXErrorTrap trap(Dpy);
        Buffer = glXCreatePbuffer(Dpy, Format, bufferAttributes);
        if (!trap.Clean()) {
            if (Buffer) glXDestroyPbuffer(Dpy, Buffer);
            Buffer = 0;
        }
        if (!Buffer) return nullptr;
        unsigned w = 0, h = 0;
        glXQueryDrawable(Dpy, Buffer, GLX_WIDTH, &w);
        glXQueryDrawable(Dpy, Buffer, GLX_HEIGHT, &h);
        grantedWidth = int(w);
        grantedHeight = int(h);
        return reinterpret_cast<void*>(Buffer);
    }

    // The pbuffer is a GLX drawable itself.
    void* BufferDrawable() override { return reinterpret_cast<void*>(Buffer); }

    void* CreateContext(const TNativeGLHandles& previous) override {
        // A context that cannot share with the previous one would draw without the chain's textures and
        // programs. Sharing is settled when the context is made.
        if (previous.System != TWindowSystem::GLX || previous.Display != Dpy || !previous.Context || !Format)
            return nullptr;
        auto share = static_cast<GLXContext>(previous.Context);
        TXErrorTrap trap(Dpy);
        // GLX shares only between contexts that render alike, direct or through the server.
        Context = glXCreateNewContext(Dpy, Format, GLX_RGBA_TYPE, share, glXIsDirect(Dpy, share));
        if (!trap.Clean()) {
            if (Context) glXDestroyContext(Dpy, Context);
            Context = nullptr;
        }
        return Context;
    }

    bool MakeBufferCurrent() override {
        if (!Context || !Buffer) return false;
        TXErrorTrap trap(Dpy);
        return glXMakeContextCurrent(Dpy, Buffer, Buffer, Context) && trap.Clean();
    }

    bool MakePreviousCurrent(const TNativeGLHandles& previous) override {
        if (previous.System != TWindowSystem::GLX || !previous.Display) return false;
        auto* display = static_cast<Display*>(previous.Display);
        const auto drawable = GLXDrawable(previous.Drawable);
        TXErrorTrap trap(display);
        return glXMakeContextCurrent(display, drawable, drawable,
                                     static_cast<GLXContext>(previous.Context)) &&
               trap.Clean();
    }

    bool BufferCurrent() const override { return Context && glXGetCurrentContext() == Context; }

private:
    // The first config with exactly 8 bits a channel whose X visual is as deep as its colour buffer: Mesa's
    // software driver writes a pbuffer through an image of the visual's depth, and a 24-bit visual over a
    // 32-bit buffer fails that write with BadMatch when the context leaves the buffer. Failing that, the
    // first with exactly 8 bits a channel, then the first.
    // Of the configs with 8 bits a channel: first one whose visual is as deep as its buffer, then one
    // without a depth buffer (the export never tests depth, and one would cost as much memory as the
    // picture).
    GLXFBConfig PreferredFormat(GLXFBConfig* formats, int count) const {
        GLXFBConfig best = nullptr;
        int bestScore = -1;
        for (int i = 0; i < count; ++i) {
            const int r = ConfigAttribute(Dpy, formats[i], GLX_RED_SIZE);
            const int g = ConfigAttribute(Dpy, formats[i], GLX_GREEN_SIZE);
            const int b = ConfigAttribute(Dpy, formats[i], GLX_BLUE_SIZE);
            const int a = ConfigAttribute(Dpy, formats[i], GLX_ALPHA_SIZE);
            if (r != 8 || g != 8 || b != 8 || a != 8) continue;
            const int score = (VisualDepth(Dpy, formats[i]) == r + g + b + a ? 2 : 0) +
                              (ConfigAttribute(Dpy, formats[i], GLX_DEPTH_SIZE) == 0 ? 1 : 0);
            if (score > bestScore) best = formats[i], bestScore = score;
        }
        return best ? best : (count > 0 ? formats[0] : nullptr);
    }

    Display* Dpy = nullptr;
    GLXFBConfig Format = nullptr;
    int LimitWidth = 0;
    int LimitHeight = 0;
    GLXPbuffer Buffer = 0;
    GLXContext Context = nullptr;
};

} // namespace

std::vector<int32_t> GlxPixelFormatAttributes() {
    return {GLX_DRAWABLE_TYPE,
            GLX_PBUFFER_BIT,
            GLX_RENDER_TYPE,
            GLX_RGBA_BIT,
            GLX_RED_SIZE,
            8,
            GLX_GREEN_SIZE,
            8,
            GLX_BLUE_SIZE,
            8,
            GLX_ALPHA_SIZE,
            8,
            GLX_DEPTH_SIZE,
            0,
            GLX_DOUBLEBUFFER,
            False,
            None};
}

std::unique_ptr<IPixelBufferSurface> MakeGlxPixelBuffer() {
    return std::make_unique<TGlxPixelBuffer>();
}

bool GlxPixelBuffersAvailable(const TNativeGLHandles& main) {
    auto* display = static_cast<Display*>(main.Display);
    if (!display || !main.Context || !epoxy_has_glx(display)) return false;
    int screen = 0;
    if (glXQueryContext(display, static_cast<GLXContext>(main.Context), GLX_SCREEN, &screen) != Success)
        return false;
    const std::vector<int32_t> attributes = GlxPixelFormatAttributes();
    int count = 0;
    GLXFBConfig* formats = glXChooseFBConfig(display, screen, attributes.data(), &count);
    if (!formats) return false;
    XFree(formats);
    return count > 0;
}
