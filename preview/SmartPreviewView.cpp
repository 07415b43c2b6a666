// SPDX-License-Identifier: GPL-3.0-or-later
#include "SmartPreviewView.h"

#include "FileKinds.h"
#include "FilePreviewView.h"
#include "ZoomableImageView.h"

#include <QCoreApplication>
#include <QTimer>
#include <QVBoxLayout>

#include <malloc.h>

namespace {

// A replaced preview frees tens of megabytes (a player's decoders, a photo, a PDF's pages),
// spread over the arenas of the threads that made them; without a trim the allocator keeps all
// of it, and a long review grows to the sum of its largest previews. Once the event loop is
// back, so that what was deleted later is gone too.
void releaseFreedMemorySoon()
{
    static bool pending = false;
    if (pending || !QCoreApplication::instance())
        return;
    pending = true;
    QTimer::singleShot(0, QCoreApplication::instance(), [] {
        pending = false;
        ::malloc_trim(0);
    });
}

} // namespace

SmartPreviewView::SmartPreviewView(const QUrl &url, QWidget *parent)
    : QWidget(parent)
    , m_url(url)
    , m_layout(new QVBoxLayout(this))
{
    m_layout->setContentsMargins(0, 0, 0, 0);
    m_layout->setSpacing(0);
    rebuild();
}

SmartPreviewView::~SmartPreviewView()
{
    releaseFreedMemorySoon();
}

void SmartPreviewView::setUrl(const QUrl &url)
{
    m_url = url;
    const bool wantsImage = isZoomableImage(url);
    if (wantsImage && m_imageView)
        m_imageView->setUrl(url);
    else if (!wantsImage && m_filePreview)
        m_filePreview->setUrl(url);
    else
        rebuild();
}

void SmartPreviewView::rebuild()
{
    if (m_imageView || m_filePreview)
        releaseFreedMemorySoon();
    // The old view goes at once: a media preview must stop playing when it is replaced.
    delete m_imageView;
    delete m_filePreview;
    m_imageView = nullptr;
    m_filePreview = nullptr;
    QWidget *content = nullptr;
    if (isZoomableImage(m_url)) {
        content = m_imageView = new ZoomableImageView(m_url, this);
        connect(m_imageView, &ZoomableImageView::loadFailed, this,
                &SmartPreviewView::showInformationCard);
    } else {
        content = m_filePreview = new FilePreviewView(m_url, this);
    }
    m_layout->addWidget(content);
}

void SmartPreviewView::showInformationCard()
{
    // A picture that cannot be decoded is described instead of spinning for ever. Later,
    // not now: the image view is the one reporting its failure.
    if (!m_imageView)
        return;
    m_imageView->hide();
    m_layout->removeWidget(m_imageView);
    m_imageView->deleteLater();
    m_imageView = nullptr;
    m_filePreview = new FilePreviewView(m_url, this, true);
    m_layout->addWidget(m_filePreview);
}
