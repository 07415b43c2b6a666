// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "PreviewFile.h"
#include "PreviewWorker.h"

#include <QAbstractScrollArea>
#include <QHash>
#include <QImage>
#include <QList>
#include <QSizeF>

#include <vector>

// The pages of a PDF one below the other, fitted to the width and scrollable; Ctrl + wheel or a
// pinch zooms between 1x and 5x. The preview process reads the document and renders each page
// at the size it has on screen, only once the page scrolls into view, one page at a time; the
// GUI thread only lays out rectangles and draws finished pictures, so a document of any length
// or weight never holds the panel. A document the process cannot open, or a page that takes the
// process down, reports failed() (the information card takes the place of the preview).
class PdfPreview final : public QAbstractScrollArea
{
    Q_OBJECT

public:
    explicit PdfPreview(PreviewFilePtr file, QWidget *parent = nullptr);
    ~PdfPreview() override;

    bool isLoaded() const { return !m_pageSizes.isEmpty(); }
    int pageCount() const { return int(m_pageSizes.size()); }
    // The size of page `page` in points, as the document gives it.
    QSizeF pagePointSize(int page) const { return m_pageSizes.value(page); }

    qreal zoom() const { return m_zoom; }
    void setZoom(qreal zoom);
    // Where page `page` lies in the scrolled content, in pixels.
    QRectF pageRect(int page) const;
    // The picture of `page` held now (null until it has been rendered), and how many are held.
    QImage renderedPage(int page) const { return m_rendered.value(page).image; }
    int renderedPageCount() const { return int(m_rendered.size()); }

    static constexpr qreal minimumZoom = 1.0;
    static constexpr qreal maximumZoom = 5.0;

signals:
    void loaded();
    void failed();
    // A page's picture arrived and is on screen.
    void pageRendered(int page);

protected:
    bool event(QEvent *event) override;
    bool viewportEvent(QEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void scrollContentsBy(int dx, int dy) override;
    void wheelEvent(QWheelEvent *event) override;

private:
    struct Rendered
    {
        QImage image;
        QSize pixelSize; // what it was rendered for; a zoom asks for a sharper one
        bool failed = false;
    };

    void present(const PreviewWorker::Result &opened);
    void layoutPages();
    void relayoutKeepingView(bool widthChanges);
    void zoomAbout(qreal zoom, const QPointF &anchor);
    std::pair<int, int> visiblePages() const;
    QSize pixelSizeFor(int page) const;
    void scheduleRendering();
    void renderNext();
    void storePage(int page, QSize size, const PreviewWorker::Result &result);
    void dropDistantPages(int first, int last);

    PreviewFilePtr m_file;
    CancelFlag m_cancel;
    QList<QSizeF> m_pageSizes;
    std::vector<double> m_tops; // the top of each page in the content, in pixels
    double m_widestPage = 1;    // points
    double m_pixelsPerPoint = 1;
    double m_contentHeight = 0;
    double m_contentWidth = 0;
    qreal m_zoom = 1.0;
    QHash<int, Rendered> m_rendered;
    int m_inFlight = -1;
    bool m_renderScheduled = false;
    bool m_failed = false;
};
