// SPDX-License-Identifier: GPL-3.0-or-later
#include "PdfPreview.h"

#include "FileNames.h"
#include "PreviewPriority.h"
#include "RunInBackground.h"

#include <QNativeGestureEvent>
#include <QPainter>
#include <QScrollBar>
#include <QTimer>
#include <QWheelEvent>

#include <algorithm>
#include <climits>
#include <cmath>

namespace {

constexpr int margin = 8;  // around the pages
constexpr int spacing = 8; // between two pages
// Pictures of pages far from the view are let go beyond this many bytes.
constexpr qint64 keptPageBytes = 48ll * 1024 * 1024;
// A page is never rendered larger than this many pixels, whatever the zoom.
constexpr qint64 maxPagePixels = 6000ll * 6000;

} // namespace

PdfPreview::PdfPreview(PreviewFilePtr file, QWidget *parent)
    : QAbstractScrollArea(parent)
    , m_file(std::move(file))
    , m_cancel(makeCancelFlag())
{
    setFrameShape(QFrame::NoFrame);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    viewport()->setAttribute(Qt::WA_OpaquePaintEvent);
    WorkerProtocol::Request request;
    request.job = WorkerProtocol::Job::PdfOpen;
    runInBackground(
        this,
        [file = m_file, cancel = m_cancel, request] {
            return PreviewWorker::run(*file, request, PreviewWorker::Lane::Preview, cancel);
        },
        [this](const PreviewWorker::Result &opened) { present(opened); }, previewPriority);
}

PdfPreview::~PdfPreview()
{
    // No longer shown: the page on its way is given up and its worker freed.
    m_cancel->store(true);
}

void PdfPreview::present(const PreviewWorker::Result &opened)
{
    if (opened.status != PreviewWorker::Status::Done || opened.pageSizes.isEmpty() ||
        opened.pageCount < opened.pageSizes.size()) {
        m_failed = true;
        emit failed();
        return;
    }
    m_pageSizes = opened.pageSizes;
    // The pages not read yet take the first one's size until they are rendered.
    m_pageSizes.resize(opened.pageCount, opened.pageSizes.first());
    m_widestPage = 1;
    for (const QSizeF &size : std::as_const(m_pageSizes))
        m_widestPage = std::max(m_widestPage, size.width());
    layoutPages();
    viewport()->update();
    // Screen readers (and the end-to-end checks) learn that the pages are there.
    setAccessibleName(tr("Pages of %1").arg(FileNames::fileName(m_file->path())));
    emit loaded();
}

void PdfPreview::layoutPages()
{
    if (m_pageSizes.isEmpty())
        return;
    const double available = std::max(16, viewport()->width() - 2 * margin);
    m_pixelsPerPoint = available / m_widestPage * m_zoom;
    m_tops.resize(std::size_t(m_pageSizes.size()));
    double top = margin;
    for (qsizetype page = 0; page < m_pageSizes.size(); ++page) {
        m_tops[std::size_t(page)] = top;
        top += std::max(1.0, m_pageSizes[page].height() * m_pixelsPerPoint) + spacing;
    }
    m_contentHeight = top - spacing + margin;
    m_contentWidth = m_widestPage * m_pixelsPerPoint + 2 * margin;
    const auto range = [](double content, int view) {
        return int(std::clamp(std::ceil(content) - view, 0.0, double(INT_MAX / 2)));
    };
    verticalScrollBar()->setRange(0, range(m_contentHeight, viewport()->height()));
    verticalScrollBar()->setPageStep(viewport()->height());
    verticalScrollBar()->setSingleStep(40);
    horizontalScrollBar()->setRange(0, range(m_contentWidth, viewport()->width()));
    horizontalScrollBar()->setPageStep(viewport()->width());
}

QRectF PdfPreview::pageRect(int page) const
{
    if (page < 0 || page >= pageCount() || m_tops.empty())
        return QRectF();
    const QSizeF size = m_pageSizes[page] * m_pixelsPerPoint;
    const double content = std::max(m_contentWidth, double(viewport()->width()));
    return QRectF((content - size.width()) / 2, m_tops[std::size_t(page)],
                  std::max(1.0, size.width()), std::max(1.0, size.height()));
}

