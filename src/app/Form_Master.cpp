#include "app/Form_Master.h"

#include "app/AppFonts.h"
#include "app/IdleRenderer.h"
#include "app/ImageViewer.h"
#include "app/OpenURL.h"
#include "app/QtGLSurface.h"
#include "app/QtMessageSink.h"
#include "app/ViewLayout.h"
#include "app/WindowPlacement.h"
#include "gl/GLCheck.h"
#include "gl/GLFlags.h"
#include "pipeline/RenderSetup.h"
#include "pipeline/StillImage.h"
#include "platform/Bitmap.h"
#include "platform/ELumatex.h"
#include "platform/Files.h"
#include "platform/MessageSink.h"
#include "render/uRenderEngine.h"
#include "video/PlaybackHelpers.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QIcon>
#include <QKeyEvent>
#include <QLabel>
#include <QLocale>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QMouseEvent>
#include <QScreen>
#include <QSignalBlocker>
#include <QSlider>
#include <QStatusBar>
#include <QStyle>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QUrl>
#include <QVBoxLayout>
#include <QWindowStateChangeEvent>

#include <clocale>

namespace {

QPalette BlackPalette(const QPalette& base) {
    QPalette black = base;
    black.setColor(QPalette::Window, Qt::black);
    return black;
}

// A plain black panel; made native before the window is shown, because a widget stacked over the OpenGL
// view's window must have a window of its own, and making one later cuts the GL window loose.
QWidget* MakeViewPanel(QWidget* parent, const char* name) {
    auto* panel = new QWidget(parent);
    panel->setObjectName(QString::fromLatin1(name));
    panel->setAutoFillBackground(true);
    panel->setPalette(BlackPalette(panel->palette()));
    panel->setAttribute(Qt::WA_NativeWindow);
    return panel;
}

QToolButton* MakeToolButton(QWidget* parent, const char* name, const char* themeIcon,
                            QStyle::StandardPixmap standard) {
    auto* button = new QToolButton(parent);
    button->setObjectName(QString::fromLatin1(name));
    button->setIcon(
        QIcon::fromTheme(QString::fromLatin1(themeIcon), parent->style()->standardIcon(standard)));
    button->setAutoRaise(true);
    return button;
}

bool IsPlainRightClick(const QMouseEvent* event) {
    return event->button() == Qt::RightButton && event->buttons() == Qt::RightButton &&
           event->modifiers() == Qt::NoModifier;
}

} // namespace

TForm_Master::TForm_Master(QWidget* parent) : QMainWindow(parent) {
    setObjectName(QStringLiteral("Form_Master"));
    setWindowTitle(QString::fromLatin1(kMainCaption));
    setFont(WindowFont());
    setAcceptDrops(true);
    SettingsPath = SettingsFilePath();
    HandOff = std::make_unique<TFrameHandOff>();
    RunOpenDialog = [](QFileDialog& dialog) {
        return dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty()
                   ? dialog.selectedFiles().first()
                   : QString();
    };
    CreateActions();
    CreateComponents();
    ConnectVideo();
}

TForm_Master::~TForm_Master() {
    // The streaming thread ends first: it writes into the hand-off and posts to the views freed below.
    FilterGraph.ClearGraph();
    if (FIdleRenderer) FIdleRenderer->Stop();
    if (FRenderSetup) FRenderSetup->Destroy();
    HandOff.reset();
    ReleaseGLContext();
}

QAction* TForm_Master::MakeAction(const char* name, const char* caption, const char* category,
                                  bool checkable) {
    auto* action = new QAction(QString::fromUtf8(caption), this);
    action->setObjectName(QString::fromLatin1(name));
    action->setProperty("Category", QString::fromLatin1(category));
    action->setCheckable(checkable);
    // Also on the window itself, so the shortcuts work wherever the focus is inside it.
    addAction(action);
    return action;
}

