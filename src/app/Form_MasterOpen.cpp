// Opening sources in the main window: the open dialog, the choice between video and picture by the
// name, and each kind's start in both views.
#include "app/Form_Master.h"

#include "app/ImageViewer.h"
#include "app/QtGLSurface.h"
#include "app/ViewGLScope.h"
#include "gl/GLCheck.h"
#include "pipeline/StillImage.h"
#include "platform/Bitmap.h"
#include "platform/ELumatex.h"
#include "platform/Files.h"
#include "platform/MessageSink.h"
#include "render/uRenderEngine.h"
#include "ui/FileDialogs.h"
#include "video/PlaybackHelpers.h"

#include <QAction>
#include <QCoreApplication>
#include <QFileDialog>
#include <QFileInfo>
#include <QTimer>
#include <QToolButton>

void TForm_Master::Action_FileExecute() {
    SetRenderSuspended(true);
    QFileDialog dialog(this);
    PrepareOpenDialog(dialog, kOpenFilters, kOpenDefaultSuffix, QString::fromStdString(Settings.LastPath),
                      QString::fromStdString(Settings.LastFile));
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
    StartFileSource(path, false);
}

void TForm_Master::StartFileSource(const std::string& path, bool videoByContent) {
    const QFileInfo info(QString::fromStdString(path));
    Settings.LastPath = IncludeTrailingSlash(info.absolutePath().toStdString());
    Settings.LastFile = info.absoluteFilePath().toStdString();
    FileName = Settings.LastFile;
    FSource = TVideoSource{TSourceKind::File, FileName};
    FVideoByContent = videoByContent;
    // Whatever fails while opening ends the open quietly, in the state it reached.
    try {
        StartPlayer(false);
    } catch (const std::exception&) {
    }
}

void TForm_Master::StartPlayer(bool keepPosition) {
    SetRenderSuspended(true);
    const int64_t positionMs = Playback.FilterGraph.Position();
    const TMediaKind kind = FVideoByContent ? TMediaKind::Video : MediaKindOf(FileName);
    SetMediaKind(kind);
    if (kind == TMediaKind::Video)
        StartVideo(keepPosition, positionMs);
    else if (kind == TMediaKind::Image)
        StartImage();
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

void TForm_Master::StartVideo(bool keepPosition, int64_t positionMs, std::unique_ptr<TVideoDecoder> opened) {
    Playback.FilterGraph.Stop();
    SetPlayState(TPlayState::Stopped);
    SetViewerMode(int(TViewerMode::PanelRefresh));
    Playback.Close();
    // The last file's picture must not stand in for this one's (a refused or unreadable file shows none).
    VideoWindow->Clear();
    RestartPluginClock();

    Playback.AttachVideo(Settings.Show_GLRenderer);
    SyncTrackBar();
    FSoundStatusShown.clear();
    // A live source opened again for a new viewer mode goes the way of its first open: off this thread,
    // with the time limit and Cancel. Gone meanwhile, it ends as a live source ends.
    if (!opened && FSource.Kind != TSourceKind::File && !(opened = ReopenLiveSource())) {
        SetStatusText(spMediaKind, QString::fromLatin1(kStatusLiveEnded));
        return;
    }
    if (opened)
        Playback.RenderDecoder(std::move(opened));
    else
        Playback.RenderFile(FileName);
    if (Playback.FilterGraph.Live()) SetStatusText(spMediaKind, QString::fromLatin1(kStatusLive));
    Playback.FilterGraph.SetLoop(Settings.Loop);
    SyncTrackBar();

    GetVideoSize();
    SetStatusText(spSourceSize, QStringLiteral(" %1x%2").arg(VideoWidth).arg(VideoHeight));
    if (!CheckValidVideoSize()) return;

    Playback.FilterGraph.Play();
    SetPlayState(TPlayState::Playing);
    Timer1->start();
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    if (keepPosition && Playback.FilterGraph.Seekable()) Playback.FilterGraph.SetPosition(positionMs);
}

void TForm_Master::GetVideoSize() {
    ::GetVideoSize(Playback.FilterGraph, VideoWidth, VideoHeight);
}

bool TForm_Master::CheckValidVideoSize() {
    if (VideoSizeSupported(NpotSupported, Settings.Show_GLRenderer, VideoWidth, VideoHeight)) return true;
    SetPlayState(TPlayState::Stopped);
    ShowMessage(kVideoSizeRefused, kMessageCaption, TMessageIcon::Information);
    return false;
}

void TForm_Master::StartImage() {
    Playback.FilterGraph.Stop();
    SetPlayState(TPlayState::Stopped);
    SetViewerMode(int(TViewerMode::PanelRefresh));
    Playback.Close();
    Playback.DetachVideo();
    SyncTrackBar();
    RestartPluginClock();

    // A picture that cannot be read leaves the size of the last one (a size of 0 has no aspect ratio).
    if (LoadImg(FileName)) {
        Playback.HandOff.WithFrameBitmap([this](const TBitmap& frame) {
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
        Playback.HandOff.AssignFrameBitmap(picture);
    } catch (const std::exception&) {
        return false;
    }
    // From here on the picture is the frame bitmap; a failing upload leaves the engine's previous source
    // and the old size text, as the steps before it stay done.
    try {
        if (TRenderEngine* engine = Engine()) {
            TViewGLScope work(FGLView);
            engine->UploadSourceFrame(picture);
        }
        Playback.HandOff.ClearNewFrameReady();
        SetStatusText(spSourceSize, QStringLiteral(" %1x%2").arg(picture.Width()).arg(picture.Height()));
    } catch (const std::exception&) {
    }
    return true;
}
