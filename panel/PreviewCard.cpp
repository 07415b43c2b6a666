// SPDX-License-Identifier: GPL-3.0-or-later
#include "PreviewCard.h"

#include "FileActions.h"
#include "MirelIcons.h"
#include "SmartPreviewView.h"

#include <QContextMenuEvent>
#include <QEvent>
#include <QPainter>
#include <QPainterPath>
#include <QProgressBar>
#include <QVariantAnimation>

namespace {

constexpr int symbolSize = 50;
constexpr int fadeMs = 150;
constexpr int progressSteps = 1000;
constexpr int progressMargin = 16;

QPainterPath roundedPath(const QRectF &rect)
{
    QPainterPath path;
    path.addRoundedRect(rect, PreviewCard::cornerRadius, PreviewCard::cornerRadius);
    return path;
}

} // namespace

PreviewCard::PreviewCard(QWidget *parent)
    : QWidget(parent)
    , m_overlay(new QWidget(this))
    , m_fade(new QVariantAnimation(this))
    , m_progress(new QProgressBar(this))
{
    m_progress->setRange(0, progressSteps);
    m_progress->setTextVisible(false);
    m_progress->setFixedHeight(6);
    m_progress->setAccessibleName(tr("Copy progress"));
    // Opaque, so each step repaints the bar alone and not the preview underneath.
    m_progress->setAutoFillBackground(true);
    m_progress->hide();
    setFixedHeight(cardHeight);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    m_overlay->setAttribute(Qt::WA_TransparentForMouseEvents);
    m_overlay->installEventFilter(this);

    m_fade->setDuration(fadeMs);
    m_fade->setEasingCurve(QEasingCurve::InOutQuad);
    connect(m_fade, &QVariantAnimation::valueChanged, this, [this](const QVariant &value) {
        m_level = value.toReal();
        m_overlay->update();
    });
    connect(m_fade, &QVariantAnimation::finished, this, [this] {
        if (m_level <= 0.0) {
            m_overlayColor = Qt::transparent;
            m_symbolName.clear();
        }
    });
}

void PreviewCard::setFile(const std::optional<TrackedFile> &file)
{
    const QUuid id = file ? file->id : QUuid();
    if (id == m_fileId && (m_preview != nullptr) == file.has_value())
        return;
    m_fileId = id;
    m_filePath = file ? file->filePath : QString();
    delete m_preview;
    m_preview = nullptr;
    if (file) {
        m_preview = new SmartPreviewView(QUrl::fromLocalFile(file->filePath), this);
        m_preview->setGeometry(rect());
        m_preview->setMask(QRegion(roundedPath(rect()).toFillPolygon().toPolygon()));
        m_preview->show();
    }
    m_overlay->raise();
    m_progress->raise();
}

void PreviewCard::showFeedback(const QColor &color, const QString &symbolName)
{
    m_overlayColor = color;
    m_symbolName = symbolName;
    m_overlay->update();
    animateTo(1.0);
    emit feedbackShown(symbolName);
}

void PreviewCard::hideFeedback()
{
    animateTo(0.0);
}

void PreviewCard::changeFeedback(const QColor &color, const QString &symbolName)
{
    m_overlayColor = color;
    m_symbolName = symbolName;
    m_overlay->update();
    emit feedbackShown(symbolName);
}

void PreviewCard::showProgress(qint64 done, qint64 total)
{
    m_progress->setValue(total > 0 ? int(done * progressSteps / total) : 0);
    if (!m_progress->isVisible()) {
        m_progress->show();
        m_progress->raise();
    }
}

void PreviewCard::hideProgress()
{
    m_progress->hide();
    m_progress->reset();
}

void PreviewCard::contextMenuEvent(QContextMenuEvent *event)
{
    if (m_filePath.isEmpty())
        return;
    auto failed = [this](const QString &reason) {
        emit openFailed(reason);
    };
    FileActions::popUpMenu(m_filePath, event->globalPos(), this, failed);
}

void PreviewCard::animateTo(qreal level)
{
    m_fade->stop();
    m_fade->setStartValue(m_level);
    m_fade->setEndValue(level);
    m_fade->start();
}

void PreviewCard::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    m_overlay->setGeometry(rect());
    m_progress->setGeometry(progressMargin, height() - progressMargin - m_progress->height(),
                            width() - 2 * progressMargin, m_progress->height());
    if (m_preview) {
        m_preview->setGeometry(rect());
        m_preview->setMask(QRegion(roundedPath(rect()).toFillPolygon().toPolygon()));
    }
}

void PreviewCard::paintEvent(QPaintEvent *)
{
    // The card's own ground, so a preview smaller than the card still reads as one card.
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.fillPath(roundedPath(QRectF(rect())), palette().color(QPalette::AlternateBase));
}

bool PreviewCard::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_overlay && event->type() == QEvent::Paint) {
        paintOverlay(m_overlay);
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

void PreviewCard::paintOverlay(QWidget *overlay)
{
    if (m_level <= 0.0)
        return;
    QPainter painter(overlay);
    painter.setRenderHint(QPainter::Antialiasing);
    QColor tint = m_overlayColor;
    tint.setAlphaF(tint.alphaF() * 0.4 * m_level);
    painter.fillPath(roundedPath(QRectF(overlay->rect())), tint);
    if (m_symbolName.isEmpty())
        return;
    // The symbol grows from nothing about the centre while it fades in.
    const QPixmap symbol =
        MirelIcons::pixmap(m_symbolName, symbolSize, Qt::white, overlay->devicePixelRatioF());
    painter.setOpacity(m_level);
    painter.translate(QRectF(overlay->rect()).center());
    painter.scale(std::max(m_level, 0.00001), std::max(m_level, 0.00001));
    painter.drawPixmap(QPointF(-symbolSize / 2.0, -symbolSize / 2.0), symbol);
}
