// SPDX-License-Identifier: GPL-3.0-or-later
#include "PdfJobs.h"

#include "WorkerModules.h"

namespace PdfJobs {

namespace {

// Loaded once, on the first PDF, and kept for the life of the process.
const Functions *module()
{
    static const Functions *const functions = [] {
        const auto entry =
            reinterpret_cast<EntryFunction>(WorkerModules::symbol(moduleName, entrySymbol));
        return entry ? entry() : nullptr;
    }();
    return functions;
}

} // namespace

Pages pageSizes(int descriptor, int budgetMs)
{
    const Functions *pdf = module();
    return pdf ? pdf->pageSizes(descriptor, budgetMs) : Pages();
}

QImage renderPage(int descriptor, int page, const QSize &size, QSizeF *pointSize)
{
    const Functions *pdf = module();
    return pdf ? pdf->renderPage(descriptor, page, size, pointSize) : QImage();
}

QImage thumbnail(int descriptor, const QSize &bounds)
{
    const Functions *pdf = module();
    return pdf ? pdf->thumbnail(descriptor, bounds) : QImage();
}

} // namespace PdfJobs
