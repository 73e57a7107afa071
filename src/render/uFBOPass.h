// uFBOPass.h: TFBOPassScope, where one drawing pass draws: its framebuffer (or the context's own one), its
// viewport and the top-down orthographic projection over its picture. Every pass of the chain, the HUD and
// the offscreen save draw inside one, so binding, viewport and matrices are set in one place and put back
// on every way out, an exception included.
// GUI thread; the context the pass draws in stays current from construction to destruction.
#pragma once

#include "gl/GL.h"

class TFBO;

// A rectangle of the target in pixels, lower-left corner first (OpenGL's convention: y from the bottom).
struct TPassViewport {
    int X = 0;
    int Y = 0;
    int Width = 0;
    int Height = 0;
};

// What a pass leaves behind of its viewport and matrices; the framebuffer binding is put back either way.
enum class TPassEnd {
    Restore, // the viewport and both matrices it found
    Keep,    // its own: those of the pass to the window are the view's resting state between frames
};

class TFBOPassScope {
public:
    // Binds target (nullptr: the context's own framebuffer), sets viewport, and loads glOrtho(0, width,
    // height, 0, -1, 1), y growing downwards, with an identity modelview. A target that fails its
    // completeness check raises its status text with the binding found put back.
    TFBOPassScope(TFBO* target, TPassViewport viewport, int width, int height,
                  TPassEnd end = TPassEnd::Restore);
    ~TFBOPassScope();
    TFBOPassScope(const TFBOPassScope&) = delete;
    TFBOPassScope& operator=(const TFBOPassScope&) = delete;

private:
    void BindFound();

    TPassEnd End;
    GLint FoundFramebuffer = 0;
    GLint FoundViewport[4] = {};
};
