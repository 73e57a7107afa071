// PixelBufferSurface.h: the window-system half of a pixel buffer: an offscreen drawable of a chosen size
// with a context of its own that shares textures, programs and display lists with the main context, made in
// the steps the pixel buffer logs one by one. EGL and GLX bring theirs here; a surface without either (the
// Qt program on a platform without pixel buffers) brings its own. No window-system headers in the
// interface: handles travel as void*. GUI thread only.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

enum class TWindowSystem { None, EGL, GLX };

// Native handles, for making a pixel buffer whose context shares objects with the main context.
struct TNativeGLHandles {
    TWindowSystem System = TWindowSystem::None;
    void* Display = nullptr; // EGLDisplay or X11 Display*
    void* Context = nullptr; // EGLContext or GLXContext
    void* Config = nullptr;  // EGLConfig or GLXFBConfig of the main context
    uintptr_t Drawable = 0;  // EGLSurface or GLXDrawable current for drawing
};

// One buffer at a time; the steps run in order, each only after the one before succeeded. Destruction
// releases whatever exists; the owner returns to the previous context first when the buffer's is current.
class IPixelBufferSurface {
public:
    virtual ~IPixelBufferSurface() = default;

    // The display of the context current now (the main one), standing for its device context; nullptr
    // when none can be found.
    virtual void* CurrentDevice(const TNativeGLHandles& previous) = 0;
    // Chooses the format from the formats matching `attributes` (the window system's own attribute/value
    // pairs, terminated by its end mark; empty: the buffer's default). False when the call itself failed;
    // count is how many matched, and with 0 no format is chosen.
    virtual bool ChooseFormat(const std::vector<int32_t>& attributes, int& count) = 0;
    // The largest buffer the chosen format allows; 0 before a format is chosen.
    virtual int MaxWidth() const = 0;
    virtual int MaxHeight() const = 0;
    // The buffer of width x height (within the limits above) and the size granted; nullptr when not made.
    virtual void* CreateBuffer(int width, int height, int& grantedWidth, int& grantedHeight) = 0;
    // What the buffer's context draws into; nullptr when there is none.
    virtual void* BufferDrawable() = 0;
    // The buffer's context, sharing objects with previous.Context; nullptr when it cannot be made so.
    virtual void* CreateContext(const TNativeGLHandles& previous) = 0;

    virtual bool MakeBufferCurrent() = 0;
    virtual bool MakePreviousCurrent(const TNativeGLHandles& previous) = 0;
    virtual bool BufferCurrent() const = 0; // the buffer's context is the thread's current one
    // Whether the buffer's own pixels take the picture. False for a surface that only gives the context a
    // place to be current: the picture then goes into a framebuffer of the asked size in that context.
    virtual bool HoldsPicture() const { return true; }
};

// The pixel buffer of a window system; nullptr for None.
std::unique_ptr<IPixelBufferSurface> MakePixelBufferSurface(TWindowSystem system);
std::unique_ptr<IPixelBufferSurface> MakeEglPixelBuffer();
std::unique_ptr<IPixelBufferSurface> MakeGlxPixelBuffer();

// Whether the display of `main` offers a format for pixel buffers with the default attributes.
bool PixelBuffersAvailable(const TNativeGLHandles& main);
bool EglPixelBuffersAvailable(const TNativeGLHandles& main);
bool GlxPixelBuffersAvailable(const TNativeGLHandles& main);

// The attributes each window system's pixel buffer asks for by default: 8 bits for red, green, blue and
// alpha (the captures read 8 bits a channel), no depth buffer required, a pbuffer drawable,
// single-buffered.
std::vector<int32_t> GlxPixelFormatAttributes();
// 8-bit red, green, blue and alpha, OpenGL, pbuffer drawable, a depth buffer of at least depthBits. Defined
// beside the headless context, which asks the same with a depth of 24; the pixel buffer asks for none, as
// the export never tests depth and a depth buffer would cost as much memory as the picture.
std::vector<int32_t> EglPixelFormatAttributes(int depthBits = 24);
