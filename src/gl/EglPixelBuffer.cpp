// The pixel buffer under EGL: a pbuffer surface, drawn into directly, and a context made sharing the main
// one. The headless context and EGL window systems provide them.
#include "gl/GLSurface.h"

#include <epoxy/egl.h>

#include <array>

namespace {

constexpr EGLint kMaxFormats = 65;

class TEglPixelBuffer : public IPixelBufferSurface {
public:
    ~TEglPixelBuffer() override {
        if (Display == EGL_NO_DISPLAY) return;
        // A context that is still current would only be marked for deletion; the owner has gone back.
        if (Context != EGL_NO_CONTEXT) eglDestroyContext(Display, Context);
        if (Buffer != EGL_NO_SURFACE) eglDestroySurface(Display, Buffer);
    }

    void* CurrentDevice(const TNativeGLHandles&) override {
        if (!epoxy_has_egl()) return nullptr;
        Display = eglGetCurrentDisplay();
        return Display == EGL_NO_DISPLAY ? nullptr : Display;
    }

    bool ChooseFormat(const std::vector<int32_t>& attributes, int& count) override {
        const std::vector<int32_t> asked = attributes.empty() ? EglPixelFormatAttributes(0) : attributes;
        std::array<EGLConfig, kMaxFormats>
            formats{}; // zero-filled: a count of 0 leaves the first format null
        EGLint found = 0;
        if (!eglChooseConfig(Display, asked.data(), formats.data(), kMaxFormats, &found)) return false;
        count = found;
        // EGL sorts deeper configs first and Mesa offers 10-bit ones; the first with exactly 8 bits a
        // channel wins (and among those, as asked for no depth, EGL puts the ones without a depth buffer
        // first).
        Format = formats[0];
        for (EGLint i = 0; i < found; ++i) {
            EGLint r = 0, g = 0, b = 0, a = 0;
            eglGetConfigAttrib(Display, formats[size_t(i)], EGL_RED_SIZE, &r);
            eglGetConfigAttrib(Display, formats[size_t(i)], EGL_GREEN_SIZE, &g);
            eglGetConfigAttrib(Display, formats[size_t(i)], EGL_BLUE_SIZE, &b);
            eglGetConfigAttrib(Display, formats[size_t(i)], EGL_ALPHA_SIZE, &a);
            if (r == 8 && g == 8 && b == 8 && a == 8) {
                Format = formats[size_t(i)];
                break;
            }
        }
        // Mesa creates any size and allocates at the first draw, where an absurd size fails far from here;
        // so the owner checks the config's limits first.
        if (Format) {
            eglGetConfigAttrib(Display, Format, EGL_MAX_PBUFFER_WIDTH, &LimitWidth);
            eglGetConfigAttrib(Display, Format, EGL_MAX_PBUFFER_HEIGHT, &LimitHeight);
        }
        return true;
    }

    int MaxWidth() const override { return LimitWidth; }
    int MaxHeight() const override { return LimitHeight; }

    void* CreateBuffer(int width, int height, int& grantedWidth, int& grantedHeight) override {
        if (!Format) return nullptr;
        const EGLint bufferAttributes[] = {EGL_WIDTH, width, EGL_HEIGHT, height, EGL_NONE};
        Buffer = eglCreatePbufferSurface(Display, Format, bufferAttributes);
        if (Buffer == EGL_NO_SURFACE) return nullptr;
        EGLint w = 0, h = 0;
        eglQuerySurface(Display, Buffer, EGL_WIDTH, &w);
        eglQuerySurface(Display, Buffer, EGL_HEIGHT, &h);
        grantedWidth = w;
        grantedHeight = h;
        return Buffer;
    }

    // Under EGL the pbuffer surface is also what gets drawn into.
    void* BufferDrawable() override { return Buffer == EGL_NO_SURFACE ? nullptr : Buffer; }

    void* CreateContext(const TNativeGLHandles& previous) override {
        // A context that cannot share with the previous one would draw without the chain's textures and
        // programs. Sharing is settled when the context is made.
        if (previous.System != TWindowSystem::EGL || previous.Display != Display || !previous.Context)
            return nullptr;
        eglBindAPI(EGL_OPENGL_API);
        const EGLint contextAttributes[] = {EGL_CONTEXT_MAJOR_VERSION, 2, EGL_CONTEXT_MINOR_VERSION, 1,
                                            EGL_NONE};
        Context =
            eglCreateContext(Display, Format, static_cast<EGLContext>(previous.Context), contextAttributes);
        return Context == EGL_NO_CONTEXT ? nullptr : Context;
    }

    bool MakeBufferCurrent() override {
        if (Context == EGL_NO_CONTEXT || Buffer == EGL_NO_SURFACE) return false;
        eglBindAPI(EGL_OPENGL_API);
        return eglMakeCurrent(Display, Buffer, Buffer, Context) == EGL_TRUE;
    }

    bool MakePreviousCurrent(const TNativeGLHandles& previous) override {
        if (previous.System != TWindowSystem::EGL || !previous.Display) return false;
        auto surface = reinterpret_cast<EGLSurface>(previous.Drawable);
        eglBindAPI(EGL_OPENGL_API);
        return eglMakeCurrent(static_cast<EGLDisplay>(previous.Display), surface, surface,
                              static_cast<EGLContext>(previous.Context)) == EGL_TRUE;
    }

    bool BufferCurrent() const override {
        return Context != EGL_NO_CONTEXT && eglGetCurrentContext() == Context;
    }

private:
    EGLDisplay Display = EGL_NO_DISPLAY;
    EGLConfig Format = nullptr;
    EGLint LimitWidth = 0;
    EGLint LimitHeight = 0;
    EGLSurface Buffer = EGL_NO_SURFACE;
    EGLContext Context = EGL_NO_CONTEXT;
};

} // namespace

std::unique_ptr<IPixelBufferSurface> MakeEglPixelBuffer() {
    return std::make_unique<TEglPixelBuffer>();
}

bool EglPixelBuffersAvailable(const TNativeGLHandles& main) {
    if (!main.Display || !epoxy_has_egl()) return false;
    const std::vector<int32_t> attributes = EglPixelFormatAttributes(0);
    EGLint count = 0;
    return eglChooseConfig(static_cast<EGLDisplay>(main.Display), attributes.data(), nullptr, 0, &count) &&
           count > 0;
}
