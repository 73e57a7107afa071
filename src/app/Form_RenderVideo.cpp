#include "app/Form_RenderVideo.h"

#include "app/ControlBridge.h"
#include "app/Form_Master.h"
#include "app/GLImageExport.h"
#include "app/VideoRenderThread.h"
#include "gl/GLCheck.h"
#include "pipeline/ExportSteps.h"
#include "platform/Bitmap.h"
#include "platform/ELumatex.h"
#include "platform/Files.h"
#include "platform/MessageSink.h"
#include "platform/Settings.h"
#include "presets/uPresets.h"
#include "render/uRenderEngine.h"
#include "ui/CentreOnOwner.h"
#include "ui/WindowFonts.h"

#include <QFileDialog>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>

#include <algorithm>
#include <cstdio>

namespace {

constexpr int kClientWidth = 360;
constexpr int kClientHeight = 110;
constexpr int kPollMs = 100;
constexpr const char* kFilters[] = {"MP4 video (*.mp4)", "Matroska video (*.mkv)", "QuickTime video (*.mov)",
                                    "WebM video (*.webm)", "AVI video (*.avi)"};

QString ProgressText(int64_t done, int64_t total) {
    if (total < 0) return QStringLiteral("Frame %1").arg(done);
    return QStringLiteral("Frame %1 of %2").arg(done).arg(total);
}

} // namespace

TForm_RenderVideo::TForm_RenderVideo(TForm_Master& master, QWidget* owner)
    : QDialog(owner, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint),
      Master(master) {
    setObjectName(QStringLiteral("Form_RenderVideo"));
    setWindowTitle(QString::fromLatin1(kRenderVideoCaption));
    setFont(WindowFont());
    setFixedSize(kClientWidth, kClientHeight);
    setModal(false);

    L_Progress = new QLabel(this);
    L_Progress->setObjectName(QStringLiteral("L_Progress"));
    L_Progress->setGeometry(12, 10, kClientWidth - 24, 18);
    ProgressBar_Render = new QProgressBar(this);
    ProgressBar_Render->setObjectName(QStringLiteral("ProgressBar_Render"));
    ProgressBar_Render->setGeometry(12, 34, kClientWidth - 24, 22);
    BT_Cancel = new QPushButton(QStringLiteral("Cancel"), this);
    BT_Cancel->setObjectName(QStringLiteral("BT_Cancel"));
    BT_Cancel->setGeometry(kClientWidth - 87, 74, 75, 25);
    connect(BT_Cancel, &QPushButton::clicked, this, &TForm_RenderVideo::BT_CancelClick);

    PollTimer = new QTimer(this);
    PollTimer->setObjectName(QStringLiteral("Timer_RenderVideo"));
    PollTimer->setInterval(kPollMs);
    connect(PollTimer, &QTimer::timeout, this, &TForm_RenderVideo::Poll);
}

// The thread's destructor cancels a render still running and waits for it.
TForm_RenderVideo::~TForm_RenderVideo() = default;

// The export window's rules: the video's own size, or the size typed there, made to the frame's aspect
// ratio within it when "Force Aspect Ratio" is ticked.
std::optional<TPixelSize> TForm_RenderVideo::OutputSize() const {
    const TPixelSize frame = Master.Playback.HandOff.WithFrameBitmap([](const TBitmap& bitmap) {
        return TPixelSize{bitmap.Width(), bitmap.Height()};
    });
    const TSettings& s = Master.Settings;
    if (s.Save_ViewPort) return frame;
    const TPixelSize box{s.Save_Size_X, s.Save_Size_Y};
    if (const std::string problem =
            ExportSizeProblem(box.Width, box.Height, NpotSupported, ExportMaxEdge(Master));
        !problem.empty()) {
        ShowMessage(problem, kMessageCaption, TMessageIcon::Error);
        return std::nullopt;
    }
    return s.Save_ForceAspect ? ForcedAspectSize(frame, box) : box;
}

