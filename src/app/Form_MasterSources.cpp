// Sources beyond the open dialog: an address typed into "Open URL..." or given on the command line (a
// stream, a lavfi test source, a camera, or a video file of any extension FFmpeg reads), opened without
// holding the window; the end of a live source; the preset asked for on the command line.
#include "app/ControlBridge.h"
#include "app/Form_Master.h"

#include "app/Form_OpenCamera.h"
#include "app/QtGLSurface.h"
#include "app/ViewGLScope.h"
#include "platform/ELumatex.h"
#include "platform/Files.h"
#include "platform/MessageSink.h"
#include "plugins/uChainState.h"
#include "presets/uPresets.h"
#include "render/uRenderEngine.h"
#include "video/CameraList.h"
#include "video/SourceOpener.h"
#include "video/VideoDecoder.h"

extern "C" {
#include <libavutil/error.h>
}

#include <QEventLoop>
#include <QInputDialog>
#include <QProgressDialog>
#include <QTimer>

namespace {

constexpr int kOpenPollMs = 20;
constexpr int kOpenDialogDelayMs = 300; // a source that answers at once shows no dialog at all

bool ReadsAsVideo(const std::string& path) {
    TVideoDecoder probe;
    return probe.Open(path) == 0;
}

} // namespace

void TForm_Master::Action_OpenURLExecute() {
    SetRenderSuspended(true);
    QString address;
    if (RunURLDialog) {
        address = RunURLDialog();
    } else {
        bool accepted = false;
        address = QInputDialog::getText(this, QStringLiteral("Open URL"), QString::fromLatin1(kOpenURLPrompt),
                                        QLineEdit::Normal, QString(), &accepted);
        if (!accepted) address.clear();
    }
    address = address.trimmed();
    if (address.isEmpty()) {
        SetRenderSuspended(false);
        return;
    }
    OpenAddress(address.toStdString());
}

void TForm_Master::Action_OpenCameraExecute() {
    std::vector<TCameraDevice> cameras = FindCameras ? FindCameras() : ListCameras();
    if (cameras.empty()) {
        ShowMessage(kNoCameraText, kMessageCaption, TMessageIcon::Information);
        return;
    }
    SetRenderSuspended(true);
    TForm_OpenCamera dialog(std::move(cameras), this);
    const bool chosen = RunCameraDialog ? RunCameraDialog(dialog) : dialog.exec() == QDialog::Accepted;
    if (!chosen) {
        SetRenderSuspended(PlayState() != TPlayState::Playing);
        return;
    }
    const TVideoSource source = dialog.Source();
    OpenLiveSource(source, source.Address);
}

void TForm_Master::OpenAddress(const std::string& text) {
    const TVideoSource source = SourceFromAddress(text);
    if (source.Kind != TSourceKind::File) {
        OpenLiveSource(source, text);
        return;
    }
    // The open dialog's extensions keep their rules; any other file is a video when FFmpeg reads it as one.
    if (MediaKindOf(text) != TMediaKind::None || !ReadsAsVideo(text)) {
        OpenFile(text);
        return;
    }
    StartFileSource(text, true);
}

void TForm_Master::OpenLiveSource(const TVideoSource& source, const std::string& text) {
    SetRenderSuspended(true);
    TSourceOpener opener;
    opener.Start(source, OpenLimitNs);
    if (!WaitForOpen(opener, QString::fromStdString(text))) {
        SetRenderSuspended(PlayState() != TPlayState::Playing);
        return; // cancelled: what played before plays on
    }
    if (opener.Result() < 0) {
        ShowOpenFailure(opener, text);
        SetRenderSuspended(PlayState() != TPlayState::Playing);
        return;
    }
    FileName = text;
    FSource = source;
    FVideoByContent = true;
    SetMediaKind(TMediaKind::Video);
    try {
        StartVideo(false, 0, opener.Take());
    } catch (const std::exception& e) {
        ShowMessage(e.what(), kMessageCaption, TMessageIcon::Error);
    }
}

void TForm_Master::ShowOpenFailure(const TSourceOpener& opener, const std::string& text) {
    const std::string reason =
        opener.Result() == AVERROR_EXIT ? std::string("it did not answer in time.") : opener.ErrorText();
    ShowMessage("Could not open " + text + ": " + reason, kMessageCaption, TMessageIcon::Error);
}

std::unique_ptr<TVideoDecoder> TForm_Master::ReopenLiveSource() {
    TSourceOpener opener;
    opener.Start(FSource, OpenLimitNs);
    if (!WaitForOpen(opener, QString::fromStdString(FileName))) return nullptr;
    if (opener.Result() < 0) {
        ShowOpenFailure(opener, FileName);
        return nullptr;
    }
    return opener.Take();
}

bool TForm_Master::WaitForOpen(TSourceOpener& opener, const QString& address) {
    QProgressDialog progress(QStringLiteral("Connecting to %1 ...").arg(address), QStringLiteral("Cancel"), 0,
                             0, this);
    progress.setObjectName(QStringLiteral("OpenProgress"));
    progress.setWindowTitle(QString::fromLatin1(kMessageCaption));
    progress.setWindowModality(Qt::WindowModal);
    progress.setMinimumDuration(kOpenDialogDelayMs);
    progress.setAutoReset(false);
    QEventLoop loop;
    QTimer poll;
    poll.setInterval(kOpenPollMs);
    QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
        // Cancelled, the open ends within a poll or two: the decoder's interrupt is checked all the time.
        if (progress.wasCanceled()) opener.Cancel();
        if (opener.Finished()) loop.quit();
    });
    QObject::connect(&progress, &QProgressDialog::canceled, &loop, [&opener] { opener.Cancel(); });
    // The box's own timer counts from its first value.
    progress.setValue(0);
    poll.start();
    if (!opener.Finished()) loop.exec();
    return !opener.Cancelled();
}

void TForm_Master::LiveSourceEnded(int32_t result) {
    Playback.FilterGraph.Stop();
    SetPlayState(TPlayState::Stopped);
    SetStatusText(spMediaKind, QString::fromLatin1(kStatusLiveEnded));
    std::string text = "The live source " + FileName;
    if (result == 0)
        text += " has ended.";
    else if (result == AVERROR_EXIT)
        text += " stopped sending.";
    else
        text += " stopped: " + FFmpegErrorText(result);
    ShowMessage(text, kMessageCaption, TMessageIcon::Warning);
}

bool TForm_Master::ApplyStartPreset(const std::string& path) {
    TChainState* chain = Chain();
    if (!chain || !FileExists(path)) return false;
    try {
        TViewGLScope work(FGLView);
        ApplyPreset(*chain, path);
        if (FControl) FControl->ApplyPresetExtras(path);
        chain->RefreshSlots(chain->SelectedSlot, true);
    } catch (const std::exception& e) {
        ShowMessage(e.what(), kMessageCaption, TMessageIcon::Error);
        return false;
    }
    return true;
}