void TForm_Master::CreateActions() {
    Action_File = MakeAction("Action_File", "&Open File...", "File", false);
    Action_File->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_L));
    Action_saveVideoImg = MakeAction("Action_saveVideoImg", "&Save SampleBuffer...", "File", false);
    Action_saveVideoImg->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_B));
    Action_saveGLImg = MakeAction("Action_saveGLImg", "S&ave OpenGL image...", "File", false);
    Action_saveGLImg->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_S));
    Action_Exit = MakeAction("Action_Exit", "&Exit", "File", false);
    Action_RenderGL = MakeAction("Action_RenderGL", "&Render OpenGL", "OpenGL", true);
    Action_HUD = MakeAction("Action_HUD", "&Show HUD", "OpenGL", true);
    Action_FBO1 = MakeAction("Action_FBO1", "&FBO 256", "OpenGL", true);
    Action_FBO1->setShortcut(QKeySequence(Qt::Key_F5));
    Action_FBO2 = MakeAction("Action_FBO2", "F&BO 512", "OpenGL", true);
    Action_FBO2->setShortcut(QKeySequence(Qt::Key_F6));
    Action_FBO3 = MakeAction("Action_FBO3", "FB&O 1024", "OpenGL", true);
    Action_FBO3->setShortcut(QKeySequence(Qt::Key_F7));
    Action_ShowSPC = MakeAction("Action_ShowSPC", "S&how Shader Plugin Chain", "View", true);
    Action_ShowSPC->setShortcut(QKeySequence(Qt::Key_F10));
    Action_Aspect = MakeAction("Action_Aspect", "&Force Aspect Ratio", "View", true);
    Action_ShowBoth = MakeAction("Action_ShowBoth", "D&ual View", "View", true);
    Action_ShowBoth->setShortcut(QKeySequence(Qt::Key_F1));
    Action_ShowDS = MakeAction("Action_ShowDS", "&DirectShow", "View", true);
    Action_ShowDS->setShortcut(QKeySequence(Qt::Key_F2));
    Action_ShowGL = MakeAction("Action_ShowGL", "&OpenGL", "View", true);
    Action_ShowGL->setShortcut(QKeySequence(Qt::Key_F3));
    Action_hp = MakeAction("Action_hp", "&Quorvale-Homepage", "Help", false);
    Action_Help = MakeAction("Action_Help", "&About", "Help", false);

    FSourceActions = {Action_ShowBoth, Action_ShowDS, Action_ShowGL,       Action_RenderGL,
                      Action_HUD,      Action_Aspect, Action_saveVideoImg, Action_saveGLImg,
                      Action_FBO1,     Action_FBO2,   Action_FBO3};

    connect(Action_File, &QAction::triggered, this, [this] { Action_FileExecute(); });
    connect(Action_saveVideoImg, &QAction::triggered, this, [this] {
        if (OnSaveSampleBuffer) OnSaveSampleBuffer();
    });
    connect(Action_saveGLImg, &QAction::triggered, this, [this] {
        if (OnSaveGLImage) OnSaveGLImage();
    });
    connect(Action_Exit, &QAction::triggered, this, &QWidget::close);
    connect(Action_RenderGL, &QAction::triggered, this, [this](bool checked) {
        Settings.RenderGLWindow = checked;
        SyncHandOffFlags();
    });
    connect(Action_HUD, &QAction::triggered, this, [this](bool checked) { Settings.RenderHUD = checked; });
    connect(Action_FBO1, &QAction::triggered, this, [this] { SetFBOSize(1); });
    connect(Action_FBO2, &QAction::triggered, this, [this] { SetFBOSize(2); });
    connect(Action_FBO3, &QAction::triggered, this, [this] { SetFBOSize(3); });
    connect(Action_ShowSPC, &QAction::triggered, this,
            [this](bool checked) { ShowShaderPluginChain(checked); });
    connect(Action_Aspect, &QAction::triggered, this, [this](bool checked) {
        Settings.ForceAspectRatio = checked;
        LayoutViews(width(), height());
    });
    connect(Action_ShowBoth, &QAction::triggered, this, [this] { SetViewerMode(int(TViewerMode::Dual)); });
    connect(Action_ShowDS, &QAction::triggered, this, [this] { SetViewerMode(int(TViewerMode::VideoOnly)); });
    connect(Action_ShowGL, &QAction::triggered, this, [this] { SetViewerMode(int(TViewerMode::GLOnly)); });
    connect(Action_hp, &QAction::triggered, this, [] { OpenURL(HomepageURL()); });
    connect(Action_Help, &QAction::triggered, this, [this] {
        if (OnAbout) OnAbout();
    });
}

