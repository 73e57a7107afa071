#include "gl/GLSurface.h"

std::unique_ptr<IPixelBufferSurface> MakePixelBufferSurface(TWindowSystem system) {
    switch (system) {
    case TWindowSystem::EGL:
        return MakeEglPixelBuffer();
    case TWindowSystem::GLX:
        return MakeGlxPixelBuffer();
    case TWindowSystem::None:
        break;
    }
    return nullptr;
}

bool PixelBuffersAvailable(const TNativeGLHandles& main) {
    switch (main.System) {
    case TWindowSystem::EGL:
        return EglPixelBuffersAvailable(main);
    case TWindowSystem::GLX:
        return GlxPixelBuffersAvailable(main);
    case TWindowSystem::None:
        break;
    }
    return false;
}

std::unique_ptr<IPixelBufferSurface> IGLSurface::MakeOffscreenTarget() {
    return MakePixelBufferSurface(NativeHandles().System);
}
