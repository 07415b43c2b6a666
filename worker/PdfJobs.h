// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QImage>
#include <QList>
#include <QSize>
#include <QSizeF>

// PDF documents read from an open descriptor with Qt PDF, inside the preview process. The last
// document stays open, so the pages of the one on screen are rendered without reading it again.
// Qt PDF and what it brings (Qt Network, Kerberos, OpenJPEG) added some 2 ms to every process's
// start, so they live in a module (mirel-pdf.so, PdfRenderer.cpp) loaded on the first PDF.
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

// The module's entry point, looked up by this name: the three functions above.
struct Functions
{
    Pages (*pageSizes)(int descriptor, int budgetMs);
    QImage (*renderPage)(int descriptor, int page, const QSize &size, QSizeF *pointSize);
    QImage (*thumbnail)(int descriptor, const QSize &bounds);
};
using EntryFunction = const Functions *(*)();
inline constexpr char entrySymbol[] = "mirelPdfFunctions";
inline constexpr char moduleName[] = "mirel-pdf.so";

} // namespace PdfJobs
