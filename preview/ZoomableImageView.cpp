// SPDX-License-Identifier: GPL-3.0-or-later
#include "ZoomableImageView.h"

#include "Spring.h"

#include "BusyIndicator.h"
#include "ImageDecoder.h"
#include "PreviewPriority.h"
#include "RunInBackground.h"

#include <QEasingCurve>
#include <QGuiApplication>
#include <QMouseEvent>
#include <QNativeGestureEvent>
#include <QPainter>
#include <QScreen>
#include <QTimer>
#include <QVariantAnimation>
#include <QWheelEvent>

#include <cmath>
#include <numbers>

namespace {

constexpr qreal minimumScale = 1.0;
constexpr qreal maximumScale = 5.0;
constexpr qreal doubleClickScale = 2.5;
constexpr qreal minimumPinchDelta = 0.01;
constexpr qreal dragThreshold = 10.0;
// Ctrl + one wheel notch (120 units) zooms as much as a modest pinch would.
constexpr qreal wheelNotchFactor = 1.2;
// A pinch made of wheel events ends when the wheel has been still for this long.
constexpr int wheelPinchIdleMs = 250;

// The double click and the return to rest move on a critically damped spring.
constexpr qreal springResponse = 0.5;

QImage prepareForDrawing(QImage image)
{
    // The raster engine draws these two formats without converting on every paint.
    image.convertTo(image.hasAlphaChannel() ? QImage::Format_ARGB32_Premultiplied
                                            : QImage::Format_RGB32);
    return image;
}

} // namespace

ZoomableImageView::ZoomableImageView(const QUrl &url, QWidget *parent)
    : QWidget(parent)
    , m_url(url)
    , m_spring(new QVariantAnimation(this))
    , m_wheelPinchEnd(new QTimer(this))
    , m_busy(new BusyIndicator(this))
{
    // The picture is asked for once the view is laid out: the process that decodes it starts now.
    PreviewWorker::prestart();
    setAttribute(Qt::WA_OpaquePaintEvent, false);
    setFocusPolicy(Qt::NoFocus);

    m_spring->setEasingCurve(springCurve());
    m_spring->setDuration(springDurationMs());
    m_spring->setStartValue(0.0);
    m_spring->setEndValue(1.0);
    connect(m_spring, &QVariantAnimation::valueChanged, this, [this](const QVariant &value) {
        const qreal progress = value.toReal();
        m_shownScale = m_springFromScale + (m_scale - m_springFromScale) * progress;
        m_shownOffset = m_springFromOffset + (m_offset - m_springFromOffset) * progress;
        update();
    });
    connect(m_spring, &QVariantAnimation::finished, this, &ZoomableImageView::showStateNow);

    m_wheelPinchEnd->setSingleShot(true);
    m_wheelPinchEnd->setInterval(wheelPinchIdleMs);
    connect(m_wheelPinchEnd, &QTimer::timeout, this, [this] { endPinch(m_wheelPinch); });

    updateChrome();
}

void ZoomableImageView::setUrl(const QUrl &url)
{
    if (url == m_url)
        return;
    m_url = url;
    resetState();
    if (isVisible())
        loadImage();
}

void ZoomableImageView::loadImage()
{
    startDecode(screenBounds(), false);
}

void ZoomableImageView::resetState()
{
    m_spring->stop();
    m_wheelPinchEnd->stop();
    m_gesturePinch = Pinch();
    m_wheelPinch = Pinch();
    m_mouseDown = false;
    m_dragging = false;
    m_scale = 1.0;
    m_lastScale = 1.0;
    m_offset = QPointF();
    m_lastOffset = QPointF();
    m_image = QImage();
    m_fullSize = QSize();
    // Loads still under way belong to the previous state; their results are dropped.
    ++m_generation;
    m_cancel->store(true);
    m_cancel = makeCancelFlag();
    m_loadPending = false;
    m_sharperPending = false;
    m_displayed = false;
    showStateNow();
    updateChrome();
}

void ZoomableImageView::toggleZoom()
{
    if (m_scale > 1.0) {
        m_scale = 1.0;
        m_offset = QPointF();
        m_lastScale = 1.0;
        m_lastOffset = QPointF();
    } else {
        // lastScale stays at 1.0: it is the pinch's own bookkeeping, and a pinch that follows
        // then continues smoothly from 2.5x instead of jumping back to about 1x.
        m_scale = doubleClickScale;
    }
    animateToState();
    loadSharperIfNeeded();
    updateChrome();
}

QEasingCurve ZoomableImageView::springCurve()
{
    return Spring::easingCurve();
}

int ZoomableImageView::springDurationMs()
{
    return Spring::durationMs(springResponse);
}