std::pair<int, int> PdfPreview::visiblePages() const
{
    if (m_tops.empty())
        return {0, -1};
    const double top = verticalScrollBar()->value();
    const double bottom = top + viewport()->height();
    // The first page whose bottom is below the view's top: found by halving, never by a walk
    // over every page of a long document.
    auto first = std::upper_bound(m_tops.begin(), m_tops.end(), top);
    if (first != m_tops.begin())
        --first;
    int page = int(first - m_tops.begin());
    if (pageRect(page).bottom() < top && page + 1 < pageCount())
        ++page;
    int last = page;
    while (last + 1 < pageCount() && m_tops[std::size_t(last + 1)] < bottom)
        ++last;
    return {page, last};
}

QSize PdfPreview::pixelSizeFor(int page) const
{
    QSizeF size = pageRect(page).size() * devicePixelRatioF();
    const double area = size.width() * size.height();
    if (area > double(maxPagePixels))
        size *= std::sqrt(double(maxPagePixels) / area);
    return size.toSize().expandedTo(QSize(1, 1));
}

void PdfPreview::paintEvent(QPaintEvent *)
{
    QPainter painter(viewport());
    painter.fillRect(viewport()->rect(), palette().color(QPalette::Window));
    const auto [first, last] = visiblePages();
    painter.translate(-horizontalScrollBar()->value(), -verticalScrollBar()->value());
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    for (int page = first; page <= last; ++page) {
        const QRectF area = pageRect(page);
        painter.fillRect(area.translated(1, 1), palette().color(QPalette::Mid));
        const auto rendered = m_rendered.constFind(page);
        if (rendered != m_rendered.constEnd() && !rendered->image.isNull())
            painter.drawImage(area, rendered->image);
        else
            painter.fillRect(area, Qt::white);
    }
    painter.end();
    scheduleRendering();
}

void PdfPreview::scheduleRendering()
{
    if (m_renderScheduled || m_inFlight >= 0 || m_failed || !isLoaded())
        return;
    m_renderScheduled = true;
    QTimer::singleShot(0, this, [this] {
        m_renderScheduled = false;
        renderNext();
    });
}

void PdfPreview::renderNext()
{
    if (m_inFlight >= 0 || m_failed || !isLoaded() || !isVisible())
        return;
    const auto [first, last] = visiblePages();
    dropDistantPages(first, last);
    for (int page = first; page <= last; ++page) {
        const QSize wanted = pixelSizeFor(page);
        const auto held = m_rendered.constFind(page);
        if (held != m_rendered.constEnd() && (held->failed || held->pixelSize == wanted))
            continue;
        m_inFlight = page;
        WorkerProtocol::Request request;
        request.job = WorkerProtocol::Job::PdfPage;
        request.page = page;
        request.width = std::min(wanted.width(), WorkerProtocol::maxSide);
        request.height = std::min(wanted.height(), WorkerProtocol::maxSide);
        runInBackground(
            this,
            [file = m_file, cancel = m_cancel, request] {
                return PreviewWorker::run(*file, request, PreviewWorker::Lane::Preview, cancel);
            },
            [this, page, wanted](const PreviewWorker::Result &result) {
                storePage(page, wanted, result);
            },
            previewPriority);
        return;
    }
}

void PdfPreview::storePage(int page, QSize size, const PreviewWorker::Result &result)
{
    m_inFlight = -1;
    if (result.status == PreviewWorker::Status::WorkerLost ||
        result.status == PreviewWorker::Status::Unavailable) {
        // The page took the worker down (memory, time) or there is none: this file gets the
        // information card, and no more of its pages are asked for.
        m_failed = true;
        emit failed();
        return;
    }
    if (result.status == PreviewWorker::Status::Done && page < pageCount()) {
        const QSizeF points = result.pageSize;
        const QSizeF assumed = m_pageSizes[page];
        if (qAbs(points.width() - assumed.width()) > 0.5 ||
            qAbs(points.height() - assumed.height()) > 0.5) {
            // A page of another size than the one it stood in for: the layout moves, the
            // page at the top of the view stays there, and the page is rendered again.
            m_pageSizes[page] = points;
            const bool wider = points.width() > m_widestPage;
            m_widestPage = std::max(m_widestPage, points.width());
            relayoutKeepingView(wider);
            viewport()->update();
            return;
        }
    }
    Rendered &rendered = m_rendered[page];
    rendered.pixelSize = size;
    if (result.status == PreviewWorker::Status::Done) {
        rendered.image = result.image;
        rendered.image.setDevicePixelRatio(devicePixelRatioF());
    } else if (rendered.image.isNull()) {
        rendered.failed = true;
    }
    viewport()->update();
    emit pageRendered(page);
}

