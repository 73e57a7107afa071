// The main window's outputs: the full-screen output window, and the frame hooks of the live output.
#include "app/Form_Master.h"

#include "app/OutputWindow.h"
#include "app/QtGLSurface.h"
#include "app/ViewGLScope.h"
#include "platform/MessageSink.h"
#include "render/uRenderEngine.h"

#include <QAction>

inline constexpr const char* kOutputWindowFailedText = "The output window could not be opened.";
inline constexpr const char* kOutputScreenGoneText =
    "The output window was closed: its screen is gone. View > Output Window (F11) opens it again.";

bool TForm_Master::SetOutputWindow(bool on, int screen) {
    if (Action_OutputWindow) Action_OutputWindow->setChecked(on);
    if (!on) {
        if (!FOutputWindow) return true;
        {
            TViewGLScope work(FGLView);
            FOutputWindow->Detach(Engine());
        }
        FOutputWindow.reset();
        return true;
    }
    if (FOutputWindow) return true;
    if (!FGLView || !FGLView->GLContext()) return false;
    auto window = std::make_unique<TOutputWindow>(*FGLView->GLContext());
    if (!window->Open(screen)) {
        Action_OutputWindow->setChecked(false);
        ShowMessage(kOutputWindowFailedText, kMessageCaption, TMessageIcon::Error);
        return false;
    }
    // Queued: the request may come from inside the window's own event handling.
    window->OnCloseRequested = [this](bool screenGone) {
        QMetaObject::invokeMethod(
            this,
            [this, screenGone] {
                SetOutputWindow(false);
                if (screenGone)
                    ShowMessage(kOutputScreenGoneText, kMessageCaption, TMessageIcon::Information);
            },
            Qt::QueuedConnection);
    };
    // Its first picture comes with the next frame.
    FOutputWindow = std::move(window);
    return true;
}

void TForm_Master::OutputBeforeFrame() {
    TRenderEngine* engine = Engine();
    if (FOutputWindow && engine)
        FOutputWindow->BeforeFrame(*engine, VideoWidth, VideoHeight, Settings.ForceAspectRatio);
    SendBeforeFrame();
}

void TForm_Master::OutputAfterFrame() {
    // The read-back starts before the output window's swap, which may wait for the screen.
    SendAfterFrame();
    if (FOutputWindow) FOutputWindow->AfterFrame(*FGLView);
}