void TForm_Master::CreateComponents() {
    ActionMainMenuBar1 = new QMenuBar(this);
    ActionMainMenuBar1->setObjectName(QStringLiteral("ActionMainMenuBar1"));
    ActionMainMenuBar1->addSeparator();
    QMenu* file = ActionMainMenuBar1->addMenu(QStringLiteral("&File"));
    file->setObjectName(QStringLiteral("Menu_File"));
    file->addAction(Action_File);
    file->addSeparator();
    file->addAction(Action_saveVideoImg);
    file->addAction(Action_saveGLImg);
    file->addSeparator();
    file->addAction(Action_Exit);
    QMenu* gl = ActionMainMenuBar1->addMenu(QStringLiteral("&OpenGL"));
    gl->setObjectName(QStringLiteral("Menu_OpenGL"));
    gl->addAction(Action_RenderGL);
    gl->addSeparator();
    gl->addAction(Action_HUD);
    gl->addSeparator();
    gl->addAction(Action_FBO1);
    gl->addAction(Action_FBO2);
    gl->addAction(Action_FBO3);
    QMenu* view = ActionMainMenuBar1->addMenu(QStringLiteral("&View"));
    view->setObjectName(QStringLiteral("Menu_View"));
    view->addAction(Action_ShowSPC);
    view->addSeparator();
    view->addAction(Action_Aspect);
    view->addSeparator();
    view->addAction(Action_ShowBoth);
    view->addAction(Action_ShowDS);
    view->addAction(Action_ShowGL);
    QMenu* help = ActionMainMenuBar1->addMenu(QStringLiteral("&Help"));
    help->setObjectName(QStringLiteral("Menu_Help"));
    help->addAction(Action_hp);
    help->addSeparator();
    help->addAction(Action_Help);
    // The menus are windows of their own and do not inherit the window's face.
    for (QMenu* menu : {file, gl, view, help})
        menu->setFont(WindowFont());
    setMenuBar(ActionMainMenuBar1);

    // The client area between menu bar and status bar: the view area over the bottom panel, black as the
    // window's own colour.
    auto* client = new QWidget(this);
    client->setObjectName(QStringLiteral("ClientArea"));
    client->setAutoFillBackground(true);
    client->setPalette(BlackPalette(client->palette()));
    auto* column = new QVBoxLayout(client);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);

    FGLView = new TQtGLSurface();
    FGLView->setObjectName(QStringLiteral("GLView"));
    FGLContainer = QWidget::createWindowContainer(FGLView, client);
    FGLContainer->setObjectName(QStringLiteral("GLContainer"));
    // Drops over the view go on to the window, which opens them.
    FGLContainer->setAcceptDrops(false);
    FGLContainer->setFocusPolicy(Qt::NoFocus);
    column->addWidget(FGLContainer, 1);
    FGLView->OnMousePress = [this](QMouseEvent* event) { FormMouseDown(event); };
    FGLView->OnMouseDoubleClick = [this](QMouseEvent* event) { FormDblClick(event); };
    FGLView->OnKeyPress = [this](QKeyEvent* event) { keyPressEvent(event); };
    FGLView->OnExposed = [this] {
        if (FIdleRenderer) FIdleRenderer->Repaint();
    };

    Panel_buttom = new QWidget(client);
    Panel_buttom->setObjectName(QStringLiteral("Panel_buttom"));
    Panel_buttom->setFixedHeight(kBottomPanelHeight);
    // Set colour by colour: the application's palette as a whole would count as "nothing set" and leave
    // the black of the client area showing through.
    QPalette buttonFace = Panel_buttom->palette();
    for (auto role : {QPalette::Window, QPalette::WindowText, QPalette::Button, QPalette::ButtonText})
        buttonFace.setColor(role, QApplication::palette().color(role));
    Panel_buttom->setAutoFillBackground(true);
    Panel_buttom->setPalette(buttonFace);
    Panel_buttom->setAttribute(Qt::WA_NoMousePropagation);
    auto* bottom = new QVBoxLayout(Panel_buttom);
    bottom->setContentsMargins(0, 0, 0, 0);
    bottom->setSpacing(0);
    TrackBar = new QSlider(Qt::Horizontal, Panel_buttom);
    TrackBar->setObjectName(QStringLiteral("TrackBar"));
    TrackBar->setFixedHeight(kTrackBarHeight);
    TrackBar->setTickPosition(QSlider::TicksBelow);
    TrackBar->setTickInterval(kTrackBarTickInterval);
    TrackBar->setRange(0, 10);
    // A click beside the thumb moves it two seconds, as the bar of the platform it was designed for did.
    TrackBar->setPageStep(kTrackBarPageStep);
    bottom->addWidget(TrackBar);
    ToolBar = new QToolBar(Panel_buttom);
    ToolBar->setObjectName(QStringLiteral("ToolBar"));
    ToolBar->setFixedHeight(kToolBarHeight);
    ToolBar->setIconSize(QSize(16, 16));
    ToolBar->setMovable(false);
    TB_Pause = MakeToolButton(ToolBar, "TB_Pause", "media-playback-pause", QStyle::SP_MediaPause);
    TB_Play = MakeToolButton(ToolBar, "TB_Play", "media-playback-start", QStyle::SP_MediaPlay);
    TB_Stop = MakeToolButton(ToolBar, "TB_Stop", "media-playback-stop", QStyle::SP_MediaStop);
    ToolBar->addSeparator();
    ToolBar->addWidget(TB_Pause);
    ToolBar->addWidget(TB_Play);
    ToolBar->addWidget(TB_Stop);
    ToolBar->addSeparator();
    bottom->addWidget(ToolBar);
    bottom->addStretch(1);
    column->addWidget(Panel_buttom);

    Panel_DS = MakeViewPanel(client, "Panel_DS");
    VideoWindow = new TVideoView(Panel_DS);
    VideoWindow->setObjectName(QStringLiteral("VideoWindow"));
    Panel_IMG = MakeViewPanel(client, "Panel_IMG");
    IMG_Viewer = new TImageViewer(Panel_IMG);
    IMG_Viewer->setObjectName(QStringLiteral("IMG_Viewer"));
    Panel_DS->raise();
    Panel_IMG->raise();
    setCentralWidget(client);

    StatusBar1 = new QStatusBar(this);
    StatusBar1->setObjectName(QStringLiteral("StatusBar1"));
    StatusBar1->setFixedHeight(kStatusBarHeight);
    StatusBar1->setSizeGripEnabled(false);
    StatusBar1->setAttribute(Qt::WA_NoMousePropagation);
    for (int i = 0; i < kStatusPanelCount; ++i) {
        auto* panel = new QLabel(StatusBar1);
        panel->setObjectName(QStringLiteral("StatusBar1_Panel%1").arg(i));
        panel->setFixedWidth(kStatusPanelWidth);
        panel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        StatusBar1->addWidget(panel);
        FStatusPanels[size_t(i)] = panel;
    }
    setStatusBar(StatusBar1);

    Timer1 = new QTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer1->setSingleShot(true);
    Timer1->setInterval(kTimer1IntervalMs);
    connect(Timer1, &QTimer::timeout, this, &TForm_Master::Timer1Timer);
    TrackBarTimer = new QTimer(this);
    TrackBarTimer->setObjectName(QStringLiteral("TrackBarTimer"));
    TrackBarTimer->setInterval(TDSTrackBar::kTimerIntervalMs);
    // Never early: the bar shows whole seconds, and a tick a little before one would show the one before.
    TrackBarTimer->setTimerType(Qt::PreciseTimer);

    FIdleRenderer = new TIdleRenderer(*FGLView, this);
}

