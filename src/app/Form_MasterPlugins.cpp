// The main window's side of plugins that move: the clock and pointer each frame hands the engine, the
// float framebuffers of "High Precision" and the switch that watches plugin files.
#include "app/Form_Master.h"

#include "app/QtGLSurface.h"
#include "app/ViewGLScope.h"
#include "platform/MessageSink.h"
#include "plugins/uPluginReloader.h"
#include "render/uRenderEngine.h"

#include <QAction>
#include <QStatusBar>
#include <QTimer>

#include <algorithm>

namespace {

// Looking at a few dozen files' times twice a second costs nothing and sees every way an editor saves
// (in place, by rename, by delete and create), a folder that goes away included.
constexpr int kPluginWatchMs = 500;
constexpr int kReloadNoticeMs = 10000;

double Seconds(std::chrono::steady_clock::duration d) {
    return std::chrono::duration<double>(d).count();
}

float Fraction(double value, int origin, int length) {
    if (length <= 0) return 0.0f;
    return float(std::clamp((value - origin) / length, 0.0, 1.0));
}

} // namespace

void TForm_Master::PreparePluginInputs() {
    TRenderEngine* engine = Engine();
    if (!engine) return;
    const auto now = std::chrono::steady_clock::now();
    // A video file's clock is its position; a picture's or a live source's runs from its opening.
    const bool fileVideo = MediaKind == TMediaKind::Video && !Playback.FilterGraph.Live();
    const double sourceSeconds =
        fileVideo ? double(Playback.FilterGraph.Position()) / 1000.0 : Seconds(now - FSourceOpened);
    TPluginFrameInputs inputs = FPluginClock.Next(sourceSeconds, Seconds(now.time_since_epoch()));
    // Over the picture itself, not the borders a letterboxed view leaves.
    const TQtGLSurface::TPointer& pointer = FGLView->Pointer();
    inputs.Mouse = {Fraction(pointer.X, engine->ViewX, engine->ViewWidth),
                    Fraction(pointer.Y, engine->ViewY, engine->ViewHeight), pointer.Left ? 1.0f : 0.0f,
                    pointer.Right ? 1.0f : 0.0f};
    inputs.Audio = ListenedFeatures();
    engine->FrameInputs = inputs;
}

void TForm_Master::RestartPluginClock() {
    FPluginClock.Reset();
    FSourceOpened = std::chrono::steady_clock::now();
    TRenderEngine* engine = Engine();
    if (!engine) return;
    TViewGLScope work(FGLView);
    engine->ResetFeedback();
}

void TForm_Master::SetHighPrecision(bool on) {
    TRenderEngine* engine = Engine();
    bool used = false;
    if (engine) {
        TViewGLScope work(FGLView);
        try {
            used = engine->SetFloatFramebuffers(on);
        } catch (const std::exception& e) {
            ShowMessage(e.what(), kMessageCaption, TMessageIcon::Error);
        }
    }
    // The setting keeps the wish; the tick shows what the driver gave.
    Settings.FBOFloat = on;
    Action_FBOFloat->setChecked(used);
}

void TForm_Master::SetWatchPluginFiles(bool on) {
    Settings.WatchPluginFiles = on;
    Action_WatchPlugins->setChecked(on);
    TChainState* chain = Chain();
    if (!on || !chain) {
        if (FPluginWatchTimer) FPluginWatchTimer->stop();
        FPluginReloader.reset();
        return;
    }
    if (!FPluginReloader) {
        FPluginReloader = std::make_unique<TPluginReloader>(*chain);
        FPluginReloader->OnProblem = [this](const std::string& name, const std::string& problem) {
            const std::string firstLine = problem.substr(0, problem.find('\n'));
            const QString text = QStringLiteral("  %1: %2")
                                     .arg(QString::fromStdString(name), QString::fromStdString(firstLine));
            StatusBar1->showMessage(text, kReloadNoticeMs);
            if (TRenderEngine* engine = Engine()) engine->HUDNotice = name + ": " + firstLine;
        };
        FPluginReloader->Snapshot();
    }
    if (!FPluginWatchTimer) {
        FPluginWatchTimer = new QTimer(this);
        FPluginWatchTimer->setObjectName(QStringLiteral("PluginWatchTimer"));
        FPluginWatchTimer->setInterval(kPluginWatchMs);
        connect(FPluginWatchTimer, &QTimer::timeout, this, &TForm_Master::WatchPluginFilesTimer);
    }
    FPluginWatchTimer->start();
}

void TForm_Master::WatchPluginFilesTimer() {
    if (!FPluginReloader || !FPluginReloader->Poll()) return;
    TViewGLScope work(FGLView);
    if (TRenderEngine* engine = Engine()) engine->HUDNotice.clear();
    try {
        if (FPluginReloader->Reload()) {
            StatusBar1->showMessage(QStringLiteral("  Plugins reloaded"), kReloadNoticeMs);
            if (OnPluginsReloaded) OnPluginsReloaded();
        }
    } catch (const std::exception& e) {
        StatusBar1->showMessage(QString::fromStdString("  " + std::string(e.what())), kReloadNoticeMs);
    }
}

void TForm_Master::ApplyPluginSettings() {
    bool offered = false;
    if (Engine() && FGLView->HasContext()) {
        TViewGLScope work(FGLView);
        offered = TRenderEngine::FloatFramebuffersOffered();
    }
    Action_FBOFloat->setVisible(offered);
    Action_FBOFloat->setEnabled(offered);
    SetHighPrecision(Settings.FBOFloat);
    SetWatchPluginFiles(Settings.WatchPluginFiles);
}
