// SPDX-License-Identifier: GPL-3.0-or-later
#include "ScaleFadeIn.h"

#include <QPainter>
#include <QPixmap>
#include <QPointer>
#include <QVariantAnimation>
#include <QWidget>

#include <algorithm>

using namespace Qt::StringLiterals;

namespace {

class Snapshot final : public QWidget
{
public:
    Snapshot(QWidget *target, const QPixmap &picture, bool coversTarget)
        : QWidget(target)
        , m_picture(picture)
        , m_coversTarget(coversTarget)
    {
        setAttribute(Qt::WA_TransparentForMouseEvents);
        setGeometry(target->rect());
    }
    void setLevel(qreal level)
    {
        m_level = level;
        update();
    }

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter painter(this);
        if (m_coversTarget)
            painter.fillRect(rect(), palette().color(QPalette::Window));
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
        painter.setOpacity(m_level);
        const qreal scale = std::max(m_level, 0.00001);
        painter.translate(QRectF(rect()).center());
        painter.scale(scale, scale);
        painter.translate(-QRectF(rect()).center());
        painter.drawPixmap(0, 0, m_picture);
    }

private:
    QPixmap m_picture;
    bool m_coversTarget;
    qreal m_level = 0.0;
};

void animate(QWidget *area, const QPixmap &picture, bool appearing, int durationMs)
{
    auto *snapshot = new Snapshot(area, picture, appearing);
    snapshot->setObjectName(appearing ? u"scaleFadeIn"_s : u"scaleFadeOut"_s);
    snapshot->setLevel(appearing ? 0.0 : 1.0);
    snapshot->show();
    snapshot->raise();
    auto *animation = new QVariantAnimation(snapshot);
    animation->setStartValue(appearing ? 0.0 : 1.0);
    animation->setEndValue(appearing ? 1.0 : 0.0);
    animation->setDuration(durationMs);
    animation->setEasingCurve(QEasingCurve::InOutQuad);
    QObject::connect(animation, &QVariantAnimation::valueChanged, snapshot,
                     [snapshot](const QVariant &value) { snapshot->setLevel(value.toReal()); });
    QObject::connect(animation, &QVariantAnimation::finished, snapshot, &QObject::deleteLater);
    animation->start();
}

} // namespace

void ScaleFadeIn::play(QWidget *target, int durationMs)
{
    if (!target || !target->isVisible() || target->size().isEmpty())
        return;
    animate(target, target->grab(), true, durationMs);
}

void ScaleFadeIn::playOut(QWidget *area, const QPixmap &picture, int durationMs)
{
    if (!area || !area->isVisible() || picture.isNull())
        return;
    animate(area, picture, false, durationMs);
}
