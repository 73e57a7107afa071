#include "app/ImageViewer.h"

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
