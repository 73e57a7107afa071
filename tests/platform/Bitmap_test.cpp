#include "platform/Bitmap.h"
#include "platform/ELumatex.h"

#include <gtest/gtest.h>

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
