// OutputWindow.h: TOutputWindow, the full-screen output: a borderless window covering one screen (a
// projector or a second monitor) that shows the processed picture at that screen's size, letter- or
// pillar-boxed in black when the aspect ratio is forced. The engine draws its last pass into the output
// framebuffer this window keeps (in the main context); the window copies that picture into itself with a
// context of its own that shares the main one's textures, at swap interval 1, so the main view keeps its
// own. It follows the screens: moved when its screen goes and another is left besides the first, closed
// when only one is left. GUI thread only.
#pragma once

#include "render/uOutputPresenter.h"

#include <QPointer>
#include <QWindow>

#include <functional>
#include <memory>

class IGLSurface;
class QOpenGLContext;
class QScreen;
class TRenderEngine;

class TOutputWindow : public QWindow {
public:
    // The screen the window goes on among count screens: requested counts from 1; 0, or a screen that is
    // not there, means the last one. -1 when there is none.
    static int ChooseScreen(int requested, int count);
    // Where the picture of a sourceWidth x sourceHeight source goes on a screenWidth x screenHeight
    // screen: the whole screen, or the largest centred rectangle of the source's aspect when forced.
    static TPresentRect PictureRect(int screenWidth, int screenHeight, int sourceWidth, int sourceHeight,
                                    bool forceAspect);

    // mainContext: the main view's context, whose objects this window's context shares.
    explicit TOutputWindow(QOpenGLContext& mainContext);
    ~TOutputWindow() override; // Detach must have run (the framebuffer belongs to the main context)

    // Full screen on the chosen screen; false, with nothing shown, when no context could be made.
    bool Open(int requestedScreen);
    int RequestedScreen() const { return FRequested; }

    // With the main context current: the output framebuffer at the picture's size, set as the engine's
    // output target.
    void BeforeFrame(TRenderEngine& engine, int sourceWidth, int sourceHeight, bool forceAspect);
    // After the engine's frame: the picture into this window and its swap; main is current again after.
    void AfterFrame(IGLSurface& main);
    // With the main context current: the engine lets go of the framebuffer, which is freed.
    void Detach(TRenderEngine* engine);

    uint64_t FramesShown() const { return FShown; }

    // The window asks to be closed: Escape or F11 on it, or its screen gone with only one left (screenGone).
    std::function<void(bool screenGone)> OnCloseRequested;

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    void PlaceOnScreen();
    void ScreensChanged(bool mineGone);

    QOpenGLContext& FMain;
    std::unique_ptr<QOpenGLContext> FContext;
    std::unique_ptr<TOutputPresenter> FPresenter;
    TPresentRect FRect;
    QPointer<QScreen> FScreen;
    int FRequested = 0;
    uint64_t FShown = 0;
};
