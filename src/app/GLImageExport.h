// GLImageExport.h: "Save OpenGL image..." without its window: the checks of the size asked for, the save
// dialog the export window offers, and the export itself (the chain rendered off-screen at that size, then
// written as BMP or JPEG). GUI thread only; the export makes the OpenGL view's context current.
#pragma once

#include "pipeline/MediaFiles.h"

#include <QString>

#include <optional>
#include <string>

class QFileDialog;
class TForm_Master;

inline constexpr const char* kVideoSizeNotSupported = "Video size not supported.";
inline constexpr const char* kPowerOfTwoWanted = "Please choose an size of power of two! (256x256, 512x512)";

// The value of a size field's text: an optional sign and decimal digits that fit an int. Nothing else (an
// empty field, letters, blanks) is an integer.
std::optional<int> ParseSizeText(const std::string& text);

// The largest edge an export may have: the limit of the OpenGL view's driver for framebuffers, textures and
// viewports, and no more than lumatex-render takes. Makes the view's context current.
int ExportMaxEdge(TForm_Master& master);

// Why width x height cannot be exported, as the text of the message the user gets; empty when it can.
// Checked in the order the user meets them: powers of two (on a driver without other texture sizes),
// then a size below one pixel, then the limits (maxEdge per edge, kMaxOutputPixels in all).
std::string ExportSizeProblem(int width, int height, bool npotSupported, int maxEdge);

// The export window's save dialog: its title, the three filters with the JPEG one chosen, "jpg" added to
// a name typed without suffix, opened in folder.
void PrepareGLImageDialog(QFileDialog& dialog, const QString& folder);

struct TGLImageRequest {
    std::string Target; // a name ending in .jpg or .jpeg is written as JPEG, any other as BMP
    TPixelSize Size;
    bool ForceAspect = true;
    int JpegQuality = 80;
};

// Renders the current frame through the chain at request.Size and writes it as request.Target. Rendering
// on screen is suspended meanwhile and left as it was found on every way out. A failure is told in a
// message box (the engine tells its own) and answers false; target is then as it was before.
bool ExportGLImage(TForm_Master& master, const TGLImageRequest& request);
