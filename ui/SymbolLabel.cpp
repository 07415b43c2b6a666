// SPDX-License-Identifier: GPL-3.0-or-later
#include "SymbolLabel.h"

#include "MirelIcons.h"

#include <QPainter>

namespace {
constexpr qreal disabledOpacity = 0.4;
}

SymbolLabel::SymbolLabel(const QString &symbolName, const QColor &color, int size, QWidget *parent)
    : QWidget(parent)
    , m_symbolName(symbolName)
    , m_color(color)
    , m_size(size)
{
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    setAccessibleName(symbolName);
}

void SymbolLabel::paintEvent(QPaintEvent *)
{
    const int side = qMin(width(), height());
    const QColor color = m_color.isValid() ? m_color : palette().color(QPalette::PlaceholderText);
    QPainter painter(this);
    if (!isEnabled())
        painter.setOpacity(disabledOpacity);
    painter.drawPixmap(QPoint((width() - side) / 2, (height() - side) / 2),
                       MirelIcons::pixmap(m_symbolName, side, color, devicePixelRatioF()));
}
