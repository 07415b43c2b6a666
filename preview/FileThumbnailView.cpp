// SPDX-License-Identifier: GPL-3.0-or-later
#include "FileThumbnailView.h"

#include "FileKinds.h"
#include "MirelIcons.h"
#include "RunInBackground.h"

#include <QGuiApplication>
#include <QPainter>
#include <QScreen>

namespace {

// The row's icon size: about a title's text height.
constexpr int symbolSize = 22;

} // namespace

FileThumbnailView::FileThumbnailView(const QUrl &url, QWidget *parent)
    : QWidget(parent)
    , m_url(url)
    , m_symbolName(iconName(url))
    , m_source(ThumbnailSource::systemDefault())
    , m_cancel(makeCancelFlag())
{}

FileThumbnailView::~FileThumbnailView()
{
    // The row is gone: a thumbnail still on its way is dropped, its worker freed for the others.
    m_cancel->store(true);
}

void FileThumbnailView::setThumbnailSource(std::shared_ptr<ThumbnailSource> source)
{
    m_source = std::move(source);
}

qreal FileThumbnailView::screenScale()
{
    const QScreen *screen = QGuiApplication::primaryScreen();
    return screen ? screen->devicePixelRatio() : 2.0;
}

void FileThumbnailView::loadThumbnail()
{
    // The screen is a GUI object, read here on the main thread; the request carries it.
    const ThumbnailRequest request{m_url.toLocalFile(), requestedPointSize(), screenScale(),
                                   m_cancel};
    if (request.path.isEmpty() || !m_source)
        return;
    runInBackground(
        this, [source = m_source, request] { return source->thumbnail(request); },
        [this](const QImage &thumbnail) { store(thumbnail); });
}

void FileThumbnailView::store(const QImage &thumbnail)
{
    // No thumbnail keeps whatever is shown: the kind icon, or an earlier thumbnail.
    if (!thumbnail.isNull()) {
        m_thumbnail = thumbnail;
        update();
        emit thumbnailChanged();
    }
    emit requestFinished();
}

void FileThumbnailView::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    loadThumbnail();
}

void FileThumbnailView::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    if (m_thumbnail.isNull()) {
        const int side = qMin(symbolSize, qMin(width(), height()));
        const QPixmap symbol = MirelIcons::pixmap(
            m_symbolName, side, palette().color(QPalette::PlaceholderText), devicePixelRatioF());
        painter.drawPixmap(QPoint((width() - side) / 2, (height() - side) / 2), symbol);
        return;
    }
    // Aspect fill: scaled until it covers the frame, proportions kept, centred.
    const QSizeF covering =
        QSizeF(m_thumbnail.size()).scaled(size(), Qt::KeepAspectRatioByExpanding);
    const QRectF target(
        QPointF((width() - covering.width()) / 2, (height() - covering.height()) / 2), covering);
    // Filled as a textured shape rather than clipped: clipping is not antialiased, and a mask
    // has the jagged edges of logical pixels on a dense screen.
    QBrush texture(m_thumbnail);
    texture.setTransform(
        QTransform::fromTranslate(target.x(), target.y())
            .scale(target.width() / m_thumbnail.width(), target.height() / m_thumbnail.height()));
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(texture);
    painter.drawRoundedRect(QRectF(rect()), m_cornerRadius, m_cornerRadius);
}
