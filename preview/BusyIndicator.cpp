// SPDX-License-Identifier: GPL-3.0-or-later
#include "BusyIndicator.h"

#include <QPainter>
#include <QVariantAnimation>

namespace {
constexpr int turnDurationMs = 900;
constexpr int diameter = 28;
} // namespace

BusyIndicator::BusyIndicator(QWidget *parent)
    : QWidget(parent)
    , m_rotation(new QVariantAnimation(this))
{
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setAccessibleName(tr("Loading"));
    setFixedSize(sizeHint());
    m_rotation->setStartValue(0.0);
    m_rotation->setEndValue(360.0);
    m_rotation->setDuration(turnDurationMs);
    m_rotation->setLoopCount(-1);
    connect(m_rotation, &QVariantAnimation::valueChanged, this, [this](const QVariant &value) {
        m_angle = value.toReal();
        update();
    });
}

bool BusyIndicator::isSpinning() const
{
    return m_rotation->state() == QAbstractAnimation::Running;
}

QSize BusyIndicator::sizeHint() const
{
    return QSize(diameter + 4, diameter + 4);
}

void BusyIndicator::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QColor base = palette().color(QPalette::WindowText);
    const qreal pen = diameter / 9.0;
    const QRectF circle =
        QRectF(rect()).adjusted(2 + pen / 2, 2 + pen / 2, -2 - pen / 2, -2 - pen / 2);
    QColor track = base;
    track.setAlphaF(0.15f);
    painter.setPen(QPen(track, pen));
    painter.drawEllipse(circle);
    QColor arc = base;
    arc.setAlphaF(0.7f);
    painter.setPen(QPen(arc, pen, Qt::SolidLine, Qt::RoundCap));
    // Qt measures arc angles in sixteenths of a degree, counter-clockwise from three o'clock.
    painter.drawArc(circle, int((90.0 - m_angle) * 16), -100 * 16);
}

void BusyIndicator::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    m_rotation->start();
}

void BusyIndicator::hideEvent(QHideEvent *event)
{
    m_rotation->stop();
    QWidget::hideEvent(event);
}
