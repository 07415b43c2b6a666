// SPDX-License-Identifier: GPL-3.0-or-later
#include "PanelPlacement.h"

#include <algorithm>

namespace {
constexpr int gap = 4;
}

QPoint PanelPlacement::topLeft(const QSize &panel, const QRect &iconGeometry, const QPoint &pointer,
                               const QRect &available)
{
    const bool iconKnown = iconGeometry.isValid() && !iconGeometry.isEmpty();
    const QPoint anchor = iconKnown ? iconGeometry.center() : pointer;
    const int below = iconKnown ? iconGeometry.bottom() + 1 + gap : anchor.y() + gap;
    const int above = (iconKnown ? iconGeometry.top() : anchor.y()) - gap - panel.height();
    // Open away from the screen edge the anchor sits on.
    const bool openUp = anchor.y() > available.center().y() && above >= available.top();
    int x = anchor.x() - panel.width() / 2;
    int y = openUp ? above : below;
    x = std::clamp(x, available.left(),
                   std::max(available.left(), available.right() + 1 - panel.width()));
    y = std::clamp(y, available.top(),
                   std::max(available.top(), available.bottom() + 1 - panel.height()));
    return {x, y};
}

QPoint PanelPlacement::trayCorner(const QRect &screen, const QRect &available)
{
    if (available.bottom() < screen.bottom() && available.top() <= screen.top())
        return available.bottomRight();
    if (available.left() > screen.left() && available.top() <= screen.top() &&
        available.right() >= screen.right())
        return available.topLeft();
    return available.topRight();
}
