// The main window's side of video playback: the playing state and its status text, the position bar
// over the playback model's bar, the play, pause and stop buttons and the end of the stream.
#include "app/Form_Master.h"

#include "app/IdleRenderer.h"
#include "app/QtGLSurface.h"
#include "app/ViewGLScope.h"
#include "platform/Bitmap.h"
#include "platform/MessageSink.h"
#include "render/uRenderEngine.h"
#include "video/PlaybackHelpers.h"

#include <QMouseEvent>
#include <QSignalBlocker>
#include <QSlider>
#include <QTimer>
#include <QToolButton>

void TForm_Master::ConnectVideo() {
    Playback.SetDispatcher([this](std::function<void()> call) {
        QMetaObject::invokeMethod(this, std::move(call), Qt::QueuedConnection);
    });
    Playback.FilterGraph.OnGraphComplete = [this](TFilterGraph* sender, int32_t result, void* renderer) {
        FilterGraphGraphComplete(sender, result, renderer);
    };
    // The plain view shows every video the graph plays, whatever the viewer mode.
    VideoWindow->Output().SetFilterGraph(&Playback.FilterGraph);

    Playback.TrackBarModel.OnChange = [this](TDSTrackBar*) {
        SyncTrackBar();
        TrackBarChange();
    };
    connect(TrackBarTimer, &QTimer::timeout, this, [this] {
        Playback.TrackBarModel.TimerTick();
        SyncTrackBar();
        // A live source's bar stays at 0; its time counts on by itself.
        if (Playback.FilterGraph.Live()) TrackBarChange();
        ShowSoundStatus();
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

void TForm_Master::SetPlayState(TPlayState state) {
    Playback.SetPlayState(state);
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
    if (state == TPlayState::Playing && MediaKind == TMediaKind::Video)
        TrackBarTimer->start();
    else
        TrackBarTimer->stop();
}

void TForm_Master::SyncTrackBar() {
    const TDSTrackBar& model = Playback.TrackBarModel;
    const QSignalBlocker quiet(TrackBar);
    TrackBar->setRange(model.Min(), model.Max());
    TrackBar->setValue(model.Position());
    TrackBar->setEnabled(model.Enabled());
}

bool TForm_Master::eventFilter(QObject* watched, QEvent* event) {
    if (watched == TrackBar &&
        (event->type() == QEvent::MouseButtonPress || event->type() == QEvent::MouseButtonRelease) &&
        static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
        // Seen before the slider handles the button: its moves while held then count as the user's, and
        // by the release the slider has its last value.
        if (event->type() == QEvent::MouseButtonPress) {
            Playback.TrackBarModel.MouseDown();
        } else {
            try {
                Playback.TrackBarModel.MouseUp();
            } catch (const std::exception& e) {
                ShowMessage(e.what(), kMessageCaption, TMessageIcon::Error);
            }
        }
    }
    return QMainWindow::eventFilter(watched, event);
}

void TForm_Master::TrackBarValueChanged(int value) {
    TDSTrackBar& model = Playback.TrackBarModel;
    if (value == model.Position()) return;
    try {
        if (model.Held()) {
            model.UserMove(value);
            return;
        }
        // A key or the wheel moved the thumb: a press, a move and a release in one.
        model.MouseDown();
        model.UserMove(value);
        model.MouseUp();
    } catch (const std::exception& e) {
        ShowMessage(e.what(), kMessageCaption, TMessageIcon::Error);
    }
    SyncTrackBar();
}

void TForm_Master::TrackBarChange() {
    const TFilterGraph& graph = Playback.FilterGraph;
    const int seconds =
        graph.Live() ? static_cast<int>(graph.Position() / 1000) : Playback.TrackBarModel.Position();
    SetStatusText(spPlayTime, QString::fromStdString(" " + FormatPlayTime(seconds) + " min"));
}

void TForm_Master::TB_PlayClick() {
    // After a file that could not be opened there is nothing to play: the state stays Stopped.
    if (PlayState() == TPlayState::Playing || !Playback.FilterGraph.HasFile() || !CheckValidVideoSize())
        return;
    Playback.FilterGraph.Play();
    SetPlayState(TPlayState::Playing);
}

void TForm_Master::TB_PauseClick() {
    if (PlayState() == TPlayState::Paused) return;
    Playback.FilterGraph.Pause();
    SetPlayState(TPlayState::Paused);
}

void TForm_Master::TB_StopClick() {
    if (PlayState() == TPlayState::Stopped) return;
    TFilterGraph& graph = Playback.FilterGraph;
    if (graph.Live()) {
        // Nothing to rewind to: the views keep the last frame, the source is read on meanwhile.
        graph.Stop();
        SetPlayState(TPlayState::Stopped);
        return;
    }
    // Paused, the graph shows the frame a seek lands on; playing it on would let the next frame through
    // before the OpenGL view has drawn the first.
    const uint64_t framesBefore = VideoWindow->Output().FrameCount();
    try {
        graph.Pause();
        graph.SetPosition(1);
        graph.WaitForIdle(std::chrono::milliseconds(kCueWaitMs));
    } catch (const std::exception&) {
        // A graph that cannot seek still stops below; the views keep what they show.
    }
    Playback.TrackBarModel.SetPosition(1);

    // The OpenGL view gets the frame the graph landed on; the first frame captured after the open stands
    // in when none came (it is the video's first only if playing started at the beginning).
    TBitmap landed;
    const bool haveLanded =
        VideoWindow->Output().FrameCount() != framesBefore && VideoWindow->Output().CopyFrame(landed);
    if (TRenderEngine* engine = Engine()) {
        try {
            TViewGLScope work(FGLView);
            if (haveLanded)
                engine->UploadVideoFrame(landed);
            else
                Playback.HandOff.WithFirstFrameBitmap(
                    [engine](const TBitmap& first) { engine->UploadVideoFrame(first); });
        } catch (const std::exception&) {
        }
    }
    Playback.HandOff.ClearNewFrameReady();
    FIdleRenderer->Repaint();

    graph.Stop();
    try {
        graph.SetPosition(0);
    } catch (const std::exception&) {
    }
    Playback.TrackBarModel.SetPosition(0);
    // Also when the bar was at 0 already (a clip shorter than a second): the time then reads 0:00 too.
    TrackBarChange();
    SetPlayState(TPlayState::Stopped);
}

void TForm_Master::FilterGraphGraphComplete(TFilterGraph*, int32_t result, void*) {
    if (MediaKind != TMediaKind::Video) return;
    if (Playback.FilterGraph.Live()) {
        LiveSourceEnded(result);
        return;
    }
    // The last frames may still wait for the view when a slow chain held the loop past their time.
    for (int i = 0; FIdleRenderer && i < Playback.HandOff.QueueDepth() && Playback.HandOff.NewFrameReady();
         ++i)
        FIdleRenderer->RenderNow();
    try {
        Playback.FilterGraph.Pause();
        Playback.FilterGraph.SetPosition(0);
    } catch (const std::exception&) {
    }
    Playback.TrackBarModel.SetPosition(0);
    TB_StopClick();
}
