// ExportSteps.h: the steps around the engine's off-screen save that the export window and lumatex-render
// take: the aspect-ratio box, a scratch file beside the target, and the BMP written by the engine turned
// into the final BMP or JPEG. No GL.
#pragma once

#include "pipeline/MediaFiles.h"

#include <string>

// The export's "Force Aspect Ratio": the largest size of the frame's aspect ratio that fits the box,
// computed as the export window does (width first, truncated). Never below 1 x 1: a frame far wider or
// taller than the box still gives a picture of at least one pixel.
TPixelSize ForcedAspectSize(TPixelSize frame, TPixelSize box);

// A file name in target's folder that nobody uses yet, "lumatex-" plus six characters plus extension
// whatever target's length (created empty, so that it stays ours). Raises ELumatex naming the folder when
// nothing can be created there.
std::string CreateScratchFile(const std::string& target, const std::string& extension);

// Turns the BMP the engine wrote into the result: with forceAspect the picture is scaled down to
// ForcedAspectSize(frame, its size) by the box filter; for JPEG it is encoded at jpegQuality. The result
// replaces target in one rename, so target is never left half written; the scratch BMP is removed on every
// path. Raises ELumatex when a file cannot be read or written.
void FinishExport(const std::string& scratchBmp, const std::string& target, TOutputFormat format,
                  bool forceAspect, TPixelSize frame, int jpegQuality);
