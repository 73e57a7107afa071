// The main window as a window: the viewer mode and the layout of the views, showing with the stored
// placement, closing with the settings written, state changes, and mouse, key and drop input.
#include "app/Form_Master.h"

#include "app/ImageViewer.h"
#include "app/QtGLSurface.h"
#include "app/ViewGLScope.h"
#include "app/ViewLayout.h"
#include "platform/MessageSink.h"
#include "platform/WindowPlacement.h"
#include "render/uRenderEngine.h"

#include <QAction>
#include <QCloseEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMenuBar>
#include <QMimeData>
#include <QMouseEvent>
#include <QScreen>
#include <QTimer>
#include <QUrl>
#include <QWindowStateChangeEvent>

namespace {

bool IsPlainRightClick(const QMouseEvent* event) {
    return event->button() == Qt::RightButton && event->buttons() == Qt::RightButton &&
           event->modifiers() == Qt::NoModifier;
}

// The first dropped item when it is a local file, else empty.
QString DroppedFile(const QMimeData* data) {
    if (!data || !data->hasUrls() || data->urls().isEmpty() || !data->urls().first().isLocalFile())
        return QString();
    return data->urls().first().toLocalFile();
}

} // namespace

void TForm_Master::ShowPanelsForMediaKind() {
    if (MediaKind == TMediaKind::Video) {
        Panel_DS->show();
        Panel_IMG->hide();
    } else if (MediaKind == TMediaKind::Image) {
        Panel_DS->hide();
        Panel_IMG->show();
    }
}

void TForm_Master::SetViewerMode(int mode) {
    const char* modeText = nullptr;
    switch (TViewerMode(mode)) {
    case TViewerMode::Dual:
        Settings.Show_VideoRenderer = true;
        Settings.Show_GLRenderer = true;
        modeText = kStatusDualView;
        break;
    case TViewerMode::VideoOnly:
        Settings.Show_VideoRenderer = true;
        Settings.Show_GLRenderer = false;
        modeText = kStatusDirectShowViewer;
        break;
    case TViewerMode::GLOnly:
        Settings.Show_VideoRenderer = false;
        Settings.Show_GLRenderer = true;
        modeText = kStatusOpenGLRenderer;
        break;
    case TViewerMode::PanelRefresh:
        if (Settings.Show_VideoRenderer) {
            ShowPanelsForMediaKind();
        } else if (Settings.Show_GLRenderer &&
                   (MediaKind == TMediaKind::Video || MediaKind == TMediaKind::Image)) {
            Panel_DS->hide();
            Panel_IMG->hide();
        }
        return;
    default:
        return;
    }
    SyncViewFlags();
    Action_ShowBoth->setChecked(mode == int(TViewerMode::Dual));
    Action_ShowDS->setChecked(mode == int(TViewerMode::VideoOnly));
    Action_ShowGL->setChecked(mode == int(TViewerMode::GLOnly));
    if (mode == int(TViewerMode::GLOnly)) {
        Panel_DS->hide();
        Panel_IMG->hide();
    } else {
        ShowPanelsForMediaKind();
    }
    SetStatusText(spViewerMode, QString::fromLatin1(modeText));
    // The source is opened again: a video's grabber is attached only while the OpenGL view is on.
    if (MediaKind != TMediaKind::None) {
        try {
            StartPlayer(true);
        } catch (const std::exception&) {
        }
    }
}

int TForm_Master::MenuBarHeight(int clientWidth) const {
    // What the main window's layout gives the menu bar, also before the window was laid out once.
    return ActionMainMenuBar1->hasHeightForWidth() ? ActionMainMenuBar1->heightForWidth(clientWidth)
                                                   : ActionMainMenuBar1->sizeHint().height();
}

void TForm_Master::LayoutViews(int clientWidth, int clientHeight) {
    TViewLayoutInput in;
    in.ClientWidth = clientWidth;
    in.ClientHeight = clientHeight;
    in.MenuBarHeight = MenuBarHeight(clientWidth);
    in.BottomPanelHeight = kBottomPanelHeight;
    in.StatusBarHeight = kStatusBarHeight;
    in.VideoWidth = VideoWidth;
    in.VideoHeight = VideoHeight;
    in.ShowVideo = Settings.Show_VideoRenderer;
    in.ShowGL = Settings.Show_GLRenderer;
    in.ForceAspectRatio = Settings.ForceAspectRatio;
    const TViewLayout layout = ComputeViewLayout(in);

    // The panels live in the client widget, which starts below the menu bar.
    const QRect panel(layout.PanelLeft, layout.PanelTop - in.MenuBarHeight, layout.PanelWidth,
                      layout.PanelHeight);
    Panel_DS->setGeometry(panel);
    VideoWindow->setGeometry(0, 0, panel.width(), panel.height());
    Panel_IMG->setGeometry(panel);
    IMG_Viewer->setGeometry(0, 0, panel.width(), panel.height());

    TRenderEngine* engine = Engine();
    if (!engine || !FGLView->HasContext()) return;
    // The OpenGL view's window ends where the bottom panel starts; GL counts y from that edge.
    const qreal scale = FGLView->devicePixelRatio();
    const int y = layout.GLY - (kBottomPanelHeight + kStatusBarHeight);
    TViewGLScope work(FGLView);
    engine->SetViewport(qRound(layout.GLWidth * scale), qRound(layout.GLHeight * scale),
                        qRound(layout.GLX * scale), qRound(y * scale));
    engine->ClearView();
}

