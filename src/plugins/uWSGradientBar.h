// uWSGradientBar.h: TWSGradientBar, a small value bar: a gradient from black to VColor with a white thumb
// at Position (0..1), dragged with the mouse. A plain (non-native) widget that paints from an off-screen
// picture of its size, rendered again only when Position or VColor is set. No keyboard input.
// GUI thread only.
#pragma once

#include "render/uTypesDef.h"

#include <QImage>
#include <QString>
#include <QWidget>

#include <functional>

class TWSGradientBar : public QWidget {
public:
    static constexpr int kDefaultWidth = 105;
    static constexpr int kDefaultHeight = 14;

    // 105 x 14, VColor white, Position 0.5; the picture is rendered once, without OnChange.
    explicit TWSGradientBar(QWidget* parent = nullptr);

    // Stores x clamped into 0..1 (not a number gives 0), renders, then raises OnChange, also when the value
    // did not change.
    void SetPosition(double x);
    double Position() const { return FPosition; }
    QString PositionS() const; // "0.000"
    void SetVColor(TColorRef colour);
    TColorRef VColor() const { return FVColor; }

    // The off-screen picture as last rendered (its size is the widget's size at that time).
    const QImage& Picture() const { return FPicture; }

    std::function<void(TWSGradientBar* sender)> OnChange;
    int Tag = 0;

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    void Changed();
    void Render();
    void PositionFromMouse(QMouseEvent* event);

    double FPosition = 0.5;
    TColorRef FVColor = 0xFFFFFF;
    QImage FPicture;
};
