// GLImageExport.h: "Save OpenGL image..." without its window: the size fields' values, the save dialog the
// export window offers, and the export itself (the chain rendered off-screen at that size, then written as
// BMP or JPEG by the pipeline's ExportFrame). GUI thread only; the export makes the OpenGL view's context
// current.
#pragma once

#include "pipeline/FrameExport.h"

#include <QString>

#include <optional>
#include <string>

class QFileDialog;
class TForm_Master;

inline constexpr const char* kVideoSizeNotSupported = "Video size not supported.";

// The value of a size field's text: an optional sign and decimal digits that fit an int. Nothing else (an
// empty field, letters, blanks) is an integer.
std::optional<int> ParseSizeText(const std::string& text);

// The largest edge an export may have: the limit of the OpenGL view's driver for framebuffers, textures and
// viewports, and no more than lumatex-render takes. Makes the view's context current, as GL work.
int ExportMaxEdge(TForm_Master& master);

// The export window's save dialog: its title, the three filters with the JPEG one chosen, "jpg" added to
// a name typed without suffix, opened in folder.
void PrepareGLImageDialog(QFileDialog& dialog, const QString& folder);

struct TGLImageRequest {
    std::string Target; // the name chosen; the file written is ExportTargetFor(Target)
    TPixelSize Size;
    bool ForceAspect = true;
    int JpegQuality = 80;
};

// Renders the current frame through the chain at request.Size and writes it under the name
// ExportTargetFor(request.Target) gives. Rendering on screen is suspended meanwhile and left as it was found
// on every way out. The whole export is GL work: a failure is told in a message box (the engine tells its
// own) once control is back in the event loop, never in the middle of the export; it answers false, and
// the file is then as it was before.
bool ExportGLImage(TForm_Master& master, const TGLImageRequest& request);
