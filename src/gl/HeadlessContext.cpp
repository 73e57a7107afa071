#include "gl/HeadlessContext.h"

#include "gl/GL.h"
#include "gl/GLFlags.h"
#include "platform/ELumatex.h"

#include <epoxy/egl.h>

#include <dlfcn.h>
#include <link.h>
#include <string_view>

namespace {

// Mesa unloads its driver when the display is terminated; what the driver keeps for the life of the process
// then has no module name, and leak checkers (the sanitizer builds) cannot tell it from a leak of ours.
// Keeping the driver mapped costs nothing: a process that made one headless context usually makes more.
void PinGLDriver() {
    static bool pinned = false;
    if (pinned) return;
    pinned = true;
    dl_iterate_phdr(
        [](dl_phdr_info* info, size_t, void*) -> int {
            const std::string_view name = info->dlpi_name ? info->dlpi_name : "";
            if (name.ends_with("_dri.so")) dlopen(info->dlpi_name, RTLD_NOW | RTLD_NOLOAD | RTLD_NODELETE);
            return 0;
        },
        nullptr);
}

EGLDisplay OpenSurfacelessDisplay() {
    if (epoxy_has_egl_extension(EGL_NO_DISPLAY, "EGL_MESA_platform_surfaceless")) {
        EGLDisplay display =
            eglGetPlatformDisplayEXT(EGL_PLATFORM_SURFACELESS_MESA, EGL_DEFAULT_DISPLAY, nullptr);
        if (display != EGL_NO_DISPLAY) return display;
    }
    return eglGetDisplay(EGL_DEFAULT_DISPLAY);
}

} // namespace

std::vector<int32_t> EglPixelFormatAttributes(int depthBits) {
    return {EGL_SURFACE_TYPE,
            EGL_PBUFFER_BIT,
            EGL_RENDERABLE_TYPE,
            EGL_OPENGL_BIT,
            EGL_RED_SIZE,
            8,
            EGL_GREEN_SIZE,
            8,
            EGL_BLUE_SIZE,
            8,
            EGL_ALPHA_SIZE,
            8,
            EGL_DEPTH_SIZE,
            depthBits,
            EGL_NONE};
}

THeadlessContext::~THeadlessContext() {
    Destroy();
}

void THeadlessContext::Destroy() {
    if (!Display) return;
    auto display = static_cast<EGLDisplay>(Display);
    eglMakeCurrent(display, EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT);
    if (Surface) eglDestroySurface(display, static_cast<EGLSurface>(Surface));
    if (Context) eglDestroyContext(display, static_cast<EGLContext>(Context));
    eglTerminate(display);
    Display = Config = Context = Surface = nullptr;
}

bool THeadlessContext::Create(int width, int height) {
    Destroy();
    EGLDisplay display = OpenSurfacelessDisplay();
    if (display == EGL_NO_DISPLAY) {
        FLastError = "no EGL display";
        return false;
    }
    EGLint major = 0, minor = 0;
    if (!eglInitialize(display, &major, &minor)) {
        FLastError = FormatText("eglInitialize failed ($%x)", eglGetError());
        return false;
    }
    Display = display;
    if (!eglBindAPI(EGL_OPENGL_API)) {
        FLastError = "EGL offers no desktop OpenGL";
        Destroy();
        return false;
    }
    // Mesa lists deeper (10-bit) configs first; the pixel buffer and the captures want 8 bits a channel.
    const std::vector<EGLint> attributes = EglPixelFormatAttributes();
    EGLConfig configs[64];
    EGLint count = 0;
    eglChooseConfig(display, attributes.data(), configs, 64, &count);
    EGLConfig chosen = nullptr;
    for (EGLint i = 0; i < count && !chosen; ++i) {
        EGLint r, g, b, a;
        eglGetConfigAttrib(display, configs[i], EGL_RED_SIZE, &r);
        eglGetConfigAttrib(display, configs[i], EGL_GREEN_SIZE, &g);
        eglGetConfigAttrib(display, configs[i], EGL_BLUE_SIZE, &b);
        eglGetConfigAttrib(display, configs[i], EGL_ALPHA_SIZE, &a);
        if (r == 8 && g == 8 && b == 8 && a == 8) chosen = configs[i];
    }
    if (!chosen) {
        FLastError = "no 8-bit RGBA pbuffer config with a depth buffer";
        Destroy();
        return false;
    }
    Config = chosen;
    const EGLint contextAttributes[] = {EGL_CONTEXT_MAJOR_VERSION, 2, EGL_CONTEXT_MINOR_VERSION, 1, EGL_NONE};
    EGLContext context = eglCreateContext(display, chosen, EGL_NO_CONTEXT, contextAttributes);
    if (context == EGL_NO_CONTEXT) {
        FLastError = FormatText("eglCreateContext failed ($%x)", eglGetError());
        Destroy();
        return false;
    }
    Context = context;
    if (!Resize(width, height)) return false;
    PinGLDriver();
    ReadGLFlags();
    return true;
}

bool THeadlessContext::Resize(int width, int height) {
    if (!Display || !Context) {
        FLastError = "no context";
        return false;
    }
    if (width < 1) width = 1;
    if (height < 1) height = 1;
    auto display = static_cast<EGLDisplay>(Display);
    const EGLint surfaceAttributes[] = {EGL_WIDTH, width, EGL_HEIGHT, height, EGL_NONE};
    EGLSurface surface = eglCreatePbufferSurface(display, static_cast<EGLConfig>(Config), surfaceAttributes);
    if (surface == EGL_NO_SURFACE) {
        FLastError = FormatText("eglCreatePbufferSurface %d x %d failed ($%x)", width, height, eglGetError());
        return false;
    }
    if (!eglMakeCurrent(display, surface, surface, static_cast<EGLContext>(Context))) {
        FLastError = FormatText("eglMakeCurrent failed ($%x)", eglGetError());
        eglDestroySurface(display, surface);
        return false;
    }
    if (Surface) eglDestroySurface(display, static_cast<EGLSurface>(Surface));
    Surface = surface;
    FWidth = width;
    FHeight = height;
    return true;
}

bool THeadlessContext::MakeCurrent() {
    if (!Display || !Context || !Surface) return false;
    eglBindAPI(EGL_OPENGL_API); // per thread
    return eglMakeCurrent(static_cast<EGLDisplay>(Display), static_cast<EGLSurface>(Surface),
                          static_cast<EGLSurface>(Surface), static_cast<EGLContext>(Context)) == EGL_TRUE;
}

void THeadlessContext::SwapBuffers() {
    if (Display && Surface) glFinish();
}

TNativeGLHandles THeadlessContext::NativeHandles() const {
    TNativeGLHandles handles;
    handles.System = TWindowSystem::EGL;
    handles.Display = Display;
    handles.Context = Context;
    handles.Config = Config;
    handles.Drawable = reinterpret_cast<uintptr_t>(Surface);
    return handles;
}
