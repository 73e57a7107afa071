// GLSurface.h: what the engine needs of the window it draws into. The headless EGL surface implements it
// for tests and the command-line renderer; the Qt main window brings its own. GUI thread only.
#pragma once

#include "gl/PixelBufferSurface.h"

#include <memory>

class IGLSurface {
public:
    virtual ~IGLSurface() = default;
    virtual bool MakeCurrent() = 0;
    virtual void SwapBuffers() = 0;
    virtual int Width() const = 0; // drawing area in pixels
    virtual int Height() const = 0;
    virtual TNativeGLHandles NativeHandles() const = 0;
    // The window-system half of the offscreen target an export draws into, for a buffer whose context
    // shares objects with this surface's. By default the pixel buffer of NativeHandles().System (nullptr
    // for None); a surface whose window system offers none brings another.
    virtual std::unique_ptr<IPixelBufferSurface> MakeOffscreenTarget();
};
