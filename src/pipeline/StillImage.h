// StillImage.h: a still picture prepared the way the main window loads it, for the OpenGL view and the
// command-line renderer alike. Needs no GL context.
#pragma once

#include "platform/Bitmap.h"

#include <string>

// Any of the BMP, JPEG or TGA decoders by content, then
//  - neither non-power-of-two textures nor a power-of-two size: resampled to 512 x 512 (aspect lost);
//  - otherwise a width that is not a multiple of 4 is trimmed down to one by the box filter.
// At most two copies of the picture's pixels are alive at once: an uncompressed file's bytes beside the
// decoded picture, or the picture beside its resampled or trimmed form; it changes hands uncopied. Raises
// ELumatex when the file cannot be read or decoded, and for a picture over TBitmap::kMaxPicturePixels from
// its header.
TBitmap LoadStillImage(const std::string& path, bool npotSupported);
