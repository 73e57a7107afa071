// Form_RenderVideo.h: TForm_RenderVideo, "Render Video...": asks for a video file, renders the open video
// through the chain as it stands at the start (plugins and parameter values) into it at the export window's
// size, and shows the progress (frames done of all) with a Cancel button meanwhile. The frames are rendered
// off-screen by a thread of its own (TVideoRenderThread), one after the other and none skipped, while the
// main window stays usable and goes on playing. Not modal; one render at a time. GUI thread only.
#pragma once

#include "ui/FileDialogs.h"

#include <QDialog>
#include <QTemporaryDir>

#include <memory>
#include <optional>
#include <string>

class QLabel;
class QProgressBar;
class QPushButton;
class QTimer;
class TForm_Master;
class TVideoRenderThread;
struct TPixelSize;

inline constexpr const char* kRenderVideoCaption = "Render Video";
inline constexpr const char* kRenderNeedsVideoFile = "Render Video needs an open video file.";
inline constexpr const char* kRenderVideoNames =
    "A video is rendered into an .mp4, .mkv, .mov, .webm or .avi file.";

class TForm_RenderVideo : public QDialog {
    Q_OBJECT
public:
    explicit TForm_RenderVideo(TForm_Master& master, QWidget* owner = nullptr);
    ~TForm_RenderVideo() override;

    // The File menu's "Render Video...": the checks, the file asked for, then the render started.
    void StartRender();
    bool Rendering() const { return Thread != nullptr; }
    void BT_CancelClick();

    // Runs the prepared save dialog; tests replace it so that nothing waits for a click.
    TRunFileDialog RunSaveDialog = ExecFileDialog;

    QLabel* L_Progress = nullptr;
    QProgressBar* ProgressBar_Render = nullptr;
    QPushButton* BT_Cancel = nullptr;

protected:
    void reject() override; // Escape and the close box cancel, as the button does

private:
    std::optional<TPixelSize> OutputSize() const;
    std::string AskTarget();
    bool SnapshotChain(const std::string& path);
    void Poll();
    void Finish();

    TForm_Master& Master;
    QTimer* PollTimer = nullptr;
    QTemporaryDir Snapshots;
    std::unique_ptr<TVideoRenderThread> Thread;
};

// Binds the main window's "Render Video..." to form.
void AttachRenderVideoWindow(TForm_Master& master, TForm_RenderVideo& form);
