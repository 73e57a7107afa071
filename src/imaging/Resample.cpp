#include "imaging/Resample.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

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

} // namespace

bool IsPowerOfTwo(int n) {
    return n > 0 && (n & (n - 1)) == 0;
}

bool ResampleBitmap(TBitmap& bitmap, int newWidth, int newHeight) {
    const int sw = bitmap.Width();
    const int sh = bitmap.Height();
    if (sw <= 0 || sh <= 0 || newWidth <= 0 || newHeight <= 0) return false;
    const int srcBpp = bitmap.BytesPerPixel();

    struct TRgb {
        uint8_t R, G, B;
    };
    std::vector<TRgb> table(size_t(sw) * size_t(sh));
    for (int y = 0; y < sh; ++y) {
        const uint8_t* row = bitmap.ScanLine(y);
        for (int x = 0; x < sw; ++x, row += srcBpp)
            table[size_t(y) * size_t(sw) + size_t(x)] = {row[2], row[1], row[0]};
    }

    TBitmap result;
    try {
        result.SetSize(newWidth, newHeight, bitmap.BitsPerPixel());
    } catch (...) {
        return false;
    }
    const int dstBpp = result.BytesPerPixel();
    const double sx = double(sw) / double(newWidth);
    const double sy = double(sh) / double(newHeight);

    double yacc = 0;
    for (int y = 0; y < newHeight; ++y) {
        const double y0 = yacc;
        yacc += sy;
        if (yacc > sh - 1) yacc = sh - 1;
        const int top = RoundHalfUp(y0);
        const int bottom = std::min(RoundHalfUp(yacc), sh - 1);
        uint8_t* out = result.ScanLine(y);
        double xacc = 0;
        for (int x = 0; x < newWidth; ++x, out += dstBpp) {
            const double x0 = xacc;
            xacc += sx;
            if (xacc > sw - 1) xacc = sw - 1;
            const int left = RoundHalfUp(x0);
            const int right = std::min(RoundHalfUp(xacc), sw - 1);
            uint64_t r = 0, g = 0, b = 0, count = 0;
            for (int j = top; j <= bottom; ++j) {
                const TRgb* p = &table[size_t(j) * size_t(sw)];
                for (int i = left; i <= right; ++i) {
                    r += p[i].R;
                    g += p[i].G;
                    b += p[i].B;
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
