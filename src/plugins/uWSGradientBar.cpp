#include "plugins/uWSGradientBar.h"

#include "platform/NumberText.h"

#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QWheelEvent>

#include <algorithm>
#include <cmath>
#include <vector>

namespace {

constexpr QRgb kThumbColour = 0xFFFFFFFF;
constexpr QRgb kThumbEdgeColour = 0xFF000000;
constexpr QRgb kFrameColour = 0xFF808080;

// n / d to the nearest integer, halves to the even neighbour; n >= 0, d > 0. Integer arithmetic keeps
// the ties exact.
int RoundHalfEven(long long n, long long d) {
    const long long q = n / d;
    const long long twiceRest = 2 * (n % d);
    if (twiceRest > d || (twiceRest == d && (q & 1))) return int(q + 1);
    return int(q);
}

// The same for a real value, independent of the floating-point rounding mode.
long long RoundHalfEven(double v) {
    const double down = std::floor(v);
    const double rest = v - down;
    long long r = static_cast<long long>(down);
    if (rest > 0.5 || (rest == 0.5 && (r & 1))) ++r;
    return r;
}

} // namespace

TWSGradientBar::TWSGradientBar(QWidget* parent) : QWidget(parent) {
    // Focus by click, tab and wheel, for the keys' finer steps.
    setFocusPolicy(Qt::WheelFocus);
    resize(kDefaultWidth, kDefaultHeight);
    Render();
}

void TWSGradientBar::SetPosition(double x) {
    if (x > 1.0) x = 1.0;
    if (!(x >= 0.0)) x = 0.0;
    FPosition = x;
    Changed();
}

QString TWSGradientBar::PositionS() const {
    return QString::fromStdString(FormatFloat("0.000", FPosition));
}

void TWSGradientBar::SetVColor(TColorRef colour) {
    FVColor = colour;
    Changed();
}

void TWSGradientBar::Changed() {
    Render();
    update();
    if (OnChange) OnChange(this);
}

void TWSGradientBar::Render() {
    const int w = width();
    const int h = height();
    if (w <= 0 || h <= 0) {
        FPicture = QImage();
        return;
    }
    if (FPicture.size() != QSize(w, h)) FPicture = QImage(w, h, QImage::Format_RGB32);

    // The steps (gradient, thumb, its edge lines, the frame) leave every row between the frame's top and
    // bottom lines alike, so one row is made and copied: a panel builds hundreds of bars.
    std::vector<QRgb> row(static_cast<size_t>(w));
    const int red = RedOf(FVColor), green = GreenOf(FVColor), blue = BlueOf(FVColor);
    for (int x = 0; x < w; ++x)
        row[size_t(x)] =
            qRgb(RoundHalfEven(x * red, w), RoundHalfEven(x * green, w), RoundHalfEven(x * blue, w));
    const long long thumb = RoundHalfEven(double(w - 3) * FPosition);
    const long long thumbFirst = std::max(0LL, thumb);
    const long long thumbLast = std::min<long long>(thumb + 2, w - 1);
    for (long long x = thumbFirst; x <= thumbLast; ++x)
        row[size_t(x)] = kThumbColour;
    row[size_t(std::clamp<long long>(thumb - 1, 0, w - 1))] = kThumbEdgeColour;
    row[size_t(std::clamp<long long>(thumb + 3, 0, w - 1))] = kThumbEdgeColour;
    row.front() = kFrameColour;
    row.back() = kFrameColour;

    for (int y = 0; y < h; ++y) {
        auto* line = reinterpret_cast<QRgb*>(FPicture.scanLine(y));
        if (y == 0 || y == h - 1) {
            std::fill(line, line + w, kFrameColour);
            continue;
        }
        std::copy(row.begin(), row.end(), line);
    }
}

void TWSGradientBar::paintEvent(QPaintEvent*) {
    if (FPicture.isNull()) return;
    QPainter painter(this);
    painter.drawImage(0, 0, FPicture);
}

void TWSGradientBar::PositionFromMouse(QMouseEvent* event) {
    // The buttons still held: a release of the only button held reports none, so it does not move the bar.
    if (!(event->buttons() & (Qt::LeftButton | Qt::RightButton))) return;
    if (width() <= 0) return;
    SetPosition(std::floor(event->position().x()) / double(width()));
}

void TWSGradientBar::mousePressEvent(QMouseEvent* event) {
    // Accepted, so that the moves of the drag and the release come here even outside the bar; a press
    // alone changes nothing.
    event->accept();
    FRightClick = event->button() == Qt::RightButton;
}

void TWSGradientBar::mouseMoveEvent(QMouseEvent* event) {
    // The right button drags as the left does; once it has dragged, its release opens no menu.
    if (event->buttons() & (Qt::LeftButton | Qt::RightButton)) FRightClick = false;
    PositionFromMouse(event);
}

void TWSGradientBar::mouseReleaseEvent(QMouseEvent* event) {
    QWidget::mouseReleaseEvent(event);
    PositionFromMouse(event);
    // Asked for at the release, not the press: a press of the right button may still become a drag.
    if (event->button() == Qt::RightButton && FRightClick && OnContextMenu)
        OnContextMenu(this, event->globalPosition().toPoint());
    FRightClick = false;
}

void TWSGradientBar::mouseDoubleClickEvent(QMouseEvent* event) {
    event->accept();
    if (event->button() == Qt::LeftButton) GoHome();
}

void TWSGradientBar::contextMenuEvent(QContextMenuEvent* event) {
    // The mouse's request is answered at the release above; the keyboard's here.
    event->accept();
    if (event->reason() != QContextMenuEvent::Mouse && OnContextMenu)
        OnContextMenu(this, mapToGlobal(QPoint(width() / 2, height() / 2)));
}

void TWSGradientBar::Step(double delta) {
    SetPosition(FPosition + delta);
}

void TWSGradientBar::GoHome() {
    if (!std::isnan(HomePosition)) SetPosition(HomePosition);
}

void TWSGradientBar::wheelEvent(QWheelEvent* event) {
    // Some window systems turn a wheel with Shift into a sideways one.
    const QPoint angle = event->angleDelta();
    const int delta = angle.y() != 0 ? angle.y() : angle.x();
    if (delta == 0) {
        event->ignore();
        return;
    }
    event->accept();
    const double step = (event->modifiers() & Qt::ShiftModifier) ? kFinerStep : kFineStep;
    // A notch is 120; touchpads send fractions of it, which add up to the same steps.
    Step(step * double(delta) / 120.0);
}

void TWSGradientBar::keyPressEvent(QKeyEvent* event) {
    const double fine = (event->modifiers() & Qt::ShiftModifier) ? kFinerStep : kFineStep;
    switch (event->key()) {
    case Qt::Key_Right:
    case Qt::Key_Up:
        Step(fine);
        break;
    case Qt::Key_Left:
    case Qt::Key_Down:
        Step(-fine);
        break;
    case Qt::Key_PageUp:
        Step(kPageStep);
        break;
    case Qt::Key_PageDown:
        Step(-kPageStep);
        break;
    case Qt::Key_Home:
        GoHome();
        break;
    default:
        QWidget::keyPressEvent(event);
        return;
    }
    event->accept();
}
