// SPDX-License-Identifier: GPL-3.0-or-later
#include "ToggleSwitch.h"

#include <QPainter>
#include <QPainterPath>
#include <QVariantAnimation>

namespace {

constexpr int trackWidth = 36;
constexpr int trackHeight = 20;
constexpr int knobInset = 2;
constexpr int focusMargin = 2;
constexpr int slideMilliseconds = 150;

QColor mixed(const QColor &from, const QColor &to, qreal amount)
{
    const auto mix = [amount](float a, float b) {
        return a + (b - a) * float(amount);
    };
    return QColor::fromRgbF(mix(from.redF(), to.redF()), mix(from.greenF(), to.greenF()),
                            mix(from.blueF(), to.blueF()), mix(from.alphaF(), to.alphaF()));
}

} // namespace

ToggleSwitch::ToggleSwitch(QWidget *parent)
    : QAbstractButton(parent)
    , m_knobAnimation(new QVariantAnimation(this))
{
    setCheckable(true);
    setCursor(Qt::PointingHandCursor);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    m_knobAnimation->setDuration(slideMilliseconds);
    m_knobAnimation->setEasingCurve(QEasingCurve::InOutQuad);
    connect(m_knobAnimation, &QVariantAnimation::valueChanged, this, [this](const QVariant &value) {
        m_knobPosition = value.toReal();
        update();
    });
    connect(this, &QAbstractButton::toggled, this, &ToggleSwitch::slideKnob);
}

QSize ToggleSwitch::sizeHint() const
{
    return QSize(trackWidth + 2 * focusMargin, trackHeight + 2 * focusMargin);
}

bool ToggleSwitch::hitButton(const QPoint &position) const
{
    return rect().contains(position);
}

void ToggleSwitch::slideKnob(bool checked)
{
    const qreal target = checked ? 1.0 : 0.0;
    m_knobAnimation->stop();
    // A switch nobody sees (or one set before it was first shown) just takes its place.
    if (!isVisible()) {
        m_knobPosition = target;
        update();
        return;
    }
    m_knobAnimation->setStartValue(m_knobPosition);
    m_knobAnimation->setEndValue(target);
    m_knobAnimation->start();
}

void ToggleSwitch::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    if (!isEnabled())
        painter.setOpacity(0.45);

    const QRectF track((width() - trackWidth) / 2.0, (height() - trackHeight) / 2.0, trackWidth,
                       trackHeight);
    const qreal radius = trackHeight / 2.0;
    QColor offColor = palette().color(QPalette::WindowText);
    offColor.setAlphaF(0.22f);
    const QColor onColor = palette().color(QPalette::Highlight);

    if (hasFocus()) {
        QColor ring = onColor;
        ring.setAlphaF(0.5f);
        painter.setPen(QPen(ring, focusMargin));
        painter.setBrush(Qt::NoBrush);
        painter.drawRoundedRect(track.adjusted(-1, -1, 1, 1), radius + 1, radius + 1);
    }

    painter.setPen(Qt::NoPen);
    painter.setBrush(mixed(offColor, onColor, m_knobPosition));
    painter.drawRoundedRect(track, radius, radius);

    const qreal knobSide = trackHeight - 2 * knobInset;
    const qreal travel = trackWidth - 2 * knobInset - knobSide;
    const QRectF knob(track.left() + knobInset + travel * m_knobPosition, track.top() + knobInset,
                      knobSide, knobSide);
    painter.setBrush(QColor(0, 0, 0, 40));
    painter.drawEllipse(knob.translated(0, 0.75));
    painter.setBrush(isDown() ? QColor(0xee, 0xee, 0xee) : QColor(Qt::white));
    painter.drawEllipse(knob);
}
