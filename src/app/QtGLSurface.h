// QtGLSurface.h: the OpenGL view of the main window, a QWindow with an OpenGL surface (compatibility
// profile, double buffer, depth 24, no wait for the vertical blank) and the program's one rendering context,
// seen by the engine through IGLSurface. It sits in a window container between the menu bar and the bottom
// panel. Makes no GL call of its own. The input it receives belongs to the main window and is handed on.
// GUI thread only.
#pragma once

#include "gl/GLSurface.h"

#include <QWindow>

#include <functional>
#include <memory>
#include <string>

class QOpenGLContext;
class QMouseEvent;
class QKeyEvent;

class TQtGLSurface : public QWindow, public IGLSurface {
public:
    TQtGLSurface();
    ~TQtGLSurface() override; // releases the context if that has not happened yet

    // What the view asks of the window system.
    static QSurfaceFormat RequestedFormat();

    // Creates the platform window and the context and makes it current. False, with the reason in
    // LastError, when no context can be made or the one made has no compatibility profile (the engine draws
    // with the fixed-function pipeline).
    bool CreateContext();
    // No context current, the context destroyed; errors are ignored. Safe to call twice.
    void ReleaseContext();
    bool HasContext() const { return Context != nullptr; }
    const std::string& LastError() const { return FLastError; }
    // The one rendering context, for a window that shares its objects (the output window); null without.
    QOpenGLContext* GLContext() const { return Context.get(); }

    bool MakeCurrent() override;
    void SwapBuffers() override; // nothing while the window is not exposed: nothing would be shown
    int Width() const override;  // device pixels
    int Height() const override;
    TNativeGLHandles NativeHandles() const override;
    // An export draws into a pixel buffer of the window system when it offers one (GLX or EGL pbuffers),
    // otherwise into a framebuffer in a context of Qt's that shares this one's objects, made current on an
    // offscreen surface. Nullptr without a context.
    std::unique_ptr<IPixelBufferSurface> MakeOffscreenTarget() override;
    // The second way even where pixel buffers exist, for trying it on any machine.
    bool ForceSharedOffscreenContext = false;

    // Input on the view, handed to the main window.
    std::function<void(QMouseEvent*)> OnMousePress;
    std::function<void(QMouseEvent*)> OnMouseDoubleClick;
    std::function<void(QKeyEvent*)> OnKeyPress;
    // The view became visible or was uncovered and needs its picture again.
    std::function<void()> OnExposed;

    // Where the pointer was last seen over the view, in device pixels from the bottom left, and which
    // buttons are down; plain values for the plugins that ask for the pointer.
    struct TPointer {
        double X = 0.0;
        double Y = 0.0;
        bool Left = false;
        bool Right = false;
    };
    const TPointer& Pointer() const { return FPointer; }

protected:
    void exposeEvent(QExposeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    void TrackPointer(const QMouseEvent* event);
    TPointer FPointer;
    std::unique_ptr<QOpenGLContext> Context;
    std::string FLastError;
};
