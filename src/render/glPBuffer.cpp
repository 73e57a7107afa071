#include "render/glPBuffer.h"

#include "gl/HeadlessContext.h"

#include "platform/ELumatex.h"

#include <epoxy/egl.h>

#include <array>

namespace {

constexpr EGLint kMaxFormats = 65;

std::string HandleText(const void* handle) {
    return std::to_string(reinterpret_cast<uintptr_t>(handle));
}

} // namespace

std::vector<int32_t> TPixelBuffer::DefaultPixelFormatAttributes() {
    return EglPixelFormatAttributes();
}

TPixelBuffer::~TPixelBuffer() {
    Release();
}

void TPixelBuffer::Release() {
    if (!Display) return;
    auto display = static_cast<EGLDisplay>(Display);
    // A context that is still current would only be marked for deletion; go back first.
    if (BufferRC && eglGetCurrentContext() == static_cast<EGLContext>(BufferRC)) Disable();
    if (BufferRC) eglDestroyContext(display, static_cast<EGLContext>(BufferRC));
    if (BufferHandle) eglDestroySurface(display, static_cast<EGLSurface>(BufferHandle));
    BufferRC = BufferDC = BufferHandle = nullptr;
    Display = nullptr;
}

bool TPixelBuffer::Create(int width, int height, const TNativeGLHandles& previous) {
    Release(); // a second Create replaces the first buffer
    Width = width;
    Height = height;
    Previous = previous;
    MaxWidth = MaxHeight = 0;
    Log.clear();

    Log.push_back(FormatText("PixelBuffer->Creating->Width=%d Height=%d", width, height));

    // The display of the context current at the call (the main window's) stands for its device context.
    EGLDisplay display = eglGetCurrentDisplay();
    if (display == EGL_NO_DISPLAY) {
        Log.push_back("PixelBuffer->wglGetCurrentDC->Couldn't obtain valid device context");
        return false;
    }
    Display = display;
    Log.push_back("PixelBuffer->wglGetCurrentDC->Obtained valid DC : " + HandleText(display));

    std::array<EGLConfig, kMaxFormats> formats{}; // zero-filled: a count of 0 leaves the first format null
    EGLint count = 0;
    if (!eglChooseConfig(display, PixelFormatAttributes.data(), formats.data(), kMaxFormats, &count)) {
        Log.push_back("PixelBuffer->wglChoosePixelFormatARB->No suitable pixelformat found");
        return false;
    }
    Log.push_back(FormatText("PixelBuffer->wglChoosePixelFormatARB->%d suitable pixelformats found", count));

    // EGL sorts deeper configs first and Mesa offers 10-bit ones; the first with exactly the asked sizes
    // wins.
    EGLConfig format = formats[0];
    for (EGLint i = 0; i < count; ++i) {
        EGLint r = 0, g = 0, b = 0, a = 0;
        eglGetConfigAttrib(display, formats[size_t(i)], EGL_RED_SIZE, &r);
        eglGetConfigAttrib(display, formats[size_t(i)], EGL_GREEN_SIZE, &g);
        eglGetConfigAttrib(display, formats[size_t(i)], EGL_BLUE_SIZE, &b);
        eglGetConfigAttrib(display, formats[size_t(i)], EGL_ALPHA_SIZE, &a);
        if (r == 8 && g == 8 && b == 8 && a == 8) {
            format = formats[size_t(i)];
            break;
        }
    }

    // Mesa creates any size and allocates at the first draw, where an absurd size fails far from here; so
    // the config's pbuffer limits are checked first.
    EGLint maxWidth = 0, maxHeight = 0;
    if (format) {
        eglGetConfigAttrib(display, format, EGL_MAX_PBUFFER_WIDTH, &maxWidth);
        eglGetConfigAttrib(display, format, EGL_MAX_PBUFFER_HEIGHT, &maxHeight);
    }
    MaxWidth = maxWidth;
    MaxHeight = maxHeight;
    const bool sizeFits = width >= 1 && height >= 1 && width <= maxWidth && height <= maxHeight;
    const EGLint bufferAttributes[] = {EGL_WIDTH, width, EGL_HEIGHT, height, EGL_NONE};
    EGLSurface buffer =
        sizeFits ? eglCreatePbufferSurface(display, format, bufferAttributes) : EGL_NO_SURFACE;
    if (buffer == EGL_NO_SURFACE) {
        Log.push_back("PixelBuffer->wglCreatePBufferARB->Couldn't obtain valid handle");
        return false;
    }
    BufferHandle = buffer;
    EGLint grantedWidth = 0, grantedHeight = 0;
    eglQuerySurface(display, buffer, EGL_WIDTH, &grantedWidth);
    eglQuerySurface(display, buffer, EGL_HEIGHT, &grantedHeight);
    Log.push_back(FormatText("PixelBuffer->wglCreatePBufferARB->PixelBuffer successfully created.Received "
                             "size : Width=%d Height=%d",
                             grantedWidth, grantedHeight));

    // Under EGL the pbuffer surface is also what gets drawn into.
    BufferDC = BufferHandle;
    Log.push_back("PixelBuffer->wglGetPBufferDCARB->Recieved valid DC for PBuffer : " + HandleText(BufferDC));

    // Sharing is settled when the context is made: textures and programs of the main context are visible.
    eglBindAPI(EGL_OPENGL_API);
    const EGLint contextAttributes[] = {EGL_CONTEXT_MAJOR_VERSION, 2, EGL_CONTEXT_MINOR_VERSION, 1, EGL_NONE};
    // A context that cannot share with the previous one would draw without the chain's textures and programs.
    const bool canShare =
        previous.System == TWindowSystem::EGL && previous.Display == Display && previous.Context;
    EGLContext context =
        canShare
            ? eglCreateContext(display, format, static_cast<EGLContext>(previous.Context), contextAttributes)
            : EGL_NO_CONTEXT;
    if (context == EGL_NO_CONTEXT) {
        Log.push_back("PixelBuffer->wglGetPBufferDCARB->Couldn't create rendercontext for PBuffer");
        return false;
    }
    BufferRC = context;
    Log.push_back("PixelBuffer->wglCreateContext->Created rendercontext for PBuffer : " +
                  HandleText(BufferRC));

    return Enable();
}

bool TPixelBuffer::Enable() {
    if (!Valid()) return false;
    auto surface = static_cast<EGLSurface>(BufferDC);
    return eglMakeCurrent(static_cast<EGLDisplay>(Display), surface, surface,
                          static_cast<EGLContext>(BufferRC)) == EGL_TRUE;
}

bool TPixelBuffer::Disable() {
    if (Previous.System != TWindowSystem::EGL || !Previous.Display) return false;
    auto surface = reinterpret_cast<EGLSurface>(Previous.Drawable);
    eglBindAPI(EGL_OPENGL_API);
    return eglMakeCurrent(static_cast<EGLDisplay>(Previous.Display), surface, surface,
                          static_cast<EGLContext>(Previous.Context)) == EGL_TRUE;
}
