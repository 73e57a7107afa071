// uWSGradientBar.h: TWSGradientBar, a small value bar: a gradient from black to VColor with a white thumb
// at Position (0..1), dragged with the mouse. A plain (non-native) widget that paints from an off-screen
// picture of its size, rendered again only when Position or VColor is set.
// Finer steps than a drag: the wheel and the arrow keys step by kFineStep of the range (with Shift by
// kFinerStep), Page Up and Page Down by kPageStep, Home and a double click go back to HomePosition. A right
// click that does not drag asks for the bar's context menu (OnContextMenu). GUI thread only.
#pragma once

#include "render/uTypesDef.h"

#include <QImage>
#include <QString>
#include <QWidget>

#include <functional>
#include <limits>

class TWSGradientBar : public QWidget {
public:
    static constexpr int kDefaultWidth = 105;
    static constexpr int kDefaultHeight = 14;
    static constexpr double kFineStep = 0.01;
    static constexpr double kFinerStep = 0.001;
    static constexpr double kPageStep = 0.1;

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

    // Moves Position by delta (clamped as SetPosition does).
    void Step(double delta);

    std::function<void(TWSGradientBar* sender)> OnChange;
    // A right click without a drag, or the menu key: where the menu should open, in global coordinates.
    std::function<void(TWSGradientBar* sender, const QPoint& globalPos)> OnContextMenu;
    int Tag = 0;
    // Where Home and a double click put the thumb; not a number: they do nothing.
    double HomePosition = std::numeric_limits<double>::quiet_NaN();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    void Changed();
    void Render();
    void PositionFromMouse(QMouseEvent* event);
    void GoHome();

    double FPosition = 0.5;
    TColorRef FVColor = 0xFFFFFF;
    QImage FPicture;
    bool FRightClick = false; // a right press that has not dragged yet
};
