// The main window's life: construction, the start-up proper (context, driver check, engine, settings),
// the idle rendering and the status bar.
#include "app/Form_Master.h"

#include "app/ControlBridge.h"
#include "app/IdleRenderer.h"
#include "app/OutputWindow.h"
#include "app/QtGLSurface.h"
#include "app/ViewGLScope.h"
#include "gl/GLCheck.h"
#include "gl/GLFlags.h"
#include "pipeline/LiveOutput.h"
#include "pipeline/RenderSetup.h"
#include "platform/Files.h"
#include "platform/MessageSink.h"
#include "plugins/uPluginReloader.h"
#include "render/uRenderEngine.h"
#include "ui/FileDialogs.h"
#include "ui/WindowFonts.h"

#include <QFileDialog>
#include <QLabel>
#include <QLocale>
#include <QTimer>

#include <clocale>

TForm_Master::TForm_Master(QWidget* parent) : QMainWindow(parent) {
    setObjectName(QStringLiteral("Form_Master"));
    setWindowTitle(QString::fromLatin1(kMainCaption));
    setFont(WindowFont());
    setAcceptDrops(true);
    SettingsPath = SettingsFilePath();
    RunOpenDialog = ExecFileDialog;
    CreateActions();
    CreateComponents();
    SyncSendActions();
    ConnectVideo();
}

TForm_Master::~TForm_Master() {
    // The streaming thread ends first: it writes into the hand-off and posts to the views freed below.
    Playback.FilterGraph.ClearGraph();
    if (FIdleRenderer) FIdleRenderer->Stop();
    // Its threads end, and it lets go of the chain, before the engine goes.
    delete FControl;
    FControl = nullptr;
    SetOutputWindow(false);
    StopSending();
    if (FRenderSetup) FRenderSetup->Destroy();
    ReleaseGLContext();
}

TRenderEngine* TForm_Master::Engine() const {
    return FRenderSetup && FRenderSetup->Created() ? &FRenderSetup->GetEngine() : nullptr;
}

TChainState* TForm_Master::Chain() const {
    return FRenderSetup && FRenderSetup->Created() ? &FRenderSetup->GetChain() : nullptr;
}

void TForm_Master::SyncViewFlags() {
    Playback.SetViewFlags(Settings.RenderGLWindow, Settings.Show_GLRenderer);
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
        TViewGLScope work(FGLView);
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
    DataFolders = FindDataFolders(ProgramFolder());

    FRenderSetup = std::make_unique<TRenderSetup>(*FGLView);
    bool engineReady = false;
    {
        TViewGLScope work(FGLView);
        try {
            engineReady = FRenderSetup->Create(DataFolders.Roots, 512, 512);
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

    SetRenderSuspended(true);
    SetPlayState(TPlayState::Ready);
    SetMediaKind(TMediaKind::None);

    // The frame bitmaps at the size of the video view, black; the next video frame is also the first.
    Playback.HandOff.Reset(VideoWindow->width(), VideoWindow->height());

    LoadSettings(Settings, SettingsPath);
    SyncViewFlags();

    StartControl();
    StartIdleRendering();
    FCreated = true;
    return true;
}

void TForm_Master::StartIdleRendering() {
    TIdleRenderer::THandlers handlers;
    // With "Render OpenGL" off the view still holds a picture: the source texture keeps the last frame
    // drawn, so an uncovered view or the stop button draws it again instead of clearing to black.
    auto sourceInView = [this] {
        return Settings.Show_GLRenderer && (MediaKind == TMediaKind::Video || MediaKind == TMediaKind::Image);
    };
    handlers.WantsFrame = [this, sourceInView] {
        return Settings.RenderGLWindow && !RenderSuspended() && sourceInView() && !Playback.WaitsForFrame() &&
               isVisible() && !isMinimized() && FGLView->isExposed();
    };
    handlers.HasPicture = sourceInView;
    handlers.BeforeFrame = [this] {
        // Remote commands and modulators first: the plugins' inputs are those of the frame about to be drawn.
        if (FControl) FControl->BeforeFrame();
        PreparePluginInputs();
        OutputBeforeFrame();
    };
    handlers.AfterFrame = [this] { OutputAfterFrame(); };
    handlers.ShowHUD = [this] { return Settings.RenderHUD; };
    handlers.RenderFailed = [this](const std::exception&) {
        SetPlayState(TPlayState::Stopped);
        // A resume still pending from the last open would draw the failing chain again at once.
        Timer1->stop();
        ShowMessage(kRenderFailedText, kMessageCaption, TMessageIcon::Error);
    };
    FIdleRenderer->Start(Engine(), std::move(handlers), &Playback);
}

void TForm_Master::ReleaseGLContext() {
    if (FIdleRenderer) FIdleRenderer->Stop();
    if (FGLView) FGLView->ReleaseContext();
}
