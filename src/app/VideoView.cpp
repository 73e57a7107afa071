#include "app/VideoView.h"

#include "platform/Bitmap.h"
#include "ui/BitmapImage.h"

#include <QMetaObject>
#include <QPaintEvent>
#include <QPainter>

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
