#include "KindIconLabel.h"

#include "MirelIcons.h"

#include <QPainter>

KindIconLabel::KindIconLabel(const QString &symbolName, int size, QWidget *parent)
    : QWidget(parent)
    , m_symbolName(symbolName)
    , m_size(size)
{
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    setAccessibleName(symbolName);
}

void KindIconLabel::paintEvent(QPaintEvent *)
{
    const int side = qMin(width(), height());
    const QPixmap symbol = MirelIcons::pixmap(
        m_symbolName, side, palette().color(QPalette::PlaceholderText), devicePixelRatioF());
    QPainter painter(this);
    painter.drawPixmap(QPoint((width() - side) / 2, (height() - side) / 2), symbol);
}
