#include "app/GLImageExport.h"

#include "app/Form_Master.h"
#include "app/QtGLSurface.h"
#include "app/ViewGLScope.h"
#include "platform/Bitmap.h"
#include "platform/ELumatex.h"
#include "platform/MessageSink.h"
#include "render/uRenderEngine.h"
#include "ui/FileDialogs.h"

#include <QFileDialog>

#include <charconv>
#include <exception>
#include <new>

namespace {
constexpr const char* kDialogTitle = "Bitte w\u00e4hlen Sie einen Dateinamen:";
constexpr TImageSaveFilters kSaveFilters = {"Alle files (*.*)", "JPEG files (*.jpg)", "image files (*.bmp)"};
constexpr const char* kOutOfMemoryText = "Not enough memory for an image of %dx%d pixels.";
} // namespace

std::optional<int> ParseSizeText(const std::string& text) {
    const char* first = text.data();
    const char* last = first + text.size();
    // from_chars takes a minus but not a plus; the edit fields take neither, but a stored size may be
    // negative and must then be refused as a size, not as a number.
    if (first != last && *first == '+') ++first;
    if (first == last || !(*first == '-' || (*first >= '0' && *first <= '9'))) return std::nullopt;
    int value = 0;
    const auto [end, error] = std::from_chars(first, last, value);
    if (error != std::errc() || end != last) return std::nullopt;
    return value;
}

int ExportMaxEdge(TForm_Master& master) {
    if (!master.GLView()) return kMaxOutputEdge;
    const TViewGLScope scope(*master.GLView());
    return scope.Current() ? ExportMaxEdge() : kMaxOutputEdge;
}

void PrepareGLImageDialog(QFileDialog& dialog, const QString& folder) {
    PrepareImageSaveDialog(dialog, folder, kSaveFilters);
    dialog.setWindowTitle(QString::fromUtf8(kDialogTitle));
    // Asking before overwriting is the dialog's default; the read-only box does not exist here, and a file
    // that cannot be written is refused by the export with its message.
    dialog.setOption(QFileDialog::DontConfirmOverwrite, false);
    dialog.setSizeGripEnabled(true);
}

bool ExportGLImage(TForm_Master& master, const TGLImageRequest& request) {
    TRenderEngine* engine = master.Engine();
    if (!engine) return false;
    // Left as found rather than switched on: a paused video or a minimized window stays without rendering.
    struct TResumeRendering {
        TForm_Master& Master;
        bool WasSuspended;
        ~TResumeRendering() { Master.SetRenderSuspended(WasSuspended); }
    } resume{master, master.RenderSuspended()};
    master.SetRenderSuspended(true);

    // Only the size is needed, for the aspect ratio; the frame itself stays the hand-off's.
    const TPixelSize frame = master.Playback.HandOff.WithFrameBitmap([](const TBitmap& bitmap) {
        return TPixelSize{bitmap.Width(), bitmap.Height()};
    });
    const TFrameExport job{ExportTargetFor(request.Target), request.Size, request.ForceAspect, frame,
                           request.JpegQuality};
    // Everything up to the last message is GL work: a box opened in here would run its nested event loop
    // with rendering suspended and, inside the engine, the off-screen buffer's context current.
    const TViewGLScope scope(master.GLView());
    try {
        // A write error propagates out of the engine with its context restored; a buffer that cannot be made
        // has been told by the engine itself.
        return ExportFrame(*engine, job);
    } catch (const std::bad_alloc&) {
        ShowMessage(FormatText(kOutOfMemoryText, request.Size.Width, request.Size.Height), kMessageCaption,
                    TMessageIcon::Error);
    } catch (const std::exception& e) {
        ShowMessage(e.what(), kMessageCaption, TMessageIcon::Error);
    }
    return false;
}
