#include "imaging/Resample.h"

#include <algorithm>
#include <cassert>
#include <cmath>
#include <cstdint>
#include <new>

namespace {

// The integer part, plus 1 when the fraction is at least one half (for v >= 0). floor(v + 0.5) would round
// 0.49999999999999994 up.
int RoundHalfUp(double v) {
    const double whole = std::floor(v);
    return static_cast<int>(whole) + (v - whole >= 0.5 ? 1 : 0);
}

uint8_t AverageTiesToEven(uint64_t sum, uint64_t count) {
    uint64_t q = sum / count;
    const uint64_t twiceRest = 2 * (sum % count);
    if (twiceRest > count || (twiceRest == count && (q & 1) != 0)) ++q;
    return static_cast<uint8_t>(q);
}

// The inclusive windows of ResampleBitmap along one edge, accumulated exactly as it does.
void BoxWindows(int sourceEdge, int newEdge, std::vector<int>& first, std::vector<int>& last) {
    first.resize(size_t(newEdge));
    last.resize(size_t(newEdge));
    const double scale = double(sourceEdge) / double(newEdge);
    double acc = 0;
    for (int i = 0; i < newEdge; ++i) {
        const double start = acc;
        acc += scale;
        if (acc > sourceEdge - 1) acc = sourceEdge - 1;
        first[size_t(i)] = RoundHalfUp(start);
        last[size_t(i)] = std::min(RoundHalfUp(acc), sourceEdge - 1);
    }
}

} // namespace

TBoxResampledRows::TBoxResampledRows(TPictureRows& source, int width, int height) : Source(source) {
    assert(width > 0 && height > 0 && source.Width() > 0 && source.Height() > 0);
    BoxWindows(source.Width(), width, Left, Right);
    BoxWindows(source.Height(), height, Top, Bottom);
    Sums.resize(size_t(width) * 3);
    Out.resize(size_t(width) * 4);
}

void TBoxResampledRows::AddSourceRow(const uint8_t* row) {
    uint64_t* sum = Sums.data();
    for (size_t x = 0; x < Left.size(); ++x, sum += 3) {
        const uint8_t* p = row + size_t(Left[x]) * 4;
        for (int i = Left[x]; i <= Right[x]; ++i, p += 4) {
            sum[0] += p[0];
            sum[1] += p[1];
            sum[2] += p[2];
        }
    }
}

const uint8_t* TBoxResampledRows::Row(int y) {
    assert(y >= 0 && y < Height());
    std::fill(Sums.begin(), Sums.end(), 0);
    const int top = Top[size_t(y)];
    const int bottom = Bottom[size_t(y)];
    // In the direction the rows are asked for, so a banded source goes on where its last band ended.
    if (y < LastRow)
        for (int j = bottom; j >= top; --j)
            AddSourceRow(Source.Row(j));
    else
        for (int j = top; j <= bottom; ++j)
            AddSourceRow(Source.Row(j));
    LastRow = y;
    const uint64_t rows = uint64_t(bottom - top + 1);
    uint8_t* out = Out.data();
    const uint64_t* sum = Sums.data();
    for (size_t x = 0; x < Left.size(); ++x, sum += 3, out += 4) {
        const uint64_t count = rows * uint64_t(Right[x] - Left[x] + 1);
        out[0] = AverageTiesToEven(sum[0], count);
        out[1] = AverageTiesToEven(sum[1], count);
        out[2] = AverageTiesToEven(sum[2], count);
        out[3] = 255;
    }
    return Out.data();
}

bool IsPowerOfTwo(int n) {
    return n > 0 && (n & (n - 1)) == 0;
}

bool ResampleBitmap(TBitmap& bitmap, int newWidth, int newHeight) {
    const int sw = bitmap.Width();
    const int sh = bitmap.Height();
    if (sw <= 0 || sh <= 0 || newWidth <= 0 || newHeight <= 0) return false;
    const size_t srcBpp = size_t(bitmap.BytesPerPixel());

    // The windows are summed straight from the source rows: no copy of the picture beside the result.
    TBitmap result;
    try {
        result.SetSize(newWidth, newHeight, bitmap.BitsPerPixel());
    } catch (const std::bad_alloc&) {
        throw; // out of memory is no size that could not be done
    } catch (...) {
        return false;
    }
    const int dstBpp = result.BytesPerPixel();
    std::vector<int> firstColumn, lastColumn, firstRow, lastRow;
    BoxWindows(sw, newWidth, firstColumn, lastColumn);
    BoxWindows(sh, newHeight, firstRow, lastRow);

    for (int y = 0; y < newHeight; ++y) {
        const int top = firstRow[size_t(y)];
        const int bottom = lastRow[size_t(y)];
        uint8_t* out = result.ScanLine(y);
        for (int x = 0; x < newWidth; ++x, out += dstBpp) {
            const int left = firstColumn[size_t(x)];
            const int right = lastColumn[size_t(x)];
            uint64_t r = 0, g = 0, b = 0, count = 0;
            for (int j = top; j <= bottom; ++j) {
                const uint8_t* p = bitmap.ScanLine(j) + size_t(left) * srcBpp;
                for (int i = left; i <= right; ++i, p += srcBpp) {
                    r += p[2];
                    g += p[1];
                    b += p[0];
                    ++count;
                }
            }
            if (count == 0) continue;
            out[0] = AverageTiesToEven(b, count);
            out[1] = AverageTiesToEven(g, count);
            out[2] = AverageTiesToEven(r, count);
            if (dstBpp == 4) out[3] = 255;
        }
    }
    bitmap.Swap(result);
    return true;
}