bool ZoomableImageView::isAnimating() const
{
    return m_spring->state() == QAbstractAnimation::Running;
}

bool ZoomableImageView::isBusyIndicatorShown() const
{
    return m_busy->isVisible();
}

ZoomableImageView::~ZoomableImageView()
{
    // The file is no longer shown: its decodes are given up, a busy worker killed.
    m_cancel->store(true);
}

QSize ZoomableImageView::sizeHint() const
{
    return QSize(320, 240);
}

void ZoomableImageView::startDecode(const QSize &bounds, bool sharper)
{
    (sharper ? m_sharperPending : m_loadPending) = true;
    const std::uint64_t generation = m_generation;
    const QString path = m_url.isLocalFile() ? m_url.toLocalFile() : QString();
    runInBackground(
        this,
        [path, bounds, cancel = m_cancel] {
            ImageDecoder::Result result;
            if (!path.isEmpty() && !cancel->load())
                result = ImageDecoder::decode(path, bounds, cancel);
            result.image = prepareForDrawing(std::move(result.image));
            return result;
        },
        [this, generation, sharper](ImageDecoder::Result result) {
            storeDecoded(generation, sharper, std::move(result.image), result.fullSize);
        },
        previewPriority);
}

void ZoomableImageView::storeDecoded(std::uint64_t generation, bool sharper, QImage image,
                                     QSize fullSize)
{
    if (generation != m_generation)
        return;
    if (!sharper)
        m_loadPending = false;
    if (image.isNull()) {
        // A failed sharper decode keeps its pending flag, so it is not retried on every zoom.
        if (!sharper && m_image.isNull())
            emit loadFailed();
        return;
    }
    if (sharper)
        m_sharperPending = false;
    if (!m_image.isNull() && image.width() <= m_image.width())
        return;
    m_image = std::move(image);
    m_fullSize = fullSize;
    updateChrome();
    update();
    emit imageLoaded();
    loadSharperIfNeeded();
}

void ZoomableImageView::loadSharperIfNeeded()
{
    if (m_image.isNull() || m_sharperPending || !isVisible())
        return;
    if (m_image.width() >= m_fullSize.width() && m_image.height() >= m_fullSize.height())
        return;
    const qreal ratio = devicePixelRatioF();
    const QSizeF needed = fittedRect().size() * m_scale * ratio;
    if (needed.width() <= m_image.width() * 1.05 && needed.height() <= m_image.height() * 1.05)
        return;
    // One decode that serves every zoom up to the largest, rather than one per step.
    const QSize bounds = (QSizeF(size()) * maximumScale * ratio).toSize();
    startDecode(bounds, true);
}

QSize ZoomableImageView::screenBounds() const
{
    const qreal ratio = devicePixelRatioF();
    if (width() >= 32 && height() >= 32)
        return (QSizeF(size()) * ratio).toSize();
    // Not laid out yet: decode for the screen, a later resize asks for more when needed.
    if (const QScreen *screen = this->screen() ? this->screen() : QGuiApplication::primaryScreen())
        return (QSizeF(screen->availableSize()) * ratio).toSize();
    return QSize(1024, 1024);
}

QRectF ZoomableImageView::fittedRect() const
{
    if (m_image.isNull())
        return QRectF();
    const QSizeF imageSize = m_fullSize.isEmpty() ? QSizeF(m_image.size()) : QSizeF(m_fullSize);
    // Never thinner than a pixel: a 5 x 5000 strip stays visible.
    const QSizeF fitted =
        imageSize.scaled(QSizeF(size()), Qt::KeepAspectRatio).expandedTo(QSizeF(1, 1));
    return QRectF(QPointF((width() - fitted.width()) / 2.0, (height() - fitted.height()) / 2.0),
                  fitted);
}

bool ZoomableImageView::event(QEvent *event)
{
    if (event->type() != QEvent::NativeGesture)
        return QWidget::event(event);
    const auto *gesture = static_cast<QNativeGestureEvent *>(event);
    switch (gesture->gestureType()) {
    case Qt::BeginNativeGesture:
        m_gesturePinch = Pinch();
        break;
    case Qt::ZoomNativeGesture:
        // Each event carries the change since the previous one: 0 is none, 0.1 is +10 %.
        updatePinch(m_gesturePinch, m_gesturePinch.value * (1.0 + gesture->value()));
        break;
    case Qt::EndNativeGesture:
        endPinch(m_gesturePinch);
        break;
    default:
        return QWidget::event(event);
    }
    event->accept();
    return true;
}

