// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QAbstractButton>

class QVariantAnimation;

// An on/off switch: a rounded track whose knob slides to the "on" side when checked. It is
// an ordinary checkable button, so clicks, the space bar and screen readers work as usual.
class ToggleSwitch final : public QAbstractButton
{
    Q_OBJECT

public:
    explicit ToggleSwitch(QWidget *parent = nullptr);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

protected:
    void paintEvent(QPaintEvent *event) override;
    bool hitButton(const QPoint &position) const override;

private:
    void slideKnob(bool checked);

    QVariantAnimation *m_knobAnimation; // child
    qreal m_knobPosition = 0.0;         // 0: the "off" end, 1: the "on" end
};
