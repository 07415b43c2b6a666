// SPDX-License-Identifier: GPL-3.0-or-later
#include "ImagePreview.h"

#include "ImageDecoder.h"
#include "PreviewPriority.h"
#include "RunInBackground.h"

#include <QPainter>

namespace {

// Large enough to stay sharp in the preview area on a high-density screen, small
// enough that a huge TIFF does not hold hundreds of megabytes.
constexpr QSize decodeBounds(2048, 2048);

constexpr QSize drawingBounds(1024, 1024);

} // namespace

ImagePreview::ImagePreview(PreviewFilePtr file, QWidget *parent)
    : QWidget(parent)
    , m_cancel(makeCancelFlag())
{
    runInBackground(
        this, [file = std::move(file), cancel = m_cancel] { return decode(*file, cancel); },
        [this](const Decoded &decoded) { present(decoded); }, previewPriority);
}

ImagePreview::ImagePreview(Maker make, QWidget *parent)
    : QWidget(parent)
    , m_cancel(makeCancelFlag())
{
    setAccessibleName(tr("Preview picture"));
    runInBackground(
        this,
        [make = std::move(make), cancel = m_cancel] {
            return Decoded{cancel->load() ? QImage() : make(cancel), false};
        },
        [this](const Decoded &decoded) { present(decoded); }, previewPriority);
}

ImagePreview::~ImagePreview()
{
    // Off screen: a decode still on its way is not worth finishing.
    m_cancel->store(true);
}

ImagePreview::Decoded ImagePreview::decode(const PreviewFile &file, const CancelFlag &cancel)
{
    if (cancel->load())
        return {};
    // Drawings are rendered at a size that fills the area instead of their nominal size, which
    // is often that of a small icon.
    const ImageDecoder::Result result = ImageDecoder::decode(
        file, decodeBounds, cancel, PreviewWorker::Lane::Preview, drawingBounds);
    return {result.image, result.scalable};
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
