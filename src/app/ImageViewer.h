// ImageViewer.h: the still-picture view (IMG_Viewer): shows its picture stretched over its whole area,
// black without one. A double click on it is its own and does not reach the main window. GUI thread.
#pragma once

#include <QImage>
#include <QWidget>

class TBitmap;

class TImageViewer : public QWidget {
public:
    explicit TImageViewer(QWidget* parent = nullptr);

    void SetPicture(const QImage& picture);
    const QImage& Picture() const { return FPicture; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;

private:
    QImage FPicture;
};

// The bitmap's pixels as an RGB image, top row first (the bitmap stores rows bottom-up, blue first). An
// alpha channel is dropped: the view shows pictures opaque, as the OpenGL view does.
QImage BitmapToImage(const TBitmap& bitmap);
