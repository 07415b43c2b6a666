#include "FilePreviewView.h"

#include <QVBoxLayout>

FilePreviewView::FilePreviewView(const QUrl &url, QWidget *parent)
    : QWidget(parent)
    , m_layout(new QVBoxLayout(this))
{
    m_layout->setContentsMargins(0, 0, 0, 0);
    setUrl(url);
}

FilePreviewView::~FilePreviewView() = default;

void FilePreviewView::setUrl(const QUrl &url)
{
    if (m_preview && url == m_url)
        return;
    m_url = url;
    rebuild();
}

void FilePreviewView::rebuild()
{
    // Filled in with the previewers; an empty widget keeps the layout valid meanwhile.
    delete m_preview;
    m_preview = new QWidget(this);
    m_layout->addWidget(m_preview);
}
