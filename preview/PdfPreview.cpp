// SPDX-License-Identifier: GPL-3.0-or-later
#include "PdfPreview.h"

#include "PreviewPriority.h"
#include "RunInBackground.h"

#include <QCoreApplication>
#include <QIODevice>
#include <QPdfDocument>
#include <QPdfView>
#include <QThread>
#include <QVBoxLayout>

PdfPreview::PdfPreview(PreviewFilePtr file, QWidget *parent)
    : QWidget(parent)
    , m_view(new QPdfView(this))
{
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_view);
    m_view->setPageMode(QPdfView::PageMode::MultiPage);
    m_view->setZoomMode(QPdfView::ZoomMode::FitToWidth);
    m_view->setFrameShape(QFrame::NoFrame);

    runInBackground(
        this, [file = std::move(file)] { return open(*file); },
        [this](const Document &result) { present(result); }, previewPriority);
}

PdfPreview::~PdfPreview()
{
    // The view must let go of the document before the document goes.
    m_view->setDocument(nullptr);
}

int PdfPreview::pageCount() const
{
    return m_document ? m_document->pageCount() : 0;
}

PdfPreview::Document PdfPreview::open(const PreviewFile &file)
{
    // The view reads pages as it paints them: from memory, never from a disk that may stall.
    std::unique_ptr<QIODevice> device = file.contents(pdfInMemoryBytes);
    if (!device || file.size() == 0)
        return {};
    auto document = std::make_unique<QPdfDocument>();
    // The document reads from the device as it needs to: it owns it.
    device->setParent(document.get());
    document->load(device.release());
    if (document->status() != QPdfDocument::Status::Ready || document->pageCount() < 1)
        return {};
    document->moveToThread(QCoreApplication::instance()->thread());
    // From now on the document lives on the main thread; a result that arrives after the
    // preview has gone is released from whichever thread drops it.
    return Document(document.release(), [](QPdfDocument *doc) {
        if (doc->thread() == QThread::currentThread())
            delete doc;
        else
            doc->deleteLater();
    });
}

void PdfPreview::present(const Document &document)
{
    if (!document) {
        emit failed();
        return;
    }
    m_document = document;
    m_view->setDocument(m_document.get());
    emit loaded();
}
