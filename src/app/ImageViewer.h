// ImageViewer.h: the still-picture view (IMG_Viewer): shows its picture stretched over its whole area,
// black without one. A double click on it is its own and does not reach the main window. GUI thread.
#pragma once

#include "ui/BitmapImage.h" // BitmapToImage makes the pictures this view shows

#include <QImage>
#include <QWidget>

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
