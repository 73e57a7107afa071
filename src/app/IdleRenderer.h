// IdleRenderer.h: continuous rendering from the event loop's idle time, and the only caller of the engine's
// RenderFrame. Each time the GUI thread's loop is about to wait for events, one frame is drawn when the
// main window wants frames, and one coalesced wake-up is posted so that the loop comes round again instead
// of sleeping. When no frame is wanted (no source, window hidden or minimised, rendering suspended) nothing
// is posted and the loop sleeps until the next event: an idle program burns no CPU.
//
// Menus and dialogs run nested loops that announce their waits too; a frame never starts while another is
// under way (a message box raised by a frame must not draw the next one). GUI thread only; the surface's
// context is made current for every frame.
#pragma once

#include <QObject>

#include <cstdint>
#include <exception>
#include <functional>

class IGLSurface;
class TPlayback;
class TRenderEngine;

class TIdleRenderer : public QObject {
public:
    struct THandlers {
        std::function<bool()> WantsFrame;  // a source is shown and rendering is not suspended
        std::function<bool()> HasPicture;  // a source is shown in the OpenGL view, suspended or not
        std::function<void()> BeforeFrame; // more work before each frame; may be empty
        std::function<bool()> ShowHUD;
        // More work after each frame drawn (the output window's picture); may be empty.
        std::function<void()> AfterFrame;
        // The frame failed: the engine is at rest again. Called once per failed frame.
        std::function<void(const std::exception& error)> RenderFailed;
    };

    TIdleRenderer(IGLSurface& surface, QObject* parent = nullptr);
    ~TIdleRenderer() override;

    // Starts listening to the loop; the engine must outlive the renderer or be reset to nullptr first.
    // Before each frame the playback, when given, hands its waiting video frame to the engine.
    void Start(TRenderEngine* engine, THandlers handlers, TPlayback* playback = nullptr);
    void Stop();

    // Draws the frame the loop's next idle turn would draw, now; nothing when none is wanted or a frame is
    // under way. For a video's end, whose handling would otherwise overtake its last frame.
    void RenderNow();

    // The view was uncovered: draws the current source again when there is one, else clears the view. A
    // failure here stays silent (the view is cleared); frames report theirs.
    void Repaint();

    uint64_t FramesRendered() const { return Frames; }
    uint64_t WakeUpsPosted() const { return WakeUps; }

protected:
    bool event(QEvent* event) override;

private:
    void AboutToBlock();
    void RenderOne();
    void PrepareFrame();

    IGLSurface& Surface;
    TRenderEngine* Engine = nullptr;
    TPlayback* Playback = nullptr;
    THandlers Handlers;
    QMetaObject::Connection Hook;
    bool InFrame = false;
    bool WakePending = false;
    uint64_t Frames = 0;
    uint64_t WakeUps = 0;
};
