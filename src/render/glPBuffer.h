// glPBuffer.h: TPixelBuffer, an offscreen drawing surface of a chosen size with an OpenGL context of its own
// that shares textures, programs and display lists with the context current before it (the main one), and
// the switch between the two. The window system's half (gl/PixelBufferSurface.h) makes the buffer: an EGL
// pbuffer under the headless context and EGL, a GLX pbuffer under the program's GLX context, or what the
// main surface brings where neither exists. Each creation step is recorded in Log; nothing is reported
// otherwise. GUI thread only.
#pragma once

#include "gl/GLSurface.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class TPixelBuffer {
public:
    explicit TPixelBuffer(void* owner = nullptr) : Owner(owner) {}
    TPixelBuffer(const TPixelBuffer&) = delete;
    TPixelBuffer& operator=(const TPixelBuffer&) = delete;
    // Returns to the previous context when the buffer's own is current, then deletes context and surface.
    ~TPixelBuffer();

    // Creates a width x height buffer and its context, sharing objects with previous.Context, and makes it
    // current. A failing step adds its line to Log and ends here: the previous context stays current and
    // the answer is false. `previous` is also what Disable returns to. The window system's half is the
    // pixel buffer of previous.System, or the one given (IGLSurface::MakeOffscreenTarget); none fails the
    // second step.
    bool Create(int width, int height, const TNativeGLHandles& previous);
    bool Create(int width, int height, const TNativeGLHandles& previous,
                std::unique_ptr<IPixelBufferSurface> windowSystem);

    bool Enable();  // the buffer's context current on the buffer
    bool Disable(); // the previous context current again
    bool Valid() const { return BufferRC != nullptr && BufferDC != nullptr; }
    // Whether the buffer's own pixels take the picture (see IPixelBufferSurface::HoldsPicture).
    bool HoldsPicture() const { return WindowSystem && WindowSystem->HoldsPicture(); }

    std::vector<std::string> Log;
    void* BufferDC = nullptr;     // what the buffer's context draws into (the pbuffer itself under EGL, GLX)
    void* BufferRC = nullptr;     // EGLContext, GLXContext, or the surface's own
    TNativeGLHandles Previous;    // display, context and drawable to return to
    void* BufferHandle = nullptr; // the pbuffer (EGLSurface, GLXPbuffer)
    int Width = 0;
    int Height = 0;
    // The largest buffer the chosen pixel format allows, known once Create has chosen it (0 before).
    int MaxWidth = 0;
    int MaxHeight = 0;

    // The pixel format asked for, the window system's attribute/value pairs with its end mark; empty: the
    // window system's default (EglPixelFormatAttributes, GlxPixelFormatAttributes).
    std::vector<int32_t> PixelFormatAttributes;

    void* Owner; // not used by the buffer itself

private:
    void Release();

    std::unique_ptr<IPixelBufferSurface> WindowSystem;
};
