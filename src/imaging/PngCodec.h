// PngCodec.h: PNG decoding into TBitmap through libpng, for the look-up images plugins read. libpng's
// errors come back as ELumatex; no state is shared between calls, so any thread may use it.
#pragma once

#include "platform/Bitmap.h"

#include <cstddef>
#include <cstdint>

// A PNG file starts with its eight signature bytes.
bool LooksLikePng(const uint8_t* data, size_t size);

// Decodes a whole PNG file held in memory into a 32-bit bitmap (blue, green, red, alpha), whatever its
// colour type and depth. A picture with an edge over maxEdge is refused from its header, before its
// pixels are allocated; damaged or short data raises ELumatex with libpng's reason.
void DecodePng(const uint8_t* data, size_t size, TBitmap& bitmap, int maxEdge);
