// Building the main window's form: menu bar, the client area with the OpenGL view and the two source
// panels stacked over it, the bottom panel with the position bar and the play buttons, the status bar.
#include "app/Form_Master.h"

#include "app/IdleRenderer.h"
#include "app/ImageViewer.h"
#include "app/QtGLSurface.h"

#include <QApplication>
#include <QIcon>
#include <QLabel>
#include <QSlider>
#include <QStatusBar>
#include <QStyle>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>

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

} // namespace

void TForm_Master::CreateComponents() {
    CreateMenus();
    CreateClientArea();
    CreateStatusBar();

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

// The client area between menu bar and status bar: the view area over the bottom panel, black as the
// window's own colour.
void TForm_Master::CreateClientArea() {
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

    CreateBottomPanel(client);
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
}

void TForm_Master::CreateBottomPanel(QWidget* client) {
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
}

void TForm_Master::CreateStatusBar() {
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
}
