// SPDX-License-Identifier: GPL-3.0-or-later
// The PDF module (mirel-pdf.so): Qt PDF, loaded by the preview process on its first PDF.
#include "PdfJobs.h"

#include <QElapsedTimer>
#include <QFile>
#include <QPainter>
#include <QPdfDocument>
#include <QScopeGuard>

#include <memory>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

struct Open
{
    dev_t device = 0;
    ino_t inode = 0;
    off_t size = 0;
    timespec modified = {};
    // Declared before the document, which reads from it until it goes.
    std::unique_ptr<QFile> file;
    std::unique_ptr<QPdfDocument> document;

    bool isSame(const struct stat &other) const
    {
        return document && device == other.st_dev && inode == other.st_ino &&
               size == other.st_size && modified.tv_sec == other.st_mtim.tv_sec &&
               modified.tv_nsec == other.st_mtim.tv_nsec;
    }
};

Open &lastDocument()
{
    static Open open;
    return open;
}

QPdfDocument *documentFor(int descriptor)
{
    struct stat attributes = {};
    if (::fstat(descriptor, &attributes) != 0 || !S_ISREG(attributes.st_mode) ||
        attributes.st_size == 0)
        return nullptr;
    Open &open = lastDocument();
    if (open.isSame(attributes))
        return open.document.get();
    open.document.reset();
    open.file.reset();
    // A descriptor of its own: the request's one is closed once the reply is sent.
    const int kept = ::fcntl(descriptor, F_DUPFD_CLOEXEC, 0);
    if (kept < 0)
        return nullptr;
    auto file = std::make_unique<QFile>();
    if (!file->open(kept, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(kept);
        return nullptr;
    }
    auto document = std::make_unique<QPdfDocument>();
    document->load(file.get());
    if (document->status() != QPdfDocument::Status::Ready || document->pageCount() < 1)
        return nullptr;
    open.device = attributes.st_dev;
    open.inode = attributes.st_ino;
    open.size = attributes.st_size;
    open.modified = attributes.st_mtim;
    open.file = std::move(file);
    open.document = std::move(document);
    return open.document.get();
}

// Pages are drawn without a background; Mirel shows them on paper.
QImage onPaper(const QImage &image)
{
    if (image.isNull())
        return image;
    QImage paper(image.size(), QImage::Format_RGB32);
    paper.fill(Qt::white);
    QPainter(&paper).drawImage(0, 0, image);
    return paper;
}

using PdfJobs::Pages;

Pages pageSizes(int descriptor, int budgetMs)
{
    QPdfDocument *document = documentFor(descriptor);
    if (!document)
        return {};
    Pages pages;
    pages.count = document->pageCount();
    QElapsedTimer elapsed;
    elapsed.start();
    // At least the first page, whose size stands for the others until they are read.
    for (int page = 0; page < pages.count && (page == 0 || !elapsed.hasExpired(budgetMs)); ++page)
        pages.sizes.append(document->pagePointSize(page));
    return pages;
}

QImage renderPage(int descriptor, int page, const QSize &size, QSizeF *pointSize)
{
    QPdfDocument *document = documentFor(descriptor);
    if (!document || page < 0 || page >= document->pageCount() || size.isEmpty())
        return QImage();
    *pointSize = document->pagePointSize(page);
    return onPaper(document->render(page, size));
}

QImage thumbnail(int descriptor, const QSize &bounds)
{
    QPdfDocument *document = documentFor(descriptor);
    // A thumbnail needs the document once: it is not held for a next page that never comes.
    const auto close = qScopeGuard([] {
        lastDocument().document.reset();
        lastDocument().file.reset();
    });
    if (!document || bounds.isEmpty())
        return QImage();
    const QSizeF page = document->pagePointSize(0);
    if (page.isEmpty())
        return QImage();
    const QSize size =
        page.scaled(QSizeF(bounds), Qt::KeepAspectRatio).toSize().expandedTo(QSize(1, 1));
    return onPaper(document->render(0, size));
}

constexpr PdfJobs::Functions functions = {pageSizes, renderPage, thumbnail};

} // namespace

extern "C" __attribute__((visibility("default"))) const PdfJobs::Functions *mirelPdfFunctions()
{
    return &functions;
}
