#include "app/OutputWindow.h"

#include "app/QtGLSurface.h"

#include <QGuiApplication>
#include <QKeyEvent>
#include <QOpenGLContext>
#include <QScreen>

#include <algorithm>

int TOutputWindow::ChooseScreen(int requested, int count) {
    if (count <= 0) return -1;
    return requested >= 1 && requested <= count ? requested - 1 : count - 1;
}

TPresentRect TOutputWindow::PictureRect(int screenWidth, int screenHeight, int sourceWidth, int sourceHeight,
                                        bool forceAspect) {
    if (!forceAspect || sourceWidth <= 0 || sourceHeight <= 0) return {0, 0, screenWidth, screenHeight};
    // Compared as products: no rounding decides which edge limits.
    const int64_t wide = int64_t(screenWidth) * sourceHeight;
    const int64_t tall = int64_t(screenHeight) * sourceWidth;
    TPresentRect rect;
    if (wide > tall) {
        rect.Height = screenHeight;
        rect.Width = std::max(1, int(tall / sourceHeight));
    } else {
        rect.Width = screenWidth;
        rect.Height = std::max(1, int(wide / sourceWidth));
    }
    rect.X = (screenWidth - rect.Width) / 2;
    rect.Y = (screenHeight - rect.Height) / 2;
    return rect;
}

TOutputWindow::TOutputWindow(QOpenGLContext& mainContext) : FMain(mainContext) {
    setObjectName(QStringLiteral("OutputWindow"));
    setTitle(QStringLiteral("Lumatex Output"));
    setSurfaceType(QSurface::OpenGLSurface);
    QSurfaceFormat format = TQtGLSurface::RequestedFormat();
    // Waits for the vertical blank: a projected picture must not tear.
    format.setSwapInterval(1);
    setFormat(format);
    setFlags(Qt::Window | Qt::FramelessWindowHint);
    connect(qApp, &QGuiApplication::screenAdded, this, [this](QScreen*) { ScreensChanged(false); });
    connect(qApp, &QGuiApplication::screenRemoved, this,
            [this](QScreen* screen) { ScreensChanged(screen == FScreen.data()); });
}

TOutputWindow::~TOutputWindow() {
    if (FContext && FPresenter && FContext->makeCurrent(this)) {
        FPresenter->ReleaseWindowObjects();
        FContext->doneCurrent();
    }
}

bool TOutputWindow::Open(int requestedScreen) {
    FRequested = requestedScreen;
    PlaceOnScreen();
    create();
    FContext = std::make_unique<QOpenGLContext>();
    FContext->setFormat(format());
    FContext->setShareContext(&FMain);
    FContext->setScreen(screen());
    if (!FContext->create() || !QOpenGLContext::areSharing(FContext.get(), &FMain)) {
        FContext.reset();
        return false;
    }
    FPresenter = std::make_unique<TOutputPresenter>();
    showFullScreen();
    return true;
}

void TOutputWindow::PlaceOnScreen() {
    const QList<QScreen*> screens = QGuiApplication::screens();
    const int index = ChooseScreen(FRequested, int(screens.size()));
    if (index < 0) return;
    FScreen = screens[index];
    setScreen(FScreen);
    setGeometry(FScreen->geometry());
    if (isVisible()) showFullScreen();
}

void TOutputWindow::ScreensChanged(bool mineGone) {
    // Later in the loop: by then the screen list no longer holds a screen being removed.
    QMetaObject::invokeMethod(
        this,
        [this, mineGone] {
            // The only screen left is the main window's: covering it would hide the program.
            if (mineGone && QGuiApplication::screens().size() <= 1) {
                if (OnCloseRequested) OnCloseRequested(true);
                return;
            }
            // Else the screen asked for, or the last one, which may be one that just appeared.
            PlaceOnScreen();
        },
        Qt::QueuedConnection);
}

void TOutputWindow::BeforeFrame(TRenderEngine& engine, int sourceWidth, int sourceHeight, bool forceAspect) {
    if (!FPresenter) return;
    const qreal ratio = devicePixelRatio();
    FRect = PictureRect(int(width() * ratio), int(height() * ratio), sourceWidth, sourceHeight, forceAspect);
    FPresenter->AttachTo(engine, FRect.Width, FRect.Height);
}

void TOutputWindow::AfterFrame(IGLSurface& main) {
    if (!FPresenter || !isExposed() || !FContext->makeCurrent(this)) {
        main.MakeCurrent();
        return;
    }
    const qreal ratio = devicePixelRatio();
    FPresenter->Present(FRect, int(width() * ratio), int(height() * ratio));
    FContext->swapBuffers(this);
    ++FShown;
    main.MakeCurrent();
}

void TOutputWindow::Detach(TRenderEngine* engine) {
    if (FPresenter) FPresenter->ReleaseTarget(engine);
}

void TOutputWindow::keyPressEvent(QKeyEvent* event) {
    if ((event->key() == Qt::Key_Escape || event->key() == Qt::Key_F11) && OnCloseRequested) {
        OnCloseRequested(false);
        return;
    }
    QWindow::keyPressEvent(event);
}