std::string TForm_RenderVideo::AskTarget() {
    QFileDialog dialog(parentWidget());
    dialog.setObjectName(QStringLiteral("SaveDialog_RenderVideo"));
    dialog.setWindowTitle(QStringLiteral("Render Video"));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setNameFilters(NameFilterList(kFilters));
    dialog.setDefaultSuffix(QStringLiteral("mp4"));
    dialog.setDirectory(QString::fromStdString(Master.Settings.LastPath));
    // The suffix of the filter chosen goes to a name typed without one.
    connect(&dialog, &QFileDialog::filterSelected, &dialog, [&dialog](const QString& filter) {
        const qsizetype dot = filter.lastIndexOf(QLatin1Char('.'));
        dialog.setDefaultSuffix(filter.mid(dot + 1).chopped(1));
    });
    return RunSaveDialog(dialog).toStdString();
}

// The chain as it stands now, for the render's own engine: its plugins and values, and its modulators.
bool TForm_RenderVideo::SnapshotChain(const std::string& path) {
    try {
        std::remove(path.c_str()); // a snapshot of an earlier render: WritePreset would ask to overwrite it
        WritePreset(*Master.Chain(), path);
        if (Master.Control()) Master.Control()->ChainControl().WriteModulators(path);
        return true;
    } catch (const ELumatex& e) {
        ShowMessage(e.what(), kMessageCaption, TMessageIcon::Error);
        return false;
    }
}

void TForm_RenderVideo::StartRender() {
    if (Thread) {
        show();
        raise();
        return;
    }
    if (Master.MediaKind != TMediaKind::Video || !FileExists(Master.FileName)) {
        ShowMessage(kRenderNeedsVideoFile, kMessageCaption, TMessageIcon::Information);
        return;
    }
    const std::optional<TPixelSize> size = OutputSize();
    if (!size || !Master.Engine()) return;
    const std::string target = AskTarget();
    if (target.empty()) return;
    if (!IsVideoFileName(target)) {
        ShowMessage(kRenderVideoNames, kMessageCaption, TMessageIcon::Error);
        return;
    }
    for (const std::string& problem : {VideoEncodeProblem(target, {}), OutputFolderProblem(target)})
        if (!problem.empty()) {
            ShowMessage(problem, kMessageCaption, TMessageIcon::Error);
            return;
        }
    const std::string preset = Snapshots.filePath(QStringLiteral("chain.ini")).toStdString();
    if (!Snapshots.isValid() || !SnapshotChain(preset)) return;

    TVideoRenderRequest request;
    request.Input = Master.FileName;
    request.Output = target;
    request.Size = *size;
    request.PresetFile = preset;
    request.DataFolders = Master.DataFolders.Roots;
    request.FboSize = Master.Engine()->FBOSize;
    request.HighPrecision = Master.Engine()->FloatFramebuffers;
    Thread = std::make_unique<TVideoRenderThread>(std::move(request));
    L_Progress->setText(QStringLiteral("Rendering %1").arg(QString::fromStdString(target)));
    ProgressBar_Render->setRange(0, 0);
    BT_Cancel->setEnabled(true);
    if (!isVisible()) CentreOnOwner(*this);
    show();
    PollTimer->start();
}

void TForm_RenderVideo::Poll() {
    if (!Thread) return;
    if (Thread->Finished()) {
        Finish();
        return;
    }
    const int64_t total = Thread->FramesTotal();
    const int64_t done = Thread->FramesDone();
    if (total > 0) {
        ProgressBar_Render->setRange(0, int(total));
        ProgressBar_Render->setValue(int(std::min(done, total)));
    }
    // Once Cancel is pressed the text says so until the thread has stopped.
    if (BT_Cancel->isEnabled()) L_Progress->setText(ProgressText(done, total));
}

void TForm_RenderVideo::Finish() {
    PollTimer->stop();
    const std::unique_ptr<TVideoRenderThread> thread = std::move(Thread);
    hide();
    if (!thread->Error().empty()) ShowMessage(thread->Error(), kMessageCaption, TMessageIcon::Error);
}

void TForm_RenderVideo::BT_CancelClick() {
    if (!Thread) return;
    Thread->Cancel();
    BT_Cancel->setEnabled(false);
    L_Progress->setText(QStringLiteral("Cancelling..."));
}

void TForm_RenderVideo::reject() {
    if (Thread)
        BT_CancelClick();
    else
        QDialog::reject();
}

void AttachRenderVideoWindow(TForm_Master& master, TForm_RenderVideo& form) {
    master.OnRenderVideo = [&form] { form.StartRender(); };
}
