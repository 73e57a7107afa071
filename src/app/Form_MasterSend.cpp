// The main window's live output to other programs: "Send Output To...", "Stop Sending", --output, and the
// status bar's word on what is being sent where.
#include "app/Form_Master.h"

#include "app/Form_SendOutput.h"
#include "app/QtGLSurface.h"
#include "app/ViewGLScope.h"
#include "pipeline/LiveOutput.h"
#include "platform/MessageSink.h"

#include <QAction>
#include <QLabel>
#include <QStatusBar>
#include <QTimer>

#include <chrono>
#include <cmath>

namespace {

constexpr int kSendPollMs = 100;

int64_t SteadyNowNs() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

QString SendingText(const TLiveOutput& output) {
    const QString target = QString::fromStdString(output.Target());
    const TPixelSize size = output.Size();
    // An address that has not answered yet (SRT, RTMP) is not being sent to.
    if (size.Width != 0 && output.Status().State == TSendState::Opening)
        return QStringLiteral("  Connecting to %1...").arg(target);
    const QString text = QStringLiteral("  Sending to %1").arg(target);
    if (size.Width == 0) return text;
    const double rate = 1e9 / double(output.FrameDurationNs());
    return text + QStringLiteral(" (%1x%2, %3 fps)")
                      .arg(size.Width)
                      .arg(size.Height)
                      .arg(rate, 0, 'f', std::fabs(rate - std::round(rate)) < 0.01 ? 0 : 2);
}

} // namespace

void TForm_Master::Action_SendOutputExecute() {
    const std::vector<std::string> recent = RecentSendTargets(Settings.SendTargets);
    std::string target;
    if (RunSendDialog) {
        target = RunSendDialog(recent).trimmed().toStdString();
    } else {
        TForm_SendOutput dialog(recent, this);
        if (dialog.exec() == QDialog::Accepted) target = dialog.Target();
    }
    if (!target.empty()) StartSending(target);
    SyncSendActions();
}

bool TForm_Master::StartSending(const std::string& target) {
    if (const std::string problem = LiveTargetProblem(target); !problem.empty()) {
        ShowMessage(problem, kMessageCaption, TMessageIcon::Error);
        SyncSendActions();
        return false;
    }
    StopSending();
    FLiveOutput = std::make_unique<TLiveOutput>(target);
    Settings.SendTargets = RememberSendTarget(Settings.SendTargets, target);
    if (!FSendTimer) {
        FSendTimer = new QTimer(this);
        FSendTimer->setObjectName(QStringLiteral("SendTimer"));
        FSendTimer->setInterval(kSendPollMs);
        connect(FSendTimer, &QTimer::timeout, this, &TForm_Master::SendStatusTimer);
    }
    if (!FSendStatus) {
        FSendStatus = new QLabel(StatusBar1);
        FSendStatus->setObjectName(QStringLiteral("StatusBar1_Send"));
        StatusBar1->addPermanentWidget(FSendStatus);
    }
    FSendTimer->start();
    SyncSendActions();
    return true;
}

void TForm_Master::StopSending() {
    if (!FLiveOutput) return;
    if (FSendTimer) FSendTimer->stop();
    {
        TViewGLScope work(FGLView);
        FLiveOutput->Detach(Engine());
    }
    // A file is finished at the stop: its failure (a full disk) is told now.
    const TSendStatus last = FLiveOutput->Status();
    FLiveOutput.reset();
    SyncSendActions();
    if (last.State == TSendState::Failed) ShowMessage(last.Error, kMessageCaption, TMessageIcon::Error);
}

QString TForm_Master::SendStatusText() const {
    return FSendStatus && FSendStatus->isVisible() ? FSendStatus->text() : QString();
}

void TForm_Master::SyncSendActions() {
    const bool sending = FLiveOutput != nullptr;
    if (Action_SendOutput) Action_SendOutput->setChecked(sending);
    if (Action_StopSending) Action_StopSending->setEnabled(sending);
    if (!FSendStatus) return;
    FSendStatus->setVisible(sending);
    FSendStatus->setText(sending ? SendingText(*FLiveOutput) : QString());
}

void TForm_Master::SendStatusTimer() {
    if (!FLiveOutput) return;
    // A target that fails is told once; the sending stops and the program goes on.
    if (FLiveOutput->Status().State == TSendState::Failed) {
        StopSending();
        return;
    }
    SyncSendActions();
}

void TForm_Master::SendBeforeFrame() {
    TRenderEngine* engine = Engine();
    if (!FLiveOutput || !engine) return;
    const int64_t frameNs = Playback.FilterGraph.FrameDurationNs();
    FLiveOutput->BeforeFrame(*engine, {VideoWidth, VideoHeight},
                             MediaKind == TMediaKind::Video ? frameNs : 0);
}

void TForm_Master::SendAfterFrame() {
    if (FLiveOutput) FLiveOutput->AfterFrame(SteadyNowNs());
}
