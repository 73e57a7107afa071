#include "app/QtGLSurface.h"

#include "gl/ContextHandles.h"

#include <QExposeEvent>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QOpenGLContext>
#include <QtGui/qguiapplication_platform.h>
#include <QtGui/qopenglcontext_platform.h>

#include <cmath>

TQtGLSurface::TQtGLSurface() {
    setSurfaceType(QSurface::OpenGLSurface);
    setFormat(RequestedFormat());
}

TQtGLSurface::~TQtGLSurface() {
    ReleaseContext();
}

QSurfaceFormat TQtGLSurface::RequestedFormat() {
    QSurfaceFormat format;
    format.setRenderableType(QSurfaceFormat::OpenGL);
    // 2.1 has no profiles, so the driver hands out its compatibility context; the option keeps Qt from
    // asking for a core profile should a later version be requested.
    format.setVersion(2, 1);
    format.setProfile(QSurfaceFormat::CompatibilityProfile);
    format.setOption(QSurfaceFormat::DeprecatedFunctions);
    format.setSwapBehavior(QSurfaceFormat::DoubleBuffer);
    format.setRedBufferSize(8);
    format.setGreenBufferSize(8);
    format.setBlueBufferSize(8);
    format.setDepthBufferSize(24);
    format.setStencilBufferSize(0);
    format.setSwapInterval(0);
    return format;
}

bool TQtGLSurface::CreateContext() {
    ReleaseContext();
    create();
    auto context = std::make_unique<QOpenGLContext>();
    context->setFormat(RequestedFormat());
    if (!context->create()) {
        FLastError = "No OpenGL context could be created for the view.";
        return false;
    }
    if (context->format().profile() == QSurfaceFormat::CoreProfile) {
        FLastError =
            "The OpenGL context offers only the core profile; the view needs the compatibility profile.";
        return false;
    }
    if (!context->makeCurrent(this)) {
        FLastError = "The OpenGL context cannot be made current on the view.";
        return false;
    }
    Context = std::move(context);
    return true;
}

void TQtGLSurface::ReleaseContext() {
    if (!Context) return;
    Context->doneCurrent();
    Context.reset();
}

bool TQtGLSurface::MakeCurrent() {
    // Always asked of the window system: a pixel buffer may have made its own context current behind Qt's
    // back, so Qt's idea of the current context is no proof.
    return Context && Context->makeCurrent(this);
}

void TQtGLSurface::SwapBuffers() {
    if (Context && isExposed()) Context->swapBuffers(this);
}

int TQtGLSurface::Width() const {
    return int(std::lround(width() * devicePixelRatio()));
}

int TQtGLSurface::Height() const {
    return int(std::lround(height() * devicePixelRatio()));
}

TNativeGLHandles TQtGLSurface::NativeHandles() const {
    TNativeGLHandles handles;
    if (!Context) return handles;
    if (auto* glx = Context->nativeInterface<QNativeInterface::QGLXContext>()) {
        auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
        handles.System = TWindowSystem::GLX;
        handles.Display = x11 ? static_cast<void*>(x11->display()) : nullptr;
        handles.Context = glx->nativeContext();
        handles.Config = GLXFBConfigOfContext(handles.Display, handles.Context);
        handles.Drawable = uintptr_t(winId());
    } else if (auto* egl = Context->nativeInterface<QNativeInterface::QEGLContext>()) {
        handles.System = TWindowSystem::EGL;
        handles.Display = egl->display();
        handles.Context = egl->nativeContext();
        handles.Config = egl->config();
        // Qt keeps the window's EGL surface to itself; it is the one current while the view's context is.
        if (QOpenGLContext::currentContext() == Context.get())
            handles.Drawable = uintptr_t(CurrentEGLDrawSurface());
    }
    return handles;
}

void TQtGLSurface::exposeEvent(QExposeEvent*) {
    if (isExposed() && OnExposed) OnExposed();
}

void TQtGLSurface::mousePressEvent(QMouseEvent* event) {
    if (OnMousePress) OnMousePress(event);
}

void TQtGLSurface::mouseDoubleClickEvent(QMouseEvent* event) {
    if (OnMouseDoubleClick) OnMouseDoubleClick(event);
}

void TQtGLSurface::keyPressEvent(QKeyEvent* event) {
    if (OnKeyPress)
        OnKeyPress(event);
    else
        QWindow::keyPressEvent(event);
}
