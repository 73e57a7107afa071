// ContextHandles.h: what the window systems tell about a context another library made (the program's Qt
// context), so that a pixel buffer can share objects with it. No window-system headers in the interface:
// handles travel as void*. GUI thread.
#pragma once

#include <cstdint>

// The GLXFBConfig the GLX context was made with on the X display (an Xlib Display*); nullptr when GLX does
// not know the context or has no such config.
void* GLXFBConfigOfContext(void* display, void* context);

// The EGLSurface current for drawing on this thread; nullptr when none is.
void* CurrentEGLDrawSurface();

// The GLX context and drawable current on this thread; nullptr and 0 when none is. Only where GLX exists
// (an X display is open): asking loads the GLX library.
void* CurrentGLXContext();
uintptr_t CurrentGLXDrawable();
