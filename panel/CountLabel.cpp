// SPDX-License-Identifier: GPL-3.0-or-later
#include "CountLabel.h"

#include "Spring.h"
#include "TextStyles.h"

#include <QPainter>
#include <QVariantAnimation>

CountLabel::CountLabel(QWidget *parent)
    : QWidget(parent)
    , m_animation(new QVariantAnimation(this))
{
    setFont(TextStyles::caption());
    m_animation->setStartValue(0.0);
    m_animation->setEndValue(1.0);
    m_animation->setEasingCurve(Spring::easingCurve());
    m_animation->setDuration(Spring::durationMs(0.3));
    connect(m_animation, &QVariantAnimation::valueChanged, this, [this](const QVariant &value) {
        m_progress = value.toReal();
        update();
    });
    setCount(0);
}

QString CountLabel::textFor(qsizetype count) const
{
    // English has no singular form, on purpose: "1 files" reads as a count, like the rest.
    // Languages whose translation gives plural forms get them.
    return tr("%n files", nullptr, int(count));
}

QString CountLabel::text() const
{
    return textFor(m_count);
}

bool CountLabel::isAnimating() const
{
    return m_animation->state() == QAbstractAnimation::Running;
}

void CountLabel::setCount(qsizetype count)
{
    if (count == m_count)
        return;
    const bool first = m_count < 0;
    m_previousText = text();
    m_count = count;
    setAccessibleName(text());
    updateGeometry();
    if (first || !isVisible()) {
        m_progress = 1.0;
        update();
        return;
    }
    m_animation->stop();
    m_progress = 0.0;
    m_animation->start();
}

QSize CountLabel::sizeHint() const
{
    return {fontMetrics().horizontalAdvance(text()) + 2, fontMetrics().height()};
}

void CountLabel::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    QColor color = TextStyles::secondary(palette());
    const qreal alpha = color.alphaF();
    const qreal travel = fontMetrics().height() * 0.6;
    const QRectF area = rect();
    const int flags = Qt::AlignRight | Qt::AlignVCenter;
    if (m_progress < 1.0) {
        color.setAlphaF(alpha * (1.0 - m_progress));
        painter.setPen(color);
        painter.drawText(area.translated(0, -travel * m_progress), flags, m_previousText);
    }
    color.setAlphaF(alpha * std::clamp(m_progress, 0.0, 1.0));
    painter.setPen(color);
    painter.drawText(area.translated(0, travel * (1.0 - m_progress)), flags, text());
}
