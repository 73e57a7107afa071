// Bitmaps as the views paint them. The video view's picture of a frame: every pixel in its colour, opaque,
// rows upright, whatever the width (the conversion reads four bytes at a time and must neither drift nor run
// past a row). A still picture of either depth: upright, its alpha dropped.
#include "ui/BitmapImage.h"

#include "platform/Bitmap.h"

#include <gtest/gtest.h>

#include <QImage>

namespace {

// A colour no two pixels share, so a pixel read from the wrong place shows.
void ColourOf(int x, int y, uint8_t& red, uint8_t& green, uint8_t& blue) {
    red = uint8_t(17 * x + 3 * y + 1);
    green = uint8_t(5 * x + 29 * y + 2);
    blue = uint8_t(11 * x + 7 * y + 250);
}

} // namespace

TEST(VideoViewPicture, EveryPixelKeepsItsColourAndRowInFramesOfAnyWidth) {
    for (int width : {1, 2, 3, 5, 17, 640}) {
        const int height = 3;
        TBitmap frame(width, height, 24);
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x) {
                uint8_t* p = frame.ScanLine(y) + 3 * x;
                ColourOf(x, y, p[2], p[1], p[0]);
            }
        QImage image;
        FrameToImage(frame, image);
        ASSERT_EQ(image.size(), QSize(width, height)) << width;
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x) {
                uint8_t r = 0, g = 0, b = 0;
                ColourOf(x, y, r, g, b);
                ASSERT_EQ(image.pixel(x, y), qRgba(r, g, b, 255)) << width << " wide, at " << x << "," << y;
            }
    }
}

TEST(VideoViewPicture, NoFrameOrAnotherDepthGivesNoPicture) {
    QImage image(4, 4, QImage::Format_RGB32);
    FrameToImage(TBitmap(), image);
    EXPECT_TRUE(image.isNull());
    image = QImage(4, 4, QImage::Format_RGB32);
    FrameToImage(TBitmap(4, 4, 32), image);
    EXPECT_TRUE(image.isNull());
}

TEST(BitmapToImage, StillPicturesOfEitherDepthComeOutUprightAndOpaque) {
    for (const int bits : {24, 32}) {
        const int width = 5, height = 3; // 15-byte rows at 24 bits: padded
        TBitmap picture(width, height, bits);
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x) {
                uint8_t* p = picture.ScanLine(y) + picture.BytesPerPixel() * x;
                ColourOf(x, y, p[2], p[1], p[0]);
                if (bits == 32) p[3] = uint8_t(x * 50); // transparent on the left
            }
        const QImage image = BitmapToImage(picture);
        ASSERT_EQ(image.size(), QSize(width, height)) << bits;
        EXPECT_FALSE(image.hasAlphaChannel()) << bits;
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x) {
                uint8_t r = 0, g = 0, b = 0;
                ColourOf(x, y, r, g, b);
                ASSERT_EQ(image.pixel(x, y), qRgb(r, g, b)) << bits << " bits, at " << x << "," << y;
            }
    }
    EXPECT_TRUE(BitmapToImage(TBitmap()).isNull());
}
