#include "gl/ContextHandles.h"

#include <epoxy/egl.h>
#include <epoxy/glx.h>

void* GLXFBConfigOfContext(void* display, void* context) {
    if (!display || !context || !epoxy_has_glx(static_cast<Display*>(display))) return nullptr;
    auto* dpy = static_cast<Display*>(display);
    auto ctx = static_cast<GLXContext>(context);
    int configId = 0;
    int screen = 0;
    if (glXQueryContext(dpy, ctx, GLX_FBCONFIG_ID, &configId) != Success ||
        glXQueryContext(dpy, ctx, GLX_SCREEN, &screen) != Success)
        return nullptr;
    const int attributes[] = {GLX_FBCONFIG_ID, configId, None};
    int count = 0;
    GLXFBConfig* configs = glXChooseFBConfig(dpy, screen, attributes, &count);
    if (!configs) return nullptr;
    // An FBConfig is a handle into the display's own tables; it stays valid after the list is freed.
    void* config = count > 0 ? static_cast<void*>(configs[0]) : nullptr;
    XFree(configs);
    return config;
}

void* CurrentEGLDrawSurface() {
    if (!epoxy_has_egl()) return nullptr;
    EGLSurface surface = eglGetCurrentSurface(EGL_DRAW);
    return surface == EGL_NO_SURFACE ? nullptr : surface;
}

void* CurrentGLXContext() {
    return glXGetCurrentContext();
}

uintptr_t CurrentGLXDrawable() {
    return uintptr_t(glXGetCurrentDrawable());
}
