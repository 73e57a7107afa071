// GLSurface.h: what the engine needs of the window it draws into. The headless EGL surface implements it
// for tests and the command-line renderer; the Qt main window brings its own. GUI thread only.
#pragma once

#include <cstdint>

enum class TWindowSystem { None, EGL, GLX };

// Native handles, for making a pixel buffer whose context shares objects with the main context.
struct TNativeGLHandles {
    TWindowSystem System = TWindowSystem::None;
    void* Display = nullptr; // EGLDisplay or X11 Display*
    void* Context = nullptr; // EGLContext or GLXContext
    void* Config = nullptr;  // EGLConfig or GLXFBConfig of the main context
    uintptr_t Drawable = 0;  // EGLSurface or GLXDrawable current for drawing
};

class IGLSurface {
public:
    virtual ~IGLSurface() = default;
    virtual bool MakeCurrent() = 0;
    virtual void SwapBuffers() = 0;
    virtual int Width() const = 0; // drawing area in pixels
    virtual int Height() const = 0;
    virtual TNativeGLHandles NativeHandles() const = 0;
};
