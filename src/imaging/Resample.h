// Resample.h: the box-filter resize used for loaded still images, and the power-of-two test of texture
// sizes. Pure functions on the caller's bitmap; any thread.
#pragma once

#include "imaging/PictureRows.h"
#include "platform/Bitmap.h"

#include <cstdint>
#include <vector>

// Resizes a 24- or 32-bit bitmap in place to newWidth x newHeight. Each destination pixel is the average of
// the source pixels in its window; both ends of a window are inclusive, so neighbouring windows share their
// edge column or row. Averages round to the nearest integer with ties to even; 32-bit pixels get an opaque
// alpha. Answers false and leaves the bitmap as it was when it is empty or the new size is not positive or
// too large; std::bad_alloc when the result cannot be allocated.
bool ResampleBitmap(TBitmap& bitmap, int newWidth, int newHeight);

// ResampleBitmap's result for a 32-bit picture, made one row at a time from the source's rows as they are
// asked for: only a row of sums is held, never the picture. Rows come out byte for byte as ResampleBitmap
// would store them, in any order; asked for in one direction, the source is read in that direction once,
// bar the edge rows that neighbouring windows share. The source is borrowed and both sizes must be
// positive.
class TBoxResampledRows final : public TPictureRows {
public:
    TBoxResampledRows(TPictureRows& source, int width, int height);
    int Width() const override { return int(Left.size()); }
    int Height() const override { return int(Top.size()); }
    const uint8_t* Row(int y) override;

private:
    void AddSourceRow(const uint8_t* row);

    TPictureRows& Source;
    std::vector<int> Left, Right; // inclusive source columns of each destination column
    std::vector<int> Top, Bottom; // inclusive source rows of each destination row
    std::vector<uint64_t> Sums;   // blue, green, red per destination column
    std::vector<uint8_t> Out;
    int LastRow = -1;
};

// n > 0 with exactly one bit set.
bool IsPowerOfTwo(int n);
