// TgaFile.h: the TGA reader for textures: uncompressed (type 2) and run-length encoded (type 10) true-colour
// images of 24 or 32 bits, in either row order. Pure function; any thread.
#pragma once

#include "platform/Bitmap.h"

#include <cstddef>
#include <cstdint>

constexpr size_t kTgaHeaderSize = 18;

// True when the 18-byte header at data describes an image this reader takes (colour-map type 0, image type
// 2 or 10, 24 or 32 bits per pixel).
bool IsSupportedTga(const uint8_t* data, size_t size);

// Raises DecodeTga's refusal of a picture over TBitmap::kMaxPicturePixels or maxImageBytes from the 18-byte
// header alone, so that the data need not be read first. Nothing for any other header.
void CheckTgaPictureSize(const uint8_t* data, size_t size, size_t maxImageBytes = TBitmap::kMaxImageBytes);

// Decodes such an image into a bitmap of 24 bits (HasAlpha false) or 32 bits, bytes kept in the stored
// blue, green, red (, alpha) order. Answers false, touching nothing, when the header is not one this reader
// takes. Raises ELumatex for a recognised image that is damaged: no pixels, data ending early, a size whose
// pixel store would exceed maxImageBytes or that the data cannot fill. Run-length packets may run across
// rows; pixels past the end of the image are dropped.
bool DecodeTga(const uint8_t* data, size_t size, TBitmap& bitmap,
               size_t maxImageBytes = TBitmap::kMaxImageBytes);
