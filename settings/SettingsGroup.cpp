// SPDX-License-Identifier: GPL-3.0-or-later
#include "SettingsGroup.h"

#include <QHBoxLayout>
#include <QPainter>
#include <QPainterPath>
#include <QVBoxLayout>

namespace {

constexpr qreal cornerRadius = 8.0;
constexpr int rowHeight = 30;
constexpr int sideMargin = 12;

} // namespace

SettingsGroup::SettingsGroup(QWidget *parent)
    : QWidget(parent)
    , m_rows(new QVBoxLayout(this))
{
    m_rows->setContentsMargins(0, 0, 0, 0);
    m_rows->setSpacing(0);
}

QWidget *SettingsGroup::addRow(const QList<QWidget *> &widgets)
{
    return insertRow(rowCount(), widgets);
}

QWidget *SettingsGroup::insertRow(int index, const QList<QWidget *> &widgets)
{
    auto *row = new QWidget(this);
    row->setMinimumHeight(rowHeight);
    auto *layout = new QHBoxLayout(row);
    layout->setContentsMargins(sideMargin, 3, sideMargin - 2, 3);
    layout->setSpacing(8);
    for (QWidget *widget : widgets) {
        if (widget == stretch())
            layout->addStretch(1);
        else
            layout->addWidget(widget, 0, Qt::AlignVCenter);
    }
    m_rows->insertWidget(index, row);
    // A row added to a window on screen shows at once, not on the next turn of the event loop.
    row->show();
    return row;
}

void SettingsGroup::removeRow(QWidget *row)
{
    m_rows->removeWidget(row);
    row->hide();
    row->deleteLater();
}

int SettingsGroup::rowCount() const
{
    return m_rows->count();
}

void SettingsGroup::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);

    QColor border = palette().color(QPalette::WindowText);
    border.setAlphaF(0.12f);
    const QRectF box = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
    painter.setPen(QPen(border, 1.0));
    painter.setBrush(palette().color(QPalette::Base));
    painter.drawRoundedRect(box, cornerRadius, cornerRadius);

    // A separator under every row but the last, indented like the rows' text.
    painter.setRenderHint(QPainter::Antialiasing, false);
    painter.setPen(QPen(border, 1.0));
    for (int index = 0; index + 1 < m_rows->count(); ++index) {
        const QWidget *row = m_rows->itemAt(index)->widget();
        if (row == nullptr || !row->isVisibleTo(this))
            continue;
        const int y = row->geometry().bottom();
        painter.drawLine(sideMargin, y, width() - 1, y);
    }
}
