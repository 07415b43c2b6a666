#include "SymbolLabel.h"

#include "MirelIcons.h"

#include <QPainter>

SymbolLabel::SymbolLabel(const QString &symbolName, const QColor &color, int size, QWidget *parent)
    : QWidget(parent)
    , m_symbolName(symbolName)
    , m_icon(MirelIcons::icon(symbolName, color))
    , m_size(size)
{
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
}

void SymbolLabel::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    m_icon.paint(&painter, rect(), Qt::AlignCenter, isEnabled() ? QIcon::Normal : QIcon::Disabled);
}
