// SPDX-License-Identifier: GPL-3.0-or-later
#include "VideoFrameView.h"

#include <QPainter>
#include <QVideoSink>

#include <algorithm>

namespace {

struct YuvMatrix
{
    int luma, rv, gu, gv, bu; // fixed point, 8 fractional bits
    int offset;               // the black level of Y
};

YuvMatrix matrixFor(const QVideoFrameFormat &format)
{
    const bool full = format.colorRange() == QVideoFrameFormat::ColorRange_Full;
    bool bt709 = format.colorSpace() == QVideoFrameFormat::ColorSpace_BT709 ||
                 format.colorSpace() == QVideoFrameFormat::ColorSpace_BT2020;
    if (format.colorSpace() == QVideoFrameFormat::ColorSpace_Undefined)
        bt709 = format.frameHeight() >= 720; // what players assume for HD without a tag
    if (full)
        return bt709 ? YuvMatrix{256, 403, -48, -120, 475, 0}
                     : YuvMatrix{256, 359, -88, -183, 454, 0};
    return bt709 ? YuvMatrix{298, 459, -55, -136, 541, 16}
                 : YuvMatrix{298, 409, -100, -208, 516, 16};
}

inline uchar clamped(int value)
{
    return uchar(std::clamp(value >> 8, 0, 255));
}

// Planar or semi-planar 4:2:0, sampled at the target's pixels only.
QImage fromYuv420(const QVideoFrame &frame, const QSize &target)
{
    const QVideoFrameFormat::PixelFormat format = frame.pixelFormat();
    const bool semiPlanar =
        format == QVideoFrameFormat::Format_NV12 || format == QVideoFrameFormat::Format_NV21;
    const uchar *y = frame.bits(0);
    const uchar *u = frame.bits(1);
    const uchar *v = semiPlanar ? frame.bits(1) + 1 : frame.bits(2);
    if (format == QVideoFrameFormat::Format_YV12 || format == QVideoFrameFormat::Format_NV21)
        std::swap(u, v);
    if (!y || !u || !v)
        return QImage();
    const int yStride = frame.bytesPerLine(0);
    const int uvStride = frame.bytesPerLine(1);
    const int vStride = semiPlanar ? uvStride : frame.bytesPerLine(2);
    const int step = semiPlanar ? 2 : 1;
    const YuvMatrix m = matrixFor(frame.surfaceFormat());
    const int width = frame.width();
    const int height = frame.height();

    QImage image(target, QImage::Format_RGB32);
    if (image.isNull())
        return image;
    for (int ty = 0; ty < target.height(); ++ty) {
        const int sy = int(qint64(ty) * height / target.height());
        auto *line = reinterpret_cast<QRgb *>(image.scanLine(ty));
        const uchar *yLine = y + qsizetype(sy) * yStride;
        const uchar *uLine = u + qsizetype(sy / 2) * uvStride;
        const uchar *vLine = v + qsizetype(sy / 2) * vStride;
        for (int tx = 0; tx < target.width(); ++tx) {
            const int sx = int(qint64(tx) * width / target.width());
            const int c = (yLine[sx] - m.offset) * m.luma;
            const int d = uLine[(sx / 2) * step] - 128;
            const int e = vLine[(sx / 2) * step] - 128;
            line[tx] = qRgb(clamped(c + m.rv * e + 128), clamped(c + m.gu * d + m.gv * e + 128),
                            clamped(c + m.bu * d + 128));
        }
    }
    return image;
}

} // namespace

