// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QImage>
#include <QList>
#include <QSize>
#include <QSizeF>

// PDF documents read from an open descriptor with Qt PDF, inside the preview process. The last
// document stays open, so the pages of the one on screen are rendered without reading it again.
namespace PdfJobs {

struct Pages
{
    int count = 0;       // 0: not a PDF we can read
    QList<QSizeF> sizes; // of the first pages, in points
};

// The number of pages, and the sizes of as many of the first ones as Qt PDF reads within
// `budgetMs` (it reads each page's dictionary for its size: seconds for a long document).
Pages pageSizes(int descriptor, int budgetMs);

// Page `page` rendered to exactly `size` pixels on white paper (null on failure), and the page's
// size in points.
QImage renderPage(int descriptor, int page, const QSize &size, QSizeF *pointSize);

// The first page fitted within `bounds`, on white paper; null on failure.
QImage thumbnail(int descriptor, const QSize &bounds);

} // namespace PdfJobs
