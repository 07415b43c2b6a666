// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QPoint>
#include <QRect>
#include <QSize>

// Where the panel opens: under the tray icon (or above it, for a panel at the bottom of the
// screen) when the icon's place is known, otherwise by the pointer; always inside the
// screen's available area.
namespace PanelPlacement {

QPoint topLeft(const QSize &panel, const QRect &iconGeometry, const QPoint &pointer,
               const QRect &available);

// Where the icon most likely is when no click has told: the corner of the screen on the side
// its panels take up (where the available area is smaller than the screen), the top right
// when no side is taken.
QPoint trayCorner(const QRect &screen, const QRect &available);

} // namespace PanelPlacement
