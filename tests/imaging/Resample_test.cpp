#include "imaging/Resample.h"

#include <gtest/gtest.h>

#include <array>
#include <climits>

namespace {

using TRgb = std::array<int, 3>;

TBitmap Row(std::initializer_list<TRgb> rgb, int bitsPerPixel = 24) {
    TBitmap bmp(int(rgb.size()), 1, bitsPerPixel);
    uint8_t* p = bmp.ScanLine(0);
    for (const TRgb& c : rgb) {
        p[0] = uint8_t(c[2]), p[1] = uint8_t(c[1]), p[2] = uint8_t(c[0]);
        if (bitsPerPixel == 32) p[3] = 7;
        p += bmp.BytesPerPixel();
    }
    return bmp;
}

TRgb RgbAt(const TBitmap& bmp, int x, int y = 0) {
    const uint8_t* p = bmp.ScanLine(y) + size_t(x) * size_t(bmp.BytesPerPixel());
    return {p[2], p[1], p[0]};
}

} // namespace

// Both ends of a window are inclusive, and averages round half to even.
TEST(ResampleBitmap, WindowsShareTheirEdgeColumnAndRoundHalvesToEven) {
    TBitmap halved = Row({{10, 0, 3}, {20, 0, 3}, {31, 33, 4}, {42, 42, 4}});
    ASSERT_TRUE(ResampleBitmap(halved, 2, 1)); // columns 0..2 and 2..3
    ASSERT_EQ(halved.Width(), 2);
    EXPECT_EQ(RgbAt(halved, 0), (TRgb{20, 11, 3})); // 61/3, 33/3, 10/3
    EXPECT_EQ(RgbAt(halved, 1), (TRgb{36, 38, 4})); // 36.5 and 37.5 go to the even neighbour
    TBitmap same = Row({{0, 0, 0}, {100, 0, 0}, {201, 0, 0}});
    ASSERT_TRUE(ResampleBitmap(same, 3, 1)); // windows 0..1, 1..2 and 2..2
    EXPECT_EQ(RgbAt(same, 0)[0], 50);
    EXPECT_EQ(RgbAt(same, 1)[0], 150); // 150.5 -> 150
    EXPECT_EQ(RgbAt(same, 2)[0], 201);
}

TEST(ResampleBitmap, EnlargingRepeatsTheLastColumnAndRowAndThirtyTwoBitsBecomeOpaque) {
    for (int bits : {24, 32}) {
        TBitmap bmp = Row({{10, 20, 30}, {30, 40, 50}}, bits);
        ASSERT_TRUE(ResampleBitmap(bmp, 4, 2));
        ASSERT_EQ(bmp.BitsPerPixel(), bits);
        for (int y = 0; y < 2; ++y) {
            // x = 0 covers columns 0..1 (0.5 rounds up); later windows are clamped to the last column.
            EXPECT_EQ(RgbAt(bmp, 0, y), (TRgb{20, 30, 40}));
            for (int x = 1; x < 4; ++x)
                EXPECT_EQ(RgbAt(bmp, x, y), (TRgb{30, 40, 50}));
            if (bits == 32) {
                EXPECT_EQ(bmp.ScanLine(y)[3], 255) << "opaque alpha";
            }
        }
    }
}

TEST(ResampleBitmap, RefusesAndKeepsTheBitmapForBadSizes) {
    TBitmap bmp = Row({{1, 2, 3}, {4, 5, 6}});
    const TBitmap before = bmp;
    for (auto [w, h] : {std::pair{0, 1}, {4, INT_MIN}, {100000, 100000}}) {
        EXPECT_FALSE(ResampleBitmap(bmp, w, h)) << w << " x " << h;
        EXPECT_TRUE(bmp.SamePixels(before));
    }
    TBitmap empty;
    EXPECT_FALSE(ResampleBitmap(empty, 4, 4));
    for (int n : {1, 256, 1 << 30})
        EXPECT_TRUE(IsPowerOfTwo(n)) << n;
    for (int n : {0, INT_MIN, 6, 513, INT_MAX})
        EXPECT_FALSE(IsPowerOfTwo(n)) << n;
}
