// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QWidget>

class QVariantAnimation;

// The header's "N files": when the number changes, the old text slides up and fades while
// the new one rises into place, on a spring of response 0.3 s.
class CountLabel final : public QWidget
{
    Q_OBJECT

public:
    explicit CountLabel(QWidget *parent = nullptr);

    qsizetype count() const { return m_count; }
    void setCount(qsizetype count);
    QString text() const;
    bool isAnimating() const;

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QString textFor(qsizetype count) const;

    qsizetype m_count = -1;
    QString m_previousText;
    qreal m_progress = 1.0;
    QVariantAnimation *m_animation;
};