TRenderEngine* TForm_Master::Engine() const {
    return FRenderSetup && FRenderSetup->Created() ? &FRenderSetup->GetEngine() : nullptr;
}

TChainState* TForm_Master::Chain() const {
    return FRenderSetup && FRenderSetup->Created() ? &FRenderSetup->GetChain() : nullptr;
}

bool TForm_Master::RenderSuspended() const {
    return HandOff->RenderSuspended.load();
}

void TForm_Master::SetRenderSuspended(bool suspended) {
    HandOff->RenderSuspended.store(suspended);
}

void TForm_Master::SyncHandOffFlags() {
    HandOff->RenderGLWindow.store(Settings.RenderGLWindow);
    HandOff->Show_GLRenderer.store(Settings.Show_GLRenderer);
    HandOff->PlayState.store(PlayState);
}

QString TForm_Master::StatusText(int panel) const {
    return panel >= 0 && panel < kStatusPanelCount ? FStatusPanels[size_t(panel)]->text() : QString();
}

void TForm_Master::SetStatusText(int panel, const QString& text) {
    FStatusPanels[size_t(panel)]->setText(text);
}

bool TForm_Master::FormCreate() {
    VideoWidth = 512;
    VideoHeight = 512;

    if (!FGLView->CreateContext()) {
        ShowMessage(FGLView->LastError(), kMessageCaption, TMessageIcon::Error);
        ReleaseGLContext();
        return false;
    }
    std::string extensions;
    {
        TGLWorkScope work;
        ReadGLFlags();
        extensions = CurrentGLExtensions();
    }
    // Outside the GL work: the check's messages are shown before start-up goes on (or ends).
    if (!CheckGLAndExtensions(extensions)) {
        ReleaseGLContext();
        return false;
    }

    // Plugin descriptions, presets and shown values use a point whatever the user's locale.
    std::setlocale(LC_NUMERIC, "C");
    QLocale::setDefault(QLocale::c());

    Settings = DefaultSettings(ProgramFolder());

    FRenderSetup = std::make_unique<TRenderSetup>(*FGLView);
    bool engineReady = false;
    {
        TGLWorkScope work;
        try {
            engineReady = FRenderSetup->Create(ProgramFolder(), 512, 512);
        } catch (const std::exception& e) {
            FRenderSetup->Destroy();
            ShowMessage(e.what(), kMessageCaption, TMessageIcon::Error);
        }
    }
    if (!engineReady) {
        FRenderSetup.reset();
        ReleaseGLContext();
        return false;
    }

    const int clientHeight = kBottomPanelHeight + MenuBarHeight(kStartClientWidth) + kStartViewHeight;
    resize(kStartClientWidth, clientHeight);
    LayoutViews(kStartClientWidth, clientHeight);
    setCursor(Qt::ArrowCursor);

    HandOff->ClearNewFrameReady();
    SetRenderSuspended(true);
    SetPlayState(TPlayState::Ready);
    SetMediaKind(TMediaKind::None);

    // The frame bitmaps at the size of the video view, black; the next video frame is also the first.
    auto handOff = std::make_unique<TFrameHandOff>(VideoWindow->width(), VideoWindow->height());
    handOff->RenderSuspended.store(HandOff->RenderSuspended.load());
    handOff->CaptureFirstFrame.store(true);
    HandOff = std::move(handOff);

    LoadSettings(Settings, SettingsPath);
    SyncHandOffFlags();

    StartIdleRendering();
    FCreated = true;
    return true;
}

