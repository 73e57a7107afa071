// PictureRows.h: a picture handed over row by row, so that an export of gigabytes never needs a whole copy
// of itself in memory: the GL read-back in bands, a bitmap, or a box-filtered view of either. Rows are
// 32-bit blue, green, red, alpha, as a 32-bit TBitmap stores them. One thread; not copyable.
#pragma once

#include "platform/Bitmap.h"

#include <cassert>
#include <cstdint>

class TPictureRows {
public:
    TPictureRows() = default;
    TPictureRows(const TPictureRows&) = delete;
    TPictureRows& operator=(const TPictureRows&) = delete;
    virtual ~TPictureRows() = default;

    virtual int Width() const = 0;
    virtual int Height() const = 0;
    // Row y, counted from the top (0 <= y < Height()): Width() x 4 bytes, valid until the next call. Sources
    // that fetch in bands are quickest when the rows are asked for in one direction, up or down.
    virtual const uint8_t* Row(int y) = 0;
};

// A 32-bit bitmap's rows, borrowed: the bitmap must outlive this and stay unchanged.
class TBitmapRows final : public TPictureRows {
public:
    explicit TBitmapRows(const TBitmap& bitmap) : Bitmap(bitmap) {
        assert((bitmap.Empty() || bitmap.BitsPerPixel() == 32) && "rows are handed over as 32-bit pixels");
    }
    int Width() const override { return Bitmap.Width(); }
    int Height() const override { return Bitmap.Height(); }
    const uint8_t* Row(int y) override { return Bitmap.ScanLine(y); }

private:
    const TBitmap& Bitmap;
};
