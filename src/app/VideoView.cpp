#include "app/VideoView.h"

#include "platform/Bitmap.h"

#include <QMetaObject>
#include <QPaintEvent>
#include <QPainter>
#include <QtEndian>

TVideoView::TVideoView(QWidget* parent) : QWidget(parent) {
    // A window of its own before the main window is shown: it sits beside the OpenGL view's window, and a
    // widget made native later would cut that window loose.
    setAttribute(Qt::WA_NativeWindow);
    // Every paint covers the whole area, with the picture or with black.
    setAttribute(Qt::WA_OpaquePaintEvent);
    setAttribute(Qt::WA_NoSystemBackground);
    FOutput.OnNewFrame = [this] {
        // One notification in flight is enough: the view takes the newest frame when it arrives.
        if (FNotifyPending.exchange(true)) return;
        QMetaObject::invokeMethod(
            this, [this] { FrameArrived(); }, Qt::QueuedConnection);
    };
}

TVideoView::~TVideoView() {
    FOutput.SetFilterGraph(nullptr);
}

void TVideoView::Clear() {
    FShownCount = FOutput.FrameCount();
    FPicture = QImage();
    update();
}

void TVideoView::FrameArrived() {
    FNotifyPending.store(false);
    // A hidden view takes the frame when it is shown again (its first paint).
    if (isVisible()) repaint();
}

void TVideoView::paintEvent(QPaintEvent*) {
    const uint64_t count = FOutput.FrameCount();
    if (count != FShownCount) {
        // The conversion runs with the output locked; the streaming thread fills its other buffer meanwhile.
        if (FOutput.ReadFrame([this](const TBitmap& frame) { FrameToImage(frame, FPicture); })) ++FTaken;
        FShownCount = count;
    }
    QPainter painter(this);
    if (FPicture.isNull()) {
        painter.fillRect(rect(), Qt::black);
        return;
    }
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawImage(rect(), FPicture);
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
    const int last = frame.Width() - 1;
    for (int y = 0; y < frame.Height(); ++y) {
        const uint8_t* source = frame.ScanLine(y);
        auto* target = reinterpret_cast<QRgb*>(image.scanLine(y));
        // Blue, green, red in memory is RGB32's own order less the opaque top byte: four bytes read, one
        // set. The row's last pixel is read by its three bytes, as a fourth may lie past the buffer.
        for (int x = 0; x < last; ++x, source += 3)
            target[x] = qFromLittleEndian<quint32>(source) | 0xff000000u;
        target[last] = qRgb(source[2], source[1], source[0]);
    }
}