void TForm_Master::StartIdleRendering() {
    TIdleRenderer::THandlers handlers;
    auto sourceInView = [this] {
        return Settings.RenderGLWindow && Settings.Show_GLRenderer &&
               (MediaKind == TMediaKind::Video || MediaKind == TMediaKind::Image);
    };
    handlers.WantsFrame = [this, sourceInView] {
        // A playing video is drawn when its next frame is there: a frame drawn again in between would make
        // the next one wait for it (and be overwritten by the one after) whenever the chain is slow.
        const bool waitsForFrame =
            MediaKind == TMediaKind::Video && PlayState == TPlayState::Playing && !HandOff->NewFrameReady();
        return !RenderSuspended() && sourceInView() && !waitsForFrame && isVisible() && !isMinimized() &&
               FGLView->isExposed();
    };
    handlers.HasPicture = sourceInView;
    handlers.BeforeFrame = [this] {
        if (MediaKind != TMediaKind::Video || PlayState != TPlayState::Playing) return;
        TRenderEngine* engine = Engine();
        if (HandOff->UploadNewFrame([engine](const TBitmap& frame) { engine->UploadVideoFrame(frame); }))
            ++FVideoFramesUploaded;
    };
    handlers.ShowHUD = [this] { return Settings.RenderHUD; };
    handlers.RenderFailed = [this](const std::exception&) {
        SetPlayState(TPlayState::Stopped);
        // A resume still pending from the last open would draw the failing chain again at once.
        Timer1->stop();
        ShowMessage(kRenderFailedText, kMessageCaption, TMessageIcon::Error);
    };
    FIdleRenderer->Start(Engine(), std::move(handlers));
}

void TForm_Master::ReleaseGLContext() {
    if (FIdleRenderer) FIdleRenderer->Stop();
    if (FGLView) FGLView->ReleaseContext();
}

void TForm_Master::SetPlayState(TPlayState state) {
    PlayState = state;
    HandOff->PlayState.store(state);
    HandOff->ClearNewFrameReady();
    switch (state) {
    case TPlayState::Ready:
        SetStatusText(spPlayState, QString::fromLatin1(kStatusReady));
        SetRenderSuspended(true);
        break;
    case TPlayState::Playing:
        SetStatusText(spPlayState,
                      QString::fromLatin1(MediaKind == TMediaKind::Image ? kStatusImage : kStatusPlaying));
        SetRenderSuspended(false);
        break;
    case TPlayState::Paused:
        SetStatusText(spPlayState, QString::fromLatin1(kStatusPaused));
        SetRenderSuspended(true);
        break;
    case TPlayState::Stopped:
        SetStatusText(spPlayState, QString::fromLatin1(kStatusStopped));
        SetRenderSuspended(true);
        break;
    }
    // The position bar follows a running graph only; a paused or stopped one would not move it anyway.
    if (PlayState == TPlayState::Playing && MediaKind == TMediaKind::Video)
        TrackBarTimer->start();
    else
        TrackBarTimer->stop();
}

void TForm_Master::SetMediaKind(TMediaKind kind) {
    MediaKind = kind;
    bool buttons = false;
    bool actions = false;
    const char* kindText = "";
    switch (kind) {
    case TMediaKind::None:
        break;
    case TMediaKind::Video:
        buttons = actions = true;
        kindText = kStatusAviPlayer;
        break;
    case TMediaKind::Image:
        actions = true;
        kindText = kStatusImageViewer;
        break;
    default:
        return;
    }
    for (QToolButton* button : {TB_Pause, TB_Play, TB_Stop})
        button->setEnabled(buttons);
    for (QAction* action : FSourceActions)
        action->setEnabled(actions);
    SetStatusText(spMediaKind, QString::fromLatin1(kindText));
    SetStatusText(spPlayTime, QString());
}

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
    SyncHandOffFlags();
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
    TGLWorkScope work;
    FGLView->MakeCurrent();
    engine->SetViewport(qRound(layout.GLWidth * scale), qRound(layout.GLHeight * scale),
                        qRound(layout.GLX * scale), qRound(y * scale));
    engine->ClearView();
}

void TForm_Master::ShowShaderPluginChain(bool visible) {
    if (ChainWindow) ChainWindow->setVisible(visible);
    Settings.Show_ShaderPluginChain = visible;
    Action_ShowSPC->setChecked(visible);
}