void TForm_Master::FormShow() {
    Action_RenderGL->setChecked(Settings.RenderGLWindow);
    Action_HUD->setChecked(Settings.RenderHUD);
    Action_Aspect->setChecked(Settings.ForceAspectRatio);
    SetLoop(Settings.Loop);
    SetMute(Settings.Mute);
    SetVolume(Settings.Volume);
    SetListenTo(Settings.ListenTo);
    ApplyPluginSettings();
    if (Settings.Show_VideoRenderer && Settings.Show_GLRenderer) {
        Action_ShowBoth->setChecked(true);
    } else {
        Action_ShowDS->setChecked(Settings.Show_VideoRenderer);
        Action_ShowGL->setChecked(Settings.Show_GLRenderer);
    }
    if (Action_ShowBoth->isChecked())
        SetViewerMode(int(TViewerMode::Dual));
    else if (Action_ShowDS->isChecked())
        SetViewerMode(int(TViewerMode::VideoOnly));
    else if (Action_ShowGL->isChecked())
        SetViewerMode(int(TViewerMode::GLOnly));

    // The handler runs directly: the action itself is disabled while no source is open.
    switch (Settings.FBOSize) {
    case 256:
        SetFBOSize(1);
        break;
    case 512:
        SetFBOSize(2);
        break;
    case 1024:
        SetFBOSize(3);
        break;
    }
    ShowShaderPluginChain(Settings.Show_ShaderPluginChain);
    ApplyStoredPlacement();
}

void TForm_Master::ApplyStoredPlacement() {
    QScreen* display = screen() ? screen() : QGuiApplication::primaryScreen();
    const QSize screenSize = display ? display->geometry().size() : QSize(1024, 768);
    const TWindowPlacement placement =
        ClampToScreen({Settings.main_left, Settings.main_top, Settings.main_width, Settings.main_height},
                      screenSize.width(), screenSize.height());
    Settings.main_left = placement.Left;
    Settings.main_top = placement.Top;
    Settings.main_width = placement.Width;
    Settings.main_height = placement.Height;
    move(placement.Left, placement.Top);
    resize(placement.Width, placement.Height);
    if (Settings.main_maximized) setWindowState(windowState() | Qt::WindowMaximized);
}

void TForm_Master::showEvent(QShowEvent* event) {
    QMainWindow::showEvent(event);
    // Only the program's own show, not the window system telling that the window was mapped again.
    if (!event->spontaneous() && FCreated) FormShow();
}

void TForm_Master::closeEvent(QCloseEvent* event) {
    if (ChainWindow) {
        Settings.spc_left = ChainWindow->x();
        Settings.spc_top = ChainWindow->y();
    }
    if (!Settings.main_maximized) {
        if (y() > 0) Settings.main_top = y();
        if (x() > 0) Settings.main_left = x();
        Settings.main_width = width();
        Settings.main_height = height();
    }
    if (PlayState() == TPlayState::Playing || PlayState() == TPlayState::Paused) Playback.FilterGraph.Stop();
    Playback.Close();
    try {
        SaveSettings(Settings, SettingsPath);
    } catch (const std::exception& e) {
        // The store replaces its file in one step: the previous settings are still there.
        ShowMessage(e.what(), kMessageCaption, TMessageIcon::Error);
    }
    event->accept();
}

void TForm_Master::changeEvent(QEvent* event) {
    QMainWindow::changeEvent(event);
    if (event->type() != QEvent::WindowStateChange) return;
    const Qt::WindowStates before = static_cast<QWindowStateChangeEvent*>(event)->oldState();
    const Qt::WindowStates now = windowState();
    if (now & Qt::WindowMinimized) {
        SetRenderSuspended(true);
        return;
    }
    if (before & Qt::WindowMinimized) SetRenderSuspended(false);
    // The flag follows the state the window is in, so a maximized window that was minimized and restored
    // is still stored as maximized, and its earlier placement is kept.
    Settings.main_maximized = (now & Qt::WindowMaximized) != 0;
}

void TForm_Master::resizeEvent(QResizeEvent* event) {
    QMainWindow::resizeEvent(event);
    LayoutViews(width(), height());
}

void TForm_Master::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape) {
        close();
        return;
    }
    QMainWindow::keyPressEvent(event);
}

void TForm_Master::mousePressEvent(QMouseEvent* event) {
    FormMouseDown(event);
}

void TForm_Master::mouseDoubleClickEvent(QMouseEvent* event) {
    FormDblClick(event);
}

void TForm_Master::FormMouseDown(QMouseEvent* event) {
    if (!IsPlainRightClick(event)) return;
    Settings.Show_ShaderPluginChain = !Settings.Show_ShaderPluginChain;
    ShowShaderPluginChain(Settings.Show_ShaderPluginChain);
}

void TForm_Master::FormDblClick(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return;
    const Qt::WindowStates state = windowState();
    const bool normal = !(state & (Qt::WindowMinimized | Qt::WindowMaximized | Qt::WindowFullScreen));
    setWindowState((state & ~(Qt::WindowMinimized | Qt::WindowMaximized | Qt::WindowFullScreen)) |
                   (normal ? Qt::WindowMaximized : Qt::WindowNoState));
}

void TForm_Master::dragEnterEvent(QDragEnterEvent* event) {
    if (!DroppedFile(event->mimeData()).isEmpty()) event->acceptProposedAction();
}

void TForm_Master::dropEvent(QDropEvent* event) {
    const QString file = DroppedFile(event->mimeData());
    if (file.isEmpty()) return;
    event->acceptProposedAction();
    OpenFile(file.toStdString());
}

void TForm_Master::Timer1Timer() {
    Timer1->stop();
    LayoutViews(width(), height());
    SetRenderSuspended(false);
}
