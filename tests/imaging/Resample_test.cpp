#include "imaging/Resample.h"

#include <gtest/gtest.h>

#include <array>
#include <climits>

namespace {

TBitmap Row(std::initializer_list<std::array<uint8_t, 3>> rgb, int bitsPerPixel = 24) {
    TBitmap bmp(int(rgb.size()), 1, bitsPerPixel);
    uint8_t* p = bmp.ScanLine(0);
    for (const auto& c : rgb) {
        p[0] = c[2];
        p[1] = c[1];
        p[2] = c[0];
        if (bitsPerPixel == 32) p[3] = 7;
        p += bmp.BytesPerPixel();
    }
    return bmp;
}

std::array<int, 3> RgbAt(const TBitmap& bmp, int x, int y = 0) {
    const uint8_t* p = bmp.ScanLine(y) + size_t(x) * size_t(bmp.BytesPerPixel());
    return {p[2], p[1], p[0]};
}

} // namespace

TEST(ResampleBitmap, HalvingFourColumnsSharesTheMiddleColumn) {
    // Columns 0..2 go into the first pixel and 2..3 into the second.
    TBitmap bmp = Row({{10, 0, 3}, {20, 0, 3}, {31, 33, 4}, {42, 42, 4}});
    ASSERT_TRUE(ResampleBitmap(bmp, 2, 1));
    ASSERT_EQ(bmp.Width(), 2);
    ASSERT_EQ(bmp.Height(), 1);
    EXPECT_EQ(RgbAt(bmp, 0), (std::array<int, 3>{20, 11, 3}));  // 61/3, 33/3, 10/3
    EXPECT_EQ(RgbAt(bmp, 1), (std::array<int, 3>{36, 38, 4}));  // 36.5 and 37.5 go to the even neighbour
}

TEST(ResampleBitmap, WindowsIncludeBothEndsEvenAtTheSameSize) {
    TBitmap bmp = Row({{0, 0, 0}, {100, 0, 0}, {201, 0, 0}});
    ASSERT_TRUE(ResampleBitmap(bmp, 3, 1));
    // Windows 0..1, 1..2 and 2..2.
    EXPECT_EQ(RgbAt(bmp, 0)[0], 50);
    EXPECT_EQ(RgbAt(bmp, 1)[0], 150); // 150.5 -> 150
    EXPECT_EQ(RgbAt(bmp, 2)[0], 201);
}

TEST(ResampleBitmap, EnlargingRepeatsTheLastColumnAndRow) {
    TBitmap bmp = Row({{10, 20, 30}, {30, 40, 50}});
    ASSERT_TRUE(ResampleBitmap(bmp, 4, 2));
    // x = 0 covers columns 0..1 (0.5 rounds up); later windows are clamped to the last column.
    EXPECT_EQ(RgbAt(bmp, 0, 0), (std::array<int, 3>{20, 30, 40}));
    for (int x = 1; x < 4; ++x)
        for (int y = 0; y < 2; ++y) EXPECT_EQ(RgbAt(bmp, x, y), (std::array<int, 3>{30, 40, 50}));
    EXPECT_EQ(RgbAt(bmp, 0, 1), (std::array<int, 3>{20, 30, 40}));
}

TEST(ResampleBitmap, ThirtyTwoBitRowsKeepTheirDepthAndBecomeOpaque) {
    TBitmap bmp = Row({{10, 20, 30}, {30, 40, 50}, {50, 60, 70}, {70, 80, 90}}, 32);
    ASSERT_TRUE(ResampleBitmap(bmp, 2, 3));
    ASSERT_EQ(bmp.BitsPerPixel(), 32);
    EXPECT_EQ(RgbAt(bmp, 0, 2), (std::array<int, 3>{30, 40, 50}));
    EXPECT_EQ(RgbAt(bmp, 1, 1), (std::array<int, 3>{60, 70, 80}));
    for (int y = 0; y < 3; ++y) EXPECT_EQ(bmp.ScanLine(y)[3], 255);
}

TEST(ResampleBitmap, ImageOfThreeHundredByTwoHundredBecomesFiveTwelveSquare) {
    TBitmap bmp(300, 200, 24);
    bmp.Fill(9, 99, 199);
    ASSERT_TRUE(ResampleBitmap(bmp, 512, 512));
    ASSERT_EQ(bmp.Width(), 512);
    ASSERT_EQ(bmp.Height(), 512);
    TBitmap expected(512, 512, 24);
    expected.Fill(9, 99, 199);
    EXPECT_TRUE(bmp.SamePixels(expected));
    ASSERT_TRUE(ResampleBitmap(bmp, (301 / 4) * 4, 200));
    EXPECT_EQ(bmp.Width(), 300);
}

TEST(ResampleBitmap, RefusesAndKeepsTheBitmapForBadSizes) {
    TBitmap bmp = Row({{1, 2, 3}, {4, 5, 6}});
    const TBitmap before = bmp;
    for (auto [w, h] : {std::pair{0, 1}, {1, 0}, {-3, 4}, {4, INT_MIN}, {100000, 100000}}) {
        EXPECT_FALSE(ResampleBitmap(bmp, w, h)) << w << " x " << h;
        EXPECT_TRUE(bmp.SamePixels(before));
    }
    TBitmap empty;
    EXPECT_FALSE(ResampleBitmap(empty, 4, 4));
}

TEST(IsPowerOfTwo, PositiveWithExactlyOneBitSet) {
    for (int n : {1, 2, 4, 256, 512, 1024, 1 << 30}) EXPECT_TRUE(IsPowerOfTwo(n)) << n;
    for (int n : {0, -1, -2, -512, INT_MIN, 3, 6, 300, 513, INT_MAX}) EXPECT_FALSE(IsPowerOfTwo(n)) << n;
}