void TForm_Master::SetFBOSize(int choice) {
    if (choice < 1 || choice > 3) return;
    Action_FBO1->setChecked(choice == 1);
    Action_FBO2->setChecked(choice == 2);
    Action_FBO3->setChecked(choice == 3);
    Settings.FBOSize = 256 << (choice - 1);
    TRenderEngine* engine = Engine();
    if (!engine) return;
    TGLWorkScope work;
    FGLView->MakeCurrent();
    try {
        engine->RecreateFBOs(Settings.FBOSize);
    } catch (const std::exception& e) {
        ShowMessage(e.what(), kMessageCaption, TMessageIcon::Error);
    }
}

void TForm_Master::FormShow() {
    Action_RenderGL->setChecked(Settings.RenderGLWindow);
    Action_HUD->setChecked(Settings.RenderHUD);
    Action_Aspect->setChecked(Settings.ForceAspectRatio);
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
    if (PlayState == TPlayState::Playing || PlayState == TPlayState::Paused) FilterGraph.Stop();
    FilterGraph.ClearGraph();
    FilterGraph.SetActive(false);
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
    const QMimeData* data = event->mimeData();
    if (data && data->hasUrls() && !data->urls().isEmpty() && data->urls().first().isLocalFile())
        event->acceptProposedAction();
}

void TForm_Master::dropEvent(QDropEvent* event) {
    const QMimeData* data = event->mimeData();
    if (!data || !data->hasUrls() || data->urls().isEmpty() || !data->urls().first().isLocalFile()) return;
    event->acceptProposedAction();
    OpenFile(data->urls().first().toLocalFile().toStdString());
}

void TForm_Master::Timer1Timer() {
    Timer1->stop();
    LayoutViews(width(), height());
    SetRenderSuspended(false);
}

void TForm_Master::Action_FileExecute() {
    SetRenderSuspended(true);
    QFileDialog dialog(this);
    dialog.setObjectName(QStringLiteral("OpenDialog1"));
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFile);
    QStringList filters;
    for (const char* filter : kOpenFilters)
        filters << QString::fromLatin1(filter);
    dialog.setNameFilters(filters);
    dialog.selectNameFilter(filters.first());
    dialog.setDefaultSuffix(QString::fromLatin1(kOpenDefaultSuffix));
    dialog.setDirectory(QString::fromStdString(Settings.LastPath));
    if (!Settings.LastFile.empty()) dialog.selectFile(QString::fromStdString(Settings.LastFile));
    const QString chosen = RunOpenDialog(dialog);
    if (chosen.isEmpty()) {
        SetRenderSuspended(false);
        return;
    }
    OpenFile(chosen.toStdString());
}

void TForm_Master::OpenFile(const std::string& path) {
    if (MediaKindOf(path) == TMediaKind::None) {
        ShowMessage(kUnsupportedFormat, kMessageCaption, TMessageIcon::Error);
        SetRenderSuspended(false);
        return;
    }
    const QFileInfo info(QString::fromStdString(path));
    Settings.LastPath = IncludeTrailingSlash(info.absolutePath().toStdString());
    Settings.LastFile = info.absoluteFilePath().toStdString();
    FileName = Settings.LastFile;
    // Whatever fails while opening ends the open quietly, in the state it reached.
    try {
        StartPlayer(false);
    } catch (const std::exception&) {
    }
}

void TForm_Master::StartPlayer(bool keepPosition) {
    SetRenderSuspended(true);
    const int64_t positionMs = FilterGraph.Position();
    const TMediaKind kind = MediaKindOf(FileName);
    SetMediaKind(kind);
    if (kind == TMediaKind::Video)
        StartVideo(keepPosition, positionMs);
    else if (kind == TMediaKind::Image)
        StartImage();
}

void TForm_Master::StartVideo(bool keepPosition, int64_t positionMs) {
    FilterGraph.Stop();
    SetPlayState(TPlayState::Stopped);
    SetViewerMode(int(TViewerMode::PanelRefresh));
    FilterGraph.ClearGraph();
    FilterGraph.SetActive(false);
    // The last file's picture must not stand in for this one's (a refused or unreadable file shows none).
    VideoWindow->Clear();

    // Without the OpenGL view no frame is taken at all.
    SampleGrabber.SetFilterGraph(Settings.Show_GLRenderer ? &FilterGraph : nullptr);
    TrackBarModel.SetFilterGraph(&FilterGraph);
    TrackBarModel.SetPosition(0);
    TrackBarModel.SetEnabled(true);
    SyncTrackBar();

    FilterGraph.SetActive(true);
    FilterGraph.ClearGraph();
    FilterGraph.RenderFile(FileName);
    HandOff->CaptureFirstFrame.store(true);

    GetVideoSize();
    SetStatusText(spSourceSize, QStringLiteral(" %1x%2").arg(VideoWidth).arg(VideoHeight));
    if (!CheckValidVideoSize()) return;

    FilterGraph.Play();
    SetPlayState(TPlayState::Playing);
    Timer1->start();
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    if (keepPosition) FilterGraph.SetPosition(positionMs);
}

