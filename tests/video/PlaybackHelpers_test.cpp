#include "video/PlaybackHelpers.h"
#include "video/SampleGrabber.h"

#include <gtest/gtest.h>

#include <vector>

TEST(FormatPlayTime, MinutesAndTwoDigitSeconds) {
    EXPECT_EQ(FormatPlayTime(65), "1:05");
    EXPECT_EQ(FormatPlayTime(600), "10:00");
    EXPECT_EQ(FormatPlayTime(9), "0:09");
    EXPECT_EQ(FormatPlayTime(0), "0:00");
    EXPECT_EQ(FormatPlayTime(59), "0:59");
    EXPECT_EQ(FormatPlayTime(60), "1:00");
    EXPECT_EQ(FormatPlayTime(610), "10:10");
    EXPECT_EQ(FormatPlayTime(7265), "121:05"); // no hours
    EXPECT_EQ(FormatPlayTime(-5), "0:00");
}

TEST(SampleGrabberCopy, GivesTheBitmapTheConnectedSizeAndCopiesAtMostTheImage) {
    TSampleGrabber grabber;
    TBitmap bitmap(4, 4, 32);
    std::vector<uint8_t> buffer(100, 0x5A);
    EXPECT_FALSE(grabber.CopyToBitmap(bitmap, buffer.data(), 100)); // nothing connected
    EXPECT_EQ(bitmap.BitsPerPixel(), 32);

    grabber.Connect(TVideoFormat{5, 3}); // 15 bytes of pixels, rows of 16: 48 bytes
    ASSERT_TRUE(grabber.CopyToBitmap(bitmap, buffer.data(), 100));
    EXPECT_EQ(bitmap.Width(), 5);
    EXPECT_EQ(bitmap.Height(), 3);
    EXPECT_EQ(bitmap.BitsPerPixel(), 24);
    ASSERT_EQ(bitmap.DataSize(), 48u);
    for (size_t i = 0; i < 48; ++i) ASSERT_EQ(bitmap.Data()[i], 0x5A);

    // A short buffer fills the start (the bottom rows); the rest is black, not the previous frame.
    std::vector<uint8_t> shortBuffer(20, 0x11);
    ASSERT_TRUE(grabber.CopyToBitmap(bitmap, shortBuffer.data(), 20));
    for (size_t i = 0; i < 48; ++i) ASSERT_EQ(bitmap.Data()[i], i < 20 ? 0x11 : 0) << i;
    ASSERT_TRUE(grabber.CopyToBitmap(bitmap, nullptr, 0));
    for (size_t i = 0; i < 48; ++i) ASSERT_EQ(bitmap.Data()[i], 0);
    ASSERT_TRUE(grabber.CopyToBitmap(bitmap, buffer.data(), -7));
    grabber.Disconnect();
    EXPECT_FALSE(grabber.CopyToBitmap(bitmap, buffer.data(), 100));
}
