// uOutputPresenter.h: TOutputPresenter, the GL side of an output window. In the main context it keeps the
// output framebuffer the engine's last pass draws into while the window is open; in the window's own
// context, which shares the main one's textures, it copies that picture 1:1 into a rectangle of the
// window's framebuffer, black around it. Framebuffers are not shared between contexts, so it keeps a
// reading framebuffer of its own over the texture in the window's context.
// GL thread only; each call names the context that must be current for it. Nothing GL in this header, so
// that window files can hold one.
#pragma once

#include <memory>

class TOutputTarget;
class TRenderEngine;

struct TPresentRect {
    int X = 0; // from the window's bottom left, in device pixels
    int Y = 0;
    int Width = 0;
    int Height = 0;
};

class TOutputPresenter {
public:
    TOutputPresenter();
    // ReleaseTarget and ReleaseWindowObjects must have run, each in its context.
    ~TOutputPresenter();
    TOutputPresenter(const TOutputPresenter&) = delete;
    TOutputPresenter& operator=(const TOutputPresenter&) = delete;

    // Main context: the output framebuffer at width x height (at least 1 x 1), set as the engine's output.
    void AttachTo(TRenderEngine& engine, int width, int height);
    // Main context: the engine (when given) lets go of the framebuffer, which is freed.
    void ReleaseTarget(TRenderEngine* engine);

    // Window context: the window (windowWidth x windowHeight) black, then the framebuffer's picture into
    // rect, whose size is the framebuffer's. Without a framebuffer, or one the reading framebuffer cannot
    // take, the window stays black.
    void Present(TPresentRect rect, int windowWidth, int windowHeight);
    // Window context: the reading framebuffer is freed.
    void ReleaseWindowObjects();

private:
    std::unique_ptr<TOutputTarget> Target;
    unsigned ReadFramebuffer = 0;
};
