#include "app/IdleRenderer.h"

#include "app/ViewGLScope.h"
#include "render/uRenderEngine.h"
#include "video/Playback.h"

#include <QAbstractEventDispatcher>
#include <QCoreApplication>
#include <QEvent>

namespace {

const QEvent::Type kWakeUpEvent = static_cast<QEvent::Type>(QEvent::registerEventType());

} // namespace

TIdleRenderer::TIdleRenderer(IGLSurface& surface, QObject* parent) : QObject(parent), Surface(surface) {}

TIdleRenderer::~TIdleRenderer() {
    Stop();
}

void TIdleRenderer::Start(TRenderEngine* engine, THandlers handlers, TPlayback* playback) {
    Stop();
    Engine = engine;
    Playback = playback;
    Handlers = std::move(handlers);
    if (auto* dispatcher = QAbstractEventDispatcher::instance(thread()))
        Hook = connect(dispatcher, &QAbstractEventDispatcher::aboutToBlock, this,
                       &TIdleRenderer::AboutToBlock, Qt::DirectConnection);
}

void TIdleRenderer::Stop() {
    if (Hook) disconnect(Hook);
    Hook = {};
    Engine = nullptr;
    Playback = nullptr;
}

void TIdleRenderer::AboutToBlock() {
    if (InFrame || !Engine || !Handlers.WantsFrame || !Handlers.WantsFrame()) return;
    RenderOne();
    // Low priority: input and timers queued meanwhile are handled before the next frame.
    if (!WakePending) {
        WakePending = true;
        ++WakeUps;
        QCoreApplication::postEvent(this, new QEvent(kWakeUpEvent), Qt::LowEventPriority);
    }
}

void TIdleRenderer::RenderNow() {
    if (!InFrame && Engine && Handlers.WantsFrame && Handlers.WantsFrame()) RenderOne();
}

void TIdleRenderer::RenderOne() {
    InFrame = true;
    {
        // The failure's message is raised inside the scope too: it waits for the loop instead of opening a
        // modal box in the middle of the loop's wait.
        TViewGLScope work(Surface);
        PrepareFrame();
        try {
            Engine->RenderFrame(Handlers.ShowHUD && Handlers.ShowHUD());
            ++Frames;
            if (Handlers.AfterFrame) Handlers.AfterFrame();
        } catch (const std::exception& e) {
            if (Handlers.RenderFailed) Handlers.RenderFailed(e);
        }
    }
    InFrame = false;
}

void TIdleRenderer::PrepareFrame() {
    // A frame that cannot be uploaded is tried again next turn; the last one stays on screen.
    try {
        if (Playback) Playback->UploadNewFrame(*Engine);
        if (Handlers.BeforeFrame) Handlers.BeforeFrame();
    } catch (const std::exception&) {
    }
}

void TIdleRenderer::Repaint() {
    if (InFrame || !Engine) return;
    InFrame = true;
    {
        TViewGLScope work(Surface);
        bool drawn = false;
        if (Handlers.HasPicture && Handlers.HasPicture()) {
            try {
                Engine->RenderFrame(Handlers.ShowHUD && Handlers.ShowHUD());
                ++Frames;
                drawn = true;
            } catch (const std::exception&) {
            }
        }
        if (!drawn) {
            try {
                Engine->ClearView();
            } catch (const std::exception&) {
            }
        }
    }
    InFrame = false;
}

bool TIdleRenderer::event(QEvent* event) {
    if (event->type() != kWakeUpEvent) return QObject::event(event);
    // Nothing to do here: arriving was the point, the loop now comes round to AboutToBlock again.
    WakePending = false;
    return true;
}
