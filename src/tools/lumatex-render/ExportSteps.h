// ExportSteps.h: the steps around the engine's off-screen save that the export window takes, for
// lumatex-render: the still image prepared the way the main window loads it, the aspect-ratio box, and the
// BMP written by the engine turned into the final BMP or JPEG. GUI thread; no GL except where noted.
#pragma once

#include "RenderOptions.h"

#include "platform/Bitmap.h"

#include <string>

namespace RenderCli {

// The main window's image load: any of the BMP, JPEG or TGA decoders by content, then
//  - neither non-power-of-two textures nor a power-of-two size: resampled to 512 x 512 (aspect lost);
//  - otherwise a width that is not a multiple of 4 is trimmed down to one by the box filter.
// Raises ELumatex when the file cannot be read or decoded. Needs no GL context.
TBitmap LoadStillImage(const std::string& path, bool npotSupported);

// The export's "Force Aspect Ratio": the largest size of the frame's aspect ratio that fits the box,
// computed as the export window does (width first, truncated). Never below 1 x 1: a frame far wider or
// taller than the box still gives a picture of at least one pixel.
TPixelSize ForcedAspectSize(TPixelSize frame, TPixelSize box);

// A file name beside target that nobody uses yet, ending in extension (created empty, so that it stays
// ours). Raises ELumatex naming the folder when nothing can be created there.
std::string CreateScratchFile(const std::string& target, const std::string& extension);

// Turns the BMP the engine wrote into the result: with forceAspect the picture is scaled down to
// ForcedAspectSize(frame, its size) by the box filter; for JPEG it is encoded at jpegQuality. The result
// replaces target in one rename, so target is never left half written; the scratch BMP is removed on every
// path. Raises ELumatex when a file cannot be read or written.
void FinishExport(const std::string& scratchBmp, const std::string& target, TOutputFormat format,
                  bool forceAspect, TPixelSize frame, int jpegQuality);

} // namespace RenderCli
