// SPDX-License-Identifier: GPL-3.0-or-later
#include "ImagePreview.h"

#include "ImageDecoder.h"
#include "PreviewPriority.h"
#include "RunInBackground.h"

#include <QFile>
#include <QImageReader>
#include <QPainter>

namespace {

// Large enough to stay sharp in the preview area on a high-density screen, small
// enough that a huge TIFF does not hold hundreds of megabytes.
constexpr QSize decodeBounds(2048, 2048);

bool isScalableFormat(const QByteArray &format)
{
    return format == "svg" || format == "svgz";
}

} // namespace

ImagePreview::ImagePreview(PreviewFilePtr file, QWidget *parent)
    : QWidget(parent)
{
    runInBackground(
        this, [file = std::move(file)] { return decode(*file); },
        [this](const Decoded &decoded) { present(decoded); }, previewPriority);
}

ImagePreview::Decoded ImagePreview::decode(const PreviewFile &file)
{
    const std::unique_ptr<QFile> device = file.device();
    if (!device || file.size() > ImageDecoder::maxEncodedBytes)
        return {};
    QImageReader reader(device.get());
    reader.setAllocationLimit(ImageDecoder::maxDecodedMegabytes);
    if (!isScalableFormat(reader.format()))
        return {ImageDecoder::decode(file, decodeBounds).image, false};
    // Drawings are rendered at a size that fills the area instead of their nominal
    // size, which is often that of a small icon.
    const QSize nominal = reader.size().isValid() ? reader.size() : QSize(512, 512);
    reader.setScaledSize(nominal.scaled(QSize(1024, 1024), Qt::KeepAspectRatio));
    return {reader.read(), true};
}

void ImagePreview::present(const Decoded &decoded)
{
    if (decoded.image.isNull()) {
        emit failed();
        return;
    }
    m_scalable = decoded.scalable;
    m_image = decoded.image;
    m_scaled = QPixmap();
    update();
    emit loaded();
}

void ImagePreview::paintEvent(QPaintEvent *)
{
    if (m_image.isNull())
        return;
    const qreal dpr = devicePixelRatioF();
    // Bitmaps are never blown up beyond their own pixels; drawings fill the space.
    QSize logical = m_image.size();
    if (!m_scalable)
        logical = (QSizeF(m_image.size()) / dpr).toSize();
    if (m_scalable || logical.width() > width() || logical.height() > height())
        logical = logical.scaled(size(), Qt::KeepAspectRatio);
    logical = logical.expandedTo(QSize(1, 1));

    const QSize device = (QSizeF(logical) * dpr).toSize();
    if (m_scaled.size() != device) {
        m_scaled = QPixmap::fromImage(
            m_image.scaled(device, Qt::IgnoreAspectRatio, Qt::SmoothTransformation));
        m_scaled.setDevicePixelRatio(dpr);
    }
    QPainter painter(this);
    const QPoint topLeft((width() - logical.width()) / 2, (height() - logical.height()) / 2);
    painter.drawPixmap(topLeft, m_scaled);
}
