#include "ui/CentreOnOwner.h"

#include <QScreen>
#include <QWidget>

#include <algorithm>

void CentreOnOwner(QWidget& window) {
    const QWidget* owner = window.parentWidget() ? window.parentWidget()->window() : nullptr;
    QScreen* screen = owner ? owner->screen() : window.screen();
    const QRect available = screen ? screen->availableGeometry() : QRect();
    QRect area = available;
    QSize decoration(0, 0);
    if (owner && owner->isVisible()) {
        area = owner->frameGeometry();
        decoration = owner->frameGeometry().size() - owner->geometry().size();
    }
    const QSize outer = window.size() + decoration;
    QPoint topLeft =
        area.topLeft() + QPoint((area.width() - outer.width()) / 2, (area.height() - outer.height()) / 2);
    if (!available.isEmpty()) {
        // An owner half off the screen still gets its window where the user can reach its buttons.
        topLeft.setX(std::clamp(topLeft.x(), available.left(),
                                std::max(available.left(), available.right() + 1 - outer.width())));
        topLeft.setY(std::clamp(topLeft.y(), available.top(),
                                std::max(available.top(), available.bottom() + 1 - outer.height())));
    }
    window.move(topLeft); // a window's position is that of its frame
}
