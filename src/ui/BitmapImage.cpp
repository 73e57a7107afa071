#include "ui/BitmapImage.h"

#include "platform/Bitmap.h"

QImage BitmapToImage(const TBitmap& bitmap) {
    if (bitmap.Empty()) return {};
    QImage image(bitmap.Width(), bitmap.Height(), QImage::Format_RGB888);
    if (image.isNull()) return {};
    const int bytes = bitmap.BytesPerPixel();
    for (int y = 0; y < bitmap.Height(); ++y) {
        const uint8_t* source = bitmap.ScanLine(y);
        uchar* target = image.scanLine(y);
        for (int x = 0; x < bitmap.Width(); ++x, source += bytes, target += 3) {
            target[0] = source[2];
            target[1] = source[1];
            target[2] = source[0];
        }
    }
    return image;
}

void FrameToImage(const TBitmap& frame, QImage& image) {
    if (frame.Empty() || frame.BitsPerPixel() != 24) {
        image = QImage();
        return;
    }
    if (image.width() != frame.Width() || image.height() != frame.Height() ||
        image.format() != QImage::Format_RGB32)
        image = QImage(frame.Width(), frame.Height(), QImage::Format_RGB32);
    if (image.isNull()) return; // no memory for the picture: the view stays black
    // RGB32 pixels are the values 0xffRRGGBB, exactly what the widening makes of blue, green, red bytes.
    static_assert(sizeof(QRgb) == sizeof(uint32_t));
    for (int y = 0; y < frame.Height(); ++y)
        WidenBgrRow(frame.ScanLine(y), reinterpret_cast<uint32_t*>(image.scanLine(y)), frame.Width());
}
