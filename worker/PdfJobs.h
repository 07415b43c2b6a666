// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QImage>
#include <QList>
#include <QSize>
#include <QSizeF>

// PDF documents read from an open descriptor with Qt PDF, inside the preview process. The last
// document stays open, so the pages of the one on screen are rendered without reading it again.
namespace PdfJobs {

// The size of every page in points; empty when the file is not a PDF we can read.
QList<QSizeF> pageSizes(int descriptor);

// Page `page` rendered to exactly `size` pixels on white paper; null on failure.
QImage renderPage(int descriptor, int page, const QSize &size);

// The first page fitted within `bounds`, on white paper; null on failure.
QImage thumbnail(int descriptor, const QSize &bounds);

} // namespace PdfJobs
