// ExportSteps.h: the steps around the engine's off-screen save that the export window and lumatex-render
// take: the aspect-ratio box, and the picture the engine captured turned into the final BMP or JPEG,
// written under a scratch name beside the target and renamed over it. No GL.
#pragma once

#include "pipeline/MediaFiles.h"

class TBitmap;
class TPictureRows;

#include <string>

// The export's "Force Aspect Ratio": the largest size of the frame's aspect ratio that fits the box,
// computed as the export window does (width first, truncated). Never below 1 x 1: a frame far wider or
// taller than the box still gives a picture of at least one pixel.
TPixelSize ForcedAspectSize(TPixelSize frame, TPixelSize box);

// Writes the engine's captured picture as target: with forceAspect it is first scaled down, in place, to
// ForcedAspectSize(frame, its size) by the box filter; a BMP holds it as it is, a JPEG is encoded from it
// in memory at jpegQuality. The file is written under a scratch name in target's folder and renamed over
// target, so target is never left half written and nothing else is left behind. A symbolic link at target
// is written through: the file it leads to is replaced and the link stays. Raises ELumatex when the file
// cannot be written.
void FinishExport(TBitmap& picture, const std::string& target, TOutputFormat format, bool forceAspect,
                  TPixelSize frame, int jpegQuality);
// The same file, byte for byte, from a picture handed over row by row (the engine's read-back in bands),
// holding a band of rows at a time instead of the picture: with forceAspect the box filter makes each row as
// the writer takes it, a BMP is written bottom row first and a JPEG is encoded into the file as it goes.
void FinishExport(TPictureRows& picture, const std::string& target, TOutputFormat format, bool forceAspect,
                  TPixelSize frame, int jpegQuality);
