// HeadlessContext.h: an OpenGL compatibility-profile context with no X server: EGL on Mesa's surfaceless
// platform, drawing into a single-buffered pbuffer surface that stands in for the main window's client
// area. Used by the tests and the command-line renderer. One thread; the context is current after Create.
#pragma once

#include "gl/GLSurface.h"

#include <cstdint>
#include <string>
#include <vector>

class THeadlessContext : public IGLSurface {
public:
    THeadlessContext() = default;
    THeadlessContext(const THeadlessContext&) = delete;
    THeadlessContext& operator=(const THeadlessContext&) = delete;
    ~THeadlessContext() override; // releases and destroys surface, context and display connection

    // Creates display, context and a width x height pbuffer and makes them current. On failure answers
    // false and leaves the reason in LastError.
    bool Create(int width, int height);
    // A new drawing area of the given size; the context (and every object in it) is kept.
    bool Resize(int width, int height);

    bool MakeCurrent() override;
    void SwapBuffers() override; // a pbuffer has one buffer: nothing to swap, but glFinish like a swap would
    int Width() const override { return FWidth; }
    int Height() const override { return FHeight; }
    TNativeGLHandles NativeHandles() const override;

    const std::string& LastError() const { return FLastError; }

private:
    void Destroy();

    void* Display = nullptr;
    void* Config = nullptr;
    void* Context = nullptr;
    void* Surface = nullptr;
    int FWidth = 0;
    int FHeight = 0;
    std::string FLastError;
};