VideoFrameView::VideoFrameView(QWidget *parent)
    : QWidget(parent)
    , m_sink(new QVideoSink(this))
    , m_handover(std::make_shared<Handover>())
{
    setAttribute(Qt::WA_OpaquePaintEvent);
    m_handover->view = this;
    // Frames arrive on the playback thread: only the newest is kept, and the main thread takes
    // it when it gets to it, so a slow paint never piles frames up.
    connect(
        m_sink, &QVideoSink::videoFrameChanged, this,
        [handover = m_handover](const QVideoFrame &frame) {
            const QMutexLocker lock(&handover->mutex);
            if (!handover->view)
                return;
            handover->pending = frame;
            if (!handover->takePosted) {
                handover->takePosted = true;
                // Posted while the view is known to live; its destruction drops the event.
                QMetaObject::invokeMethod(handover->view, &VideoFrameView::takeFrame,
                                          Qt::QueuedConnection);
            }
        },
        Qt::DirectConnection);
}

VideoFrameView::~VideoFrameView()
{
    disconnect(m_sink, nullptr, this, nullptr);
    // A frame being handed over right now finishes first; any later one finds no view.
    const QMutexLocker lock(&m_handover->mutex);
    m_handover->view = nullptr;
    m_handover->pending = QVideoFrame();
}

QImage VideoFrameView::toImage(const QVideoFrame &source, const QSize &bounds)
{
    QVideoFrame frame = source;
    if (!frame.isValid() || !frame.map(QVideoFrame::ReadOnly))
        return QImage();
    QSize target = frame.size();
    if (!bounds.isEmpty() && (target.width() > bounds.width() || target.height() > bounds.height()))
        target = target.scaled(bounds, Qt::KeepAspectRatio).expandedTo(QSize(1, 1));

    QImage image;
    switch (frame.pixelFormat()) {
    case QVideoFrameFormat::Format_YUV420P:
    case QVideoFrameFormat::Format_YV12:
    case QVideoFrameFormat::Format_NV12:
    case QVideoFrameFormat::Format_NV21:
        image = fromYuv420(frame, target);
        break;
    default: {
        const QImage::Format format =
            QVideoFrameFormat::imageFormatFromPixelFormat(frame.pixelFormat());
        if (format != QImage::Format_Invalid) {
            const QImage wrapped(frame.bits(0), frame.width(), frame.height(),
                                 frame.bytesPerLine(0), format);
            image = wrapped.scaled(target, Qt::IgnoreAspectRatio, Qt::FastTransformation)
                        .convertToFormat(QImage::Format_RGB32);
        }
        break;
    }
    }
    frame.unmap();
    if (!image.isNull() &&
        frame.surfaceFormat().scanLineDirection() == QVideoFrameFormat::BottomToTop)
        image.mirror(false, true);
    return image;
}

void VideoFrameView::takeFrame()
{
    QVideoFrame frame;
    {
        const QMutexLocker lock(&m_handover->mutex);
        frame = std::exchange(m_handover->pending, QVideoFrame());
        m_handover->takePosted = false;
    }
    const QImage image = toImage(frame, (QSizeF(size()) * devicePixelRatioF()).toSize());
    if (image.isNull())
        return;
    m_image = image;
    m_image.setDevicePixelRatio(devicePixelRatioF());
    update();
    emit frameShown();
}

void VideoFrameView::setStill(const QImage &still)
{
    m_still = still;
    if (m_image.isNull()) {
        update();
        emit stillShown();
    }
}

void VideoFrameView::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.fillRect(rect(), Qt::black);
    if (m_image.isNull() && !m_still.isNull()) {
        // Fitted to the view: a cached thumbnail may be smaller than the view, a still from the
        // preview process is made at its size.
        const QSizeF shown = QSizeF(m_still.size()).scaled(QSizeF(size()), Qt::KeepAspectRatio);
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
        painter.drawImage(
            QRectF(QPointF((width() - shown.width()) / 2, (height() - shown.height()) / 2), shown),
            m_still);
        return;
    }
    if (m_image.isNull())
        return;
    const QSizeF shown = QSizeF(m_image.size()) / m_image.devicePixelRatio();
    painter.drawImage(QPointF((width() - shown.width()) / 2, (height() - shown.height()) / 2),
                      m_image);
}