void PdfPreview::dropDistantPages(int first, int last)
{
    qint64 bytes = 0;
    for (const Rendered &rendered : std::as_const(m_rendered))
        bytes += rendered.image.sizeInBytes();
    if (bytes <= keptPageBytes)
        return;
    // The pages farthest from the view go first.
    QList<int> pages = m_rendered.keys();
    const auto distance = [first, last](int page) {
        return page < first ? first - page : page > last ? page - last : 0;
    };
    std::sort(pages.begin(), pages.end(), [&](int a, int b) { return distance(a) > distance(b); });
    for (int page : std::as_const(pages)) {
        if (bytes <= keptPageBytes || distance(page) == 0)
            break;
        bytes -= m_rendered.value(page).image.sizeInBytes();
        m_rendered.remove(page);
    }
}

void PdfPreview::relayoutKeepingView(bool widthChanges)
{
    const auto [first, last] = visiblePages();
    Q_UNUSED(last);
    const double top = verticalScrollBar()->value();
    const double into =
        first < pageCount() && !m_tops.empty() ? top - m_tops[std::size_t(first)] : 0;
    const double before = m_pixelsPerPoint;
    layoutPages();
    if (!m_tops.empty() && first < pageCount())
        verticalScrollBar()->setValue(int(m_tops[std::size_t(first)] +
                                          into * (widthChanges ? m_pixelsPerPoint / before : 1)));
}

void PdfPreview::resizeEvent(QResizeEvent *event)
{
    QAbstractScrollArea::resizeEvent(event);
    // The same place of the document stays at the top.
    const double fraction =
        m_contentHeight > 0 ? verticalScrollBar()->value() / m_contentHeight : 0.0;
    layoutPages();
    verticalScrollBar()->setValue(int(fraction * m_contentHeight));
}

void PdfPreview::scrollContentsBy(int, int)
{
    viewport()->update();
}

void PdfPreview::setZoom(qreal zoom)
{
    zoomAbout(zoom, QPointF(viewport()->width() / 2.0, viewport()->height() / 2.0));
}

void PdfPreview::zoomAbout(qreal zoom, const QPointF &anchor)
{
    zoom = std::clamp(zoom, minimumZoom, maximumZoom);
    if (qFuzzyCompare(zoom, m_zoom) || !isLoaded()) {
        m_zoom = isLoaded() ? m_zoom : zoom;
        return;
    }
    // The point of the document under the anchor stays under it.
    const QPointF content(horizontalScrollBar()->value() + anchor.x(),
                          verticalScrollBar()->value() + anchor.y());
    const double ratio = zoom / m_zoom;
    m_zoom = zoom;
    layoutPages();
    horizontalScrollBar()->setValue(int(content.x() * ratio - anchor.x()));
    verticalScrollBar()->setValue(int(content.y() * ratio - anchor.y()));
    viewport()->update();
}

void PdfPreview::wheelEvent(QWheelEvent *event)
{
    if (event->modifiers().testFlag(Qt::ControlModifier)) {
        const double steps = event->angleDelta().y() / 120.0;
        zoomAbout(m_zoom * std::pow(1.25, steps), event->position());
        event->accept();
        return;
    }
    QAbstractScrollArea::wheelEvent(event);
}

bool PdfPreview::viewportEvent(QEvent *event)
{
    if (event->type() == QEvent::NativeGesture) {
        auto *gesture = static_cast<QNativeGestureEvent *>(event);
        if (gesture->gestureType() == Qt::ZoomNativeGesture) {
            zoomAbout(m_zoom * (1.0 + gesture->value()), gesture->position());
            return true;
        }
    }
    return QAbstractScrollArea::viewportEvent(event);
}

bool PdfPreview::event(QEvent *event)
{
    const bool handled = QAbstractScrollArea::event(event);
    // Shown again (the panel reopened): what is in view may still need its pages.
    if (event->type() == QEvent::Show)
        scheduleRendering();
    return handled;
}
