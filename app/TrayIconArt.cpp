// SPDX-License-Identifier: GPL-3.0-or-later
#include "TrayIconArt.h"

#include "MirelIcons.h"

#include <QPainter>

using namespace Qt::StringLiterals;

QIcon TrayIconArt::icon()
{
    QIcon icon;
    for (const int size : {16, 22, 24, 32, 48, 64}) {
        const QPixmap glyph = MirelIcons::pixmap(u"MenuBarIcon"_s, size - 2, Qt::white);
        const QPixmap edge = MirelIcons::pixmap(u"MenuBarIcon"_s, size - 2, QColor(0, 0, 0, 150));
        QPixmap pixmap(size, size);
        pixmap.fill(Qt::transparent);
        QPainter painter(&pixmap);
        for (const QPoint offset : {QPoint(0, 1), QPoint(2, 1), QPoint(1, 0), QPoint(1, 2)})
            painter.drawPixmap(offset, edge);
        painter.drawPixmap(1, 1, glyph);
        painter.end();
        icon.addPixmap(pixmap);
    }
    return icon;
}