void TForm_Master::ConnectVideo() {
    FilterGraph.SetDispatcher([this](std::function<void()> call) {
        QMetaObject::invokeMethod(this, std::move(call), Qt::QueuedConnection);
    });
    FilterGraph.OnGraphComplete = [this](TFilterGraph* sender, int32_t result, void* renderer) {
        FilterGraphGraphComplete(sender, result, renderer);
    };
    // The streaming thread's only way in: the hand-off, which swaps the frame in under its own lock.
    SampleGrabber.OnBuffer = [this](TSampleGrabber* sender, double sampleTime, const uint8_t* buffer,
                                    int32_t length) {
        HandOff->SampleGrabberBuffer(sender, sampleTime, buffer, length);
        // Wakes the GUI thread's loop, which may be asleep waiting for this frame.
        if (HandOff->NewFrameReady() && !FFrameWakePending.exchange(true))
            QMetaObject::invokeMethod(
                this, [this] { FFrameWakePending.store(false); }, Qt::QueuedConnection);
    };
    // The plain view shows every video the graph plays, whatever the viewer mode.
    VideoWindow->Output().SetFilterGraph(&FilterGraph);

    TrackBarModel.OnChange = [this](TDSTrackBar*) {
        SyncTrackBar();
        TrackBarChange();
    };
    connect(TrackBarTimer, &QTimer::timeout, this, [this] {
        TrackBarModel.TimerTick();
        SyncTrackBar();
    });
    TrackBar->installEventFilter(this);
    connect(TrackBar, &QSlider::valueChanged, this, &TForm_Master::TrackBarValueChanged);

    // A failing graph call is reported as the message of its error, as for any action of the window.
    auto guarded = [this](void (TForm_Master::*handler)()) {
        return [this, handler] {
            try {
                (this->*handler)();
            } catch (const std::exception& e) {
                ShowMessage(e.what(), kMessageCaption, TMessageIcon::Error);
            }
        };
    };
    connect(TB_Play, &QToolButton::clicked, this, guarded(&TForm_Master::TB_PlayClick));
    connect(TB_Pause, &QToolButton::clicked, this, guarded(&TForm_Master::TB_PauseClick));
    connect(TB_Stop, &QToolButton::clicked, this, guarded(&TForm_Master::TB_StopClick));
}

void TForm_Master::SyncTrackBar() {
    const QSignalBlocker quiet(TrackBar);
    TrackBar->setRange(TrackBarModel.Min(), TrackBarModel.Max());
    TrackBar->setValue(TrackBarModel.Position());
    TrackBar->setEnabled(TrackBarModel.Enabled());
}

bool TForm_Master::eventFilter(QObject* watched, QEvent* event) {
    if (watched == TrackBar &&
        (event->type() == QEvent::MouseButtonPress || event->type() == QEvent::MouseButtonRelease) &&
        static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
        // Seen before the slider handles the button: its moves while held then count as the user's, and
        // by the release the slider has its last value.
        if (event->type() == QEvent::MouseButtonPress) {
            TrackBarModel.MouseDown();
        } else {
            try {
                TrackBarModel.MouseUp();
            } catch (const std::exception& e) {
                ShowMessage(e.what(), kMessageCaption, TMessageIcon::Error);
            }
        }
    }
    return QMainWindow::eventFilter(watched, event);
}

void TForm_Master::TrackBarValueChanged(int value) {
    if (value == TrackBarModel.Position()) return;
    try {
        if (TrackBarModel.Held()) {
            TrackBarModel.UserMove(value);
            return;
        }
        // A key or the wheel moved the thumb: a press, a move and a release in one.
        TrackBarModel.MouseDown();
        TrackBarModel.UserMove(value);
        TrackBarModel.MouseUp();
    } catch (const std::exception& e) {
        ShowMessage(e.what(), kMessageCaption, TMessageIcon::Error);
    }
    SyncTrackBar();
}

void TForm_Master::TrackBarChange() {
    SetStatusText(spPlayTime,
                  QString::fromStdString(" " + FormatPlayTime(TrackBarModel.Position()) + " min"));
}

void TForm_Master::GetVideoSize() {
    ::GetVideoSize(FilterGraph, VideoWidth, VideoHeight);
}

bool TForm_Master::CheckValidVideoSize() {
    if (VideoSizeSupported(NpotSupported, Settings.Show_GLRenderer, VideoWidth, VideoHeight)) return true;
    SetPlayState(TPlayState::Stopped);
    ShowMessage(kVideoSizeRefused, kMessageCaption, TMessageIcon::Information);
    return false;
}

