#include "app/QtGLSurface.h"

#include "gl/ContextHandles.h"

#include <QExposeEvent>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QOffscreenSurface>
#include <QOpenGLContext>
#include <QtGui/qguiapplication_platform.h>
#include <QtGui/qopenglcontext_platform.h>

#include <cmath>
#include <limits>

namespace {

// The offscreen target where the window system has no pixel buffers: a context of Qt's sharing the view's
// objects, current on an offscreen surface. That surface is 1 x 1 or has no pixels at all, so every export
// goes into a framebuffer of the asked size made in this context, and the surface sets no size limit. Qt
// makes every switch here, so its idea of the current context stays true throughout.
class TSharedOffscreenContext : public IPixelBufferSurface {
public:
    TSharedOffscreenContext(QOpenGLContext& main, QWindow& view) : Main(main), View(view) {}
    ~TSharedOffscreenContext() override {
        // The owner has gone back to the view when this context was current; freeing it then changes
        // nothing.
        Context.reset();
        Surface.reset();
    }

    void* CurrentDevice(const TNativeGLHandles&) override { return QOpenGLContext::currentContext(); }

    // One format: the view's, which a context sharing its objects must have anyway.
    bool ChooseFormat(const std::vector<int32_t>&, int& count) override {
        count = 1;
        return true;
    }
    int MaxWidth() const override { return std::numeric_limits<int>::max(); }
    int MaxHeight() const override { return std::numeric_limits<int>::max(); }

    void* CreateBuffer(int, int, int& grantedWidth, int& grantedHeight) override {
        Surface = std::make_unique<QOffscreenSurface>(View.screen());
        Surface->setFormat(Main.format());
        Surface->create();
        if (!Surface->isValid()) {
            Surface.reset();
            return nullptr;
        }
        grantedWidth = grantedHeight = 1;
        return Surface.get();
    }

    void* BufferDrawable() override { return Surface.get(); }

    void* CreateContext(const TNativeGLHandles&) override {
        Context = std::make_unique<QOpenGLContext>();
        Context->setFormat(Main.format());
        Context->setScreen(Main.screen());
        Context->setShareContext(&Main);
        // Qt answers no share context when the platform could not share: the chain's textures and programs
        // would be missing there.
        if (!Context->create() || Context->shareContext() != &Main) Context.reset();
        return Context.get();
    }

    bool MakeBufferCurrent() override { return Context && Surface && Context->makeCurrent(Surface.get()); }
    bool MakePreviousCurrent(const TNativeGLHandles&) override { return Main.makeCurrent(&View); }
    bool BufferCurrent() const override {
        return Context && QOpenGLContext::currentContext() == Context.get();
    }
    bool HoldsPicture() const override { return false; }

private:
    QOpenGLContext& Main;
    QWindow& View;
    std::unique_ptr<QOffscreenSurface> Surface;
    std::unique_ptr<QOpenGLContext> Context;
};

} // namespace

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

std::unique_ptr<IPixelBufferSurface> TQtGLSurface::MakeOffscreenTarget() {
    if (!Context) return nullptr;
    if (!ForceSharedOffscreenContext) {
        const TNativeGLHandles handles = NativeHandles();
        if (PixelBuffersAvailable(handles)) return MakePixelBufferSurface(handles.System);
    }
    return std::make_unique<TSharedOffscreenContext>(*Context, *this);
}

void TQtGLSurface::exposeEvent(QExposeEvent*) {
    if (isExposed() && OnExposed) OnExposed();
}

void TQtGLSurface::TrackPointer(const QMouseEvent* event) {
    const qreal ratio = devicePixelRatio();
    FPointer.X = event->position().x() * ratio;
    FPointer.Y = (height() - event->position().y()) * ratio;
    FPointer.Left = event->buttons().testFlag(Qt::LeftButton);
    FPointer.Right = event->buttons().testFlag(Qt::RightButton);
}

void TQtGLSurface::mouseMoveEvent(QMouseEvent* event) {
    TrackPointer(event);
}

void TQtGLSurface::mouseReleaseEvent(QMouseEvent* event) {
    TrackPointer(event);
}

void TQtGLSurface::mousePressEvent(QMouseEvent* event) {
    TrackPointer(event);
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
