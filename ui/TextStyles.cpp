// SPDX-License-Identifier: GPL-3.0-or-later
#include "TextStyles.h"

#include <QApplication>

#include <algorithm>

namespace {

// Sizes relative to the body text, as desktop text styles scale them.
QFont scaled(qreal factor, QFont::Weight weight = QFont::Normal)
{
    QFont font = QApplication::font();
    const qreal body = font.pointSizeF() > 0 ? font.pointSizeF() : 10.0;
    font.setPointSizeF(std::max(7.5, body * factor));
    font.setWeight(weight);
    return font;
}

} // namespace

QFont TextStyles::headline()
{
    return scaled(1.0, QFont::Bold);
}

QFont TextStyles::subheadline()
{
    return scaled(0.92);
}

QFont TextStyles::caption()
{
    return scaled(0.85);
}

QFont TextStyles::caption2()
{
    return scaled(0.78);
}

QColor TextStyles::secondary(const QPalette &palette)
{
    QColor color = palette.color(QPalette::WindowText);
    color.setAlphaF(0.6);
    return color;
}

QColor TextStyles::accent(const QPalette &palette)
{
    return palette.color(QPalette::Highlight);
}

QColor TextStyles::red()
{
    return QColor(255, 59, 48);
}

QColor TextStyles::green()
{
    return QColor(52, 199, 89);
}

QColor TextStyles::blue()
{
    return QColor(0x35, 0x84, 0xe4);
}

QColor TextStyles::orange()
{
    return QColor(255, 149, 0);
}
