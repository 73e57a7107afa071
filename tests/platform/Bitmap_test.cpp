#include "platform/Bitmap.h"
#include "platform/ELumatex.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <vector>

TEST(Bitmap, BottomUpPaddedStorageAndDepthConversion) {
    TBitmap bmp(5, 2, 24);
    EXPECT_EQ(bmp.Stride(), 16u); // 15 bytes of pixels + 1 of padding
    EXPECT_EQ(bmp.DataSize(), 32u);
    bmp.ScanLine(0)[0] = 0xAA; // top row
    bmp.ScanLine(1)[0] = 0xBB; // bottom row
    EXPECT_EQ(bmp.Data()[0], 0xBB);
    EXPECT_EQ(bmp.Data()[16], 0xAA);
    bmp.ScanLine(1)[3] = 1, bmp.ScanLine(1)[4] = 2, bmp.ScanLine(1)[5] = 3;
    bmp.ConvertTo(32);
    ASSERT_EQ(bmp.BitsPerPixel(), 32);
    EXPECT_EQ(bmp.Stride(), 20u);
    EXPECT_EQ(bmp.ScanLine(1)[4], 1);
    EXPECT_EQ(bmp.ScanLine(1)[6], 3);
    EXPECT_EQ(bmp.ScanLine(1)[7], 255) << "opaque alpha added";
}

TEST(Bitmap, RefusesBadSizesBeforeAllocating) {
    TBitmap bmp;
    EXPECT_THROW(bmp.SetSize(100000, 100000, 24), ELumatex);
    EXPECT_THROW(bmp.SetSize(-1, 5, 24), ELumatex);
    EXPECT_THROW(bmp.SetSize(5, 5, 16), ELumatex);
    EXPECT_NO_THROW(bmp.SetSize(0, 0, 24));
    EXPECT_TRUE(bmp.Empty());
}

// Every pixel of a row of any width becomes 0xffRRGGBB, and nothing past the row's 3 x width bytes is read
// (the row ends the buffer here, so a fourth byte read for the last pixel would be past it).
TEST(WidenBgrRow, EveryWidthGivesOpaquePixelsFromExactlyItsBytes) {
    for (const int width : {1, 2, 3, 4, 5, 17}) {
        std::vector<uint8_t> row(size_t(width) * 3);
        for (size_t i = 0; i < row.size(); ++i)
            row[i] = uint8_t(i * 37 + 5);
        const auto bytes = std::make_unique<uint8_t[]>(row.size());
        std::copy(row.begin(), row.end(), bytes.get());
        std::vector<uint32_t> pixels(size_t(width) + 1, 0x12345678u);
        WidenBgrRow(bytes.get(), pixels.data(), width);
        for (int x = 0; x < width; ++x) {
            const uint8_t* p = row.data() + 3 * x;
            EXPECT_EQ(pixels[size_t(x)], 0xff000000u | uint32_t(p[2]) << 16 | uint32_t(p[1]) << 8 | p[0])
                << width << " wide, pixel " << x;
        }
        EXPECT_EQ(pixels[size_t(width)], 0x12345678u) << "nothing written past the row";
    }
    uint32_t untouched = 7;
    WidenBgrRow(nullptr, &untouched, 0);
    EXPECT_EQ(untouched, 7u);
}
