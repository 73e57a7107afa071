// Resample.h: the box-filter resize used for loaded still images, and the power-of-two test of texture
// sizes. Pure functions on the caller's bitmap; any thread.
#pragma once

#include "platform/Bitmap.h"

// Resizes a 24- or 32-bit bitmap in place to newWidth x newHeight. Each destination pixel is the average of
// the source pixels in its window; both ends of a window are inclusive, so neighbouring windows share their
// edge column or row. Averages round to the nearest integer with ties to even; 32-bit pixels get an opaque
// alpha. Answers false and leaves the bitmap as it was when it is empty or the new size is not positive or
// too large; std::bad_alloc when the result cannot be allocated.
bool ResampleBitmap(TBitmap& bitmap, int newWidth, int newHeight);

// n > 0 with exactly one bit set.
bool IsPowerOfTwo(int n);
