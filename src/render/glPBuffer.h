// glPBuffer.h: TPixelBuffer, an offscreen drawing surface of a chosen size with an OpenGL context of its own
// that shares textures, programs and display lists with the context current before it (the main one), and
// the switch between the two. Built on EGL pbuffers: the headless context and EGL window systems provide
// them. Each creation step is recorded in Log; nothing is reported otherwise. GUI thread only.
#pragma once

#include "gl/GLSurface.h"

#include <cstdint>
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
    // the answer is false. `previous` is also what Disable returns to.
    bool Create(int width, int height, const TNativeGLHandles& previous);

    bool Enable();  // the buffer's context current on the buffer
    bool Disable(); // the previous context current again
    bool Valid() const { return BufferRC != nullptr && BufferDC != nullptr; }

    std::vector<std::string> Log;
    void* BufferDC = nullptr;     // EGLSurface drawn into (the pbuffer itself under EGL)
    void* BufferRC = nullptr;     // EGLContext
    TNativeGLHandles Previous;    // display, context and drawable to return to
    void* BufferHandle = nullptr; // EGLSurface of the pbuffer
    int Width = 0;
    int Height = 0;
    // The largest buffer the chosen pixel format allows, known once Create has chosen it (0 before).
    int MaxWidth = 0;
    int MaxHeight = 0;

    // The config the buffer asks for, EGL attribute/value pairs ending in EGL_NONE: 8-bit red, green, blue
    // and alpha (the captures read 8 bits a channel), depth 24, OpenGL, pbuffer drawable.
    std::vector<int32_t> PixelFormatAttributes = DefaultPixelFormatAttributes();
    static std::vector<int32_t> DefaultPixelFormatAttributes();

    void* Owner; // not used by the buffer itself

private:
    void Release();

    void* Display = nullptr; // EGLDisplay the buffer lives on
};
