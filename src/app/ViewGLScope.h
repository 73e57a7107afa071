// ViewGLScope.h: GL work from the Qt side. For as long as it lives, the surface's context is current and
// the work is marked as GL work, so that a message raised inside waits for the event loop instead of
// opening a modal box (and its nested loop) in the middle of drawing. Every piece of GL work the windows
// start goes through it. GUI thread only; scopes nest.
#pragma once

#include "app/QtMessageSink.h"
#include "gl/GLSurface.h"

class TViewGLScope {
public:
    // A null surface marks the work only (no context to make current, as before start-up).
    explicit TViewGLScope(IGLSurface* surface) {
        if (surface) FCurrent = surface->MakeCurrent();
    }
    explicit TViewGLScope(IGLSurface& surface) : TViewGLScope(&surface) {}
    TViewGLScope(const TViewGLScope&) = delete;
    TViewGLScope& operator=(const TViewGLScope&) = delete;

    // Whether the surface's context was made current: GL calls that need it ask first.
    bool Current() const { return FCurrent; }

private:
    // Opened before the context is made current, closed after the work: nothing shows in between.
    TGLWorkScope FWork;
    bool FCurrent = false;
};
