#include "app/ImageViewer.h"

#include "platform/Bitmap.h"

#include <QMouseEvent>
#include <QPainter>

TImageViewer::TImageViewer(QWidget* parent) : QWidget(parent) {
    setAutoFillBackground(true);
    QPalette black = palette();
    black.setColor(QPalette::Window, Qt::black);
    setPalette(black);
}

void TImageViewer::SetPicture(const QImage& picture) {
    FPicture = picture;
    update();
}

void TImageViewer::paintEvent(QPaintEvent*) {
    if (FPicture.isNull()) return;
    QPainter painter(this);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawImage(rect(), FPicture);
}

void TImageViewer::mouseDoubleClickEvent(QMouseEvent* event) {
    event->accept();
}

QImage BitmapToImage(const TBitmap& bitmap) {
    if (bitmap.Empty()) return {};
    QImage image(bitmap.Width(), bitmap.Height(), QImage::Format_RGB888);
    if (image.isNull()) return {};
    const int bytes = bitmap.BytesPerPixel();
    // Row by row: QImage takes no negative stride, and the bitmap's rows are stored bottom-up.
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
