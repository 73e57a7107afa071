// FrameExport.h: one frame rendered through the chain off-screen and written into a file, as "Save OpenGL
// image..." and lumatex-render both do it: the checks of the size asked for with their texts, the driver's
// edge limit, the name the file is written under and its format, and the picture going from the
// off-screen buffer into the file band by band. GUI thread; the engine's context current where GL is used.
#pragma once

#include "pipeline/MediaFiles.h"

#include <string>

class TRenderEngine;

inline constexpr const char* kPowerOfTwoWanted = "Please choose an size of power of two! (256x256, 512x512)";

// The largest edge an export may have in the current context: the driver's limit for framebuffers,
// textures and viewports, and no more than kMaxOutputEdge.
int ExportMaxEdge();

// Why width x height cannot be exported, as the export window tells it; empty when it can. Checked in the
// order the user meets them: powers of two (on a driver without other texture sizes), then a size below
// one pixel, then the limits (maxEdge per edge, kMaxOutputPixels in all).
std::string ExportSizeProblem(int width, int height, bool npotSupported, int maxEdge);
// The same edge limit as lumatex-render tells it ("cannot render at WxH: ..."); empty when size fits.
std::string DriverEdgeProblem(TPixelSize size, int maxEdge);

// The file an export of a chosen name is written to, and its format. A name ending in ".jpg" or ".jpeg"
// (IsJpegName) is a JPEG and one ending in ".bmp" a BMP, each under that name; for any other the last four
// characters become ".bmp" (shot.png gives shot.bmp, shot.tiff gives shot..bmp), so that no file holds
// another format than its name says. A bare name of four characters or fewer gets ".bmp" added instead:
// the file stays in the folder chosen and keeps a name before its extension.
struct TExportTarget {
    std::string Path;
    TOutputFormat Format = TOutputFormat::Bmp;
    bool operator==(const TExportTarget&) const = default;
};
TExportTarget ExportTargetFor(const std::string& name);

struct TFrameExport {
    TExportTarget Target;
    TPixelSize Size;          // the off-screen picture's size
    bool ForceAspect = false; // scaled down afterwards to the largest size of Frame's ratio within Size
    TPixelSize Frame;         // the source frame's size
    int JpegQuality = 80;
};

// Renders the engine's source texture through the chain into an off-screen buffer of job.Size (the last
// pass drawn into it, nothing on screen changed) and writes it as job.Target, straight from the buffer band
// by band, never whole in memory beside it; the file appears complete or not at all (FinishExport).
// Answers false when the engine could not make its buffer: it has told the user itself, and its
// SaveBufferLog says why. Raises ELumatex naming job.Target when the file cannot be written, std::bad_alloc
// when memory runs out. The engine's context is current again on every way out.
bool ExportFrame(TRenderEngine& engine, const TFrameExport& job);