void ZoomableImageView::wheelEvent(QWheelEvent *event)
{
    if (!event->modifiers().testFlag(Qt::ControlModifier) || m_image.isNull()) {
        event->ignore();
        return;
    }
    const qreal notches = event->angleDelta().y() / 120.0;
    updatePinch(m_wheelPinch, m_wheelPinch.value * std::pow(wheelNotchFactor, notches));
    m_wheelPinchEnd->start();
    event->accept();
}

void ZoomableImageView::updatePinch(Pinch &pinch, qreal value)
{
    if (m_image.isNull())
        return;
    pinch.active = true;
    pinch.value = value;
    if (!pinch.recognised && std::abs(value - 1.0) < minimumPinchDelta)
        return;
    pinch.recognised = true;
    pinchChanged(value);
}

void ZoomableImageView::endPinch(Pinch &pinch)
{
    const bool recognised = pinch.active && pinch.recognised;
    pinch = Pinch();
    if (recognised)
        pinchEnded();
}

void ZoomableImageView::pinchChanged(qreal value)
{
    const qreal previous = m_lastScale;
    m_lastScale = value;
    const qreal factor = value / previous;
    qreal candidate = m_scale * factor;
    if (candidate <= minimumScale)
        candidate = minimumScale;
    if (candidate > maximumScale)
        candidate = maximumScale;
    m_scale = candidate;
    showStateNow();
    loadSharperIfNeeded();
    updateChrome();
}

void ZoomableImageView::pinchEnded()
{
    m_lastScale = 1.0;
    if (m_scale <= 1.0) {
        m_scale = 1.0;
        m_offset = QPointF();
        m_lastOffset = QPointF();
        animateToState();
    }
    updateChrome();
}

void ZoomableImageView::dragChanged(const QPointF &translation)
{
    if (m_scale <= 1.0)
        return;
    m_offset = m_lastOffset + translation;
    showStateNow();
}

void ZoomableImageView::dragEnded()
{
    m_lastOffset = m_offset;
}

void ZoomableImageView::mousePressEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton || m_image.isNull()) {
        QWidget::mousePressEvent(event);
        return;
    }
    m_mouseDown = true;
    m_dragging = false;
    m_pressPosition = event->position();
    event->accept();
}

void ZoomableImageView::mouseMoveEvent(QMouseEvent *event)
{
    if (!m_mouseDown || !event->buttons().testFlag(Qt::LeftButton)) {
        QWidget::mouseMoveEvent(event);
        return;
    }
    const QPointF translation = event->position() - m_pressPosition;
    if (!m_dragging && std::hypot(translation.x(), translation.y()) >= dragThreshold) {
        m_dragging = true;
        updateChrome();
    }
    if (m_dragging)
        dragChanged(translation);
    event->accept();
}

void ZoomableImageView::mouseReleaseEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton || !m_mouseDown) {
        QWidget::mouseReleaseEvent(event);
        return;
    }
    const bool wasDragging = m_dragging;
    m_mouseDown = false;
    m_dragging = false;
    if (wasDragging)
        dragEnded();
    updateChrome();
    event->accept();
}

void ZoomableImageView::mouseDoubleClickEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton || m_image.isNull()) {
        QWidget::mouseDoubleClickEvent(event);
        return;
    }
    toggleZoom();
    event->accept();
}

void ZoomableImageView::showStateNow()
{
    m_spring->stop();
    m_shownScale = m_scale;
    m_shownOffset = m_offset;
    update();
}

void ZoomableImageView::animateToState()
{
    m_spring->stop();
    m_springFromScale = m_shownScale;
    m_springFromOffset = m_shownOffset;
    m_spring->start();
}

void ZoomableImageView::updateChrome()
{
    m_busy->setVisible(m_image.isNull());
    m_busy->move((width() - m_busy->width()) / 2, (height() - m_busy->height()) / 2);
    if (m_dragging)
        setCursor(Qt::ClosedHandCursor);
    else if (!m_image.isNull() && m_scale > 1.0)
        setCursor(Qt::OpenHandCursor);
    else
        unsetCursor();
}

void ZoomableImageView::paintEvent(QPaintEvent *)
{
    if (m_image.isNull())
        return;
    QPainter painter(this);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.setClipRect(rect());
    const QRectF fitted = fittedRect();
    QRectF target(QPointF(), fitted.size() * m_shownScale);
    target.moveCenter(fitted.center() + m_shownOffset);
    painter.drawImage(target, m_image);
    if (!m_displayed) {
        m_displayed = true;
        // Told after this paint has reached the backing store.
        QMetaObject::invokeMethod(this, &ZoomableImageView::imageDisplayed, Qt::QueuedConnection);
    }
}

void ZoomableImageView::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    updateChrome();
    loadSharperIfNeeded();
}

void ZoomableImageView::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    if (m_image.isNull() && !m_loadPending)
        loadImage();
    else
        loadSharperIfNeeded();
}