void TForm_Master::TB_PlayClick() {
    // After a file that could not be opened there is nothing to play: the state stays Stopped.
    if (PlayState == TPlayState::Playing || !FilterGraph.HasFile() || !CheckValidVideoSize()) return;
    FilterGraph.Play();
    SetPlayState(TPlayState::Playing);
}

void TForm_Master::TB_PauseClick() {
    if (PlayState == TPlayState::Paused) return;
    FilterGraph.Pause();
    SetPlayState(TPlayState::Paused);
}

void TForm_Master::TB_StopClick() {
    if (PlayState == TPlayState::Stopped) return;
    // Paused, the graph shows the frame a seek lands on; playing it on would let the next frame through
    // before the OpenGL view has drawn the first.
    const uint64_t framesBefore = VideoWindow->Output().FrameCount();
    try {
        FilterGraph.Pause();
        FilterGraph.SetPosition(1);
        FilterGraph.WaitForIdle(std::chrono::milliseconds(kCueWaitMs));
    } catch (const std::exception&) {
        // A graph that cannot seek still stops below; the views keep what they show.
    }
    TrackBarModel.SetPosition(1);

    // The OpenGL view gets the frame the graph landed on; the first frame captured after the open stands
    // in when none came (it is the video's first only if playing started at the beginning).
    TBitmap landed;
    const bool haveLanded =
        VideoWindow->Output().FrameCount() != framesBefore && VideoWindow->Output().CopyFrame(landed);
    if (TRenderEngine* engine = Engine()) {
        try {
            TGLWorkScope work;
            FGLView->MakeCurrent();
            if (haveLanded)
                engine->UploadVideoFrame(landed);
            else
                HandOff->WithFirstFrameBitmap(
                    [engine](const TBitmap& first) { engine->UploadVideoFrame(first); });
        } catch (const std::exception&) {
        }
    }
    HandOff->ClearNewFrameReady();
    FIdleRenderer->Repaint();

    FilterGraph.Stop();
    try {
        FilterGraph.SetPosition(0);
    } catch (const std::exception&) {
    }
    TrackBarModel.SetPosition(0);
    // Also when the bar was at 0 already (a clip shorter than a second): the time then reads 0:00 too.
    TrackBarChange();
    SetPlayState(TPlayState::Stopped);
}

void TForm_Master::FilterGraphGraphComplete(TFilterGraph*, int32_t, void*) {
    if (MediaKind != TMediaKind::Video) return;
    // The last frame may still wait for the view when a slow chain held the loop past its time.
    if (FIdleRenderer) FIdleRenderer->RenderNow();
    try {
        FilterGraph.Pause();
        FilterGraph.SetPosition(0);
    } catch (const std::exception&) {
    }
    TrackBarModel.SetPosition(0);
    TB_StopClick();
}

void TForm_Master::StartImage() {
    FilterGraph.Stop();
    SetPlayState(TPlayState::Stopped);
    SetViewerMode(int(TViewerMode::PanelRefresh));
    FilterGraph.ClearGraph();
    FilterGraph.SetActive(false);
    SampleGrabber.SetFilterGraph(nullptr);
    TrackBarModel.SetFilterGraph(nullptr);
    TrackBarModel.SetPosition(0);
    TrackBarModel.SetEnabled(false);
    SyncTrackBar();

    // A picture that cannot be read leaves the size of the last one (a size of 0 has no aspect ratio).
    if (LoadImg(FileName)) {
        HandOff->WithFrameBitmap([this](const TBitmap& frame) {
            VideoWidth = frame.Width();
            VideoHeight = frame.Height();
        });
    }
    SetPlayState(TPlayState::Playing);
    Timer1->start();
    // Lets the image view show the picture now; input waits, so no second open starts inside this one.
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

bool TForm_Master::LoadImg(const std::string& fileName) {
    TBitmap picture;
    try {
        picture = LoadStillImage(fileName, NpotSupported);
        IMG_Viewer->SetPicture(BitmapToImage(picture));
        HandOff->AssignFrameBitmap(picture);
    } catch (const std::exception&) {
        return false;
    }
    // From here on the picture is the frame bitmap; a failing upload leaves the engine's previous source
    // and the old size text, as the steps before it stay done.
    try {
        if (TRenderEngine* engine = Engine()) {
            TGLWorkScope work;
            FGLView->MakeCurrent();
            engine->UploadSourceFrame(picture);
        }
        HandOff->ClearNewFrameReady();
        SetStatusText(spSourceSize, QStringLiteral(" %1x%2").arg(picture.Width()).arg(picture.Height()));
    } catch (const std::exception&) {
    }
    return true;
}
