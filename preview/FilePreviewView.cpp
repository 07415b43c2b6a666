#include "FilePreviewView.h"

#include "FileSystem.h"

#include "ImagePreview.h"
#include "InfoCardPreview.h"
#include "MediaPreview.h"
#include "PdfPreview.h"
#include "PreviewKind.h"
#include "TextPreview.h"

#include <QFileInfo>
#include <QMimeDatabase>
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
    const QString path = m_url.toLocalFile();
    // The type comes from the name, and from the first bytes only when the name says
    // nothing; special files (pipes, devices) are recognised without being opened.
    const QMimeType mime = QMimeDatabase().mimeTypeForFile(path);
    replacePreview(makePreview(path, mime));
}

QWidget *FilePreviewView::makePreview(const QString &path, const QMimeType &mime)
{
    // A file that is gone gets the card that says so, whatever its name promises.
    const bool present = !path.isEmpty() && FileSystem::standard().exists(path);
    switch (present ? previewKindFor(mime) : PreviewKind::InfoCard) {
    case PreviewKind::Pdf: {
        auto *preview = new PdfPreview(path, this);
        connect(preview, &PdfPreview::failed, this, [this, preview] { showInfoCard(preview); });
        return preview;
    }
    case PreviewKind::Image: {
        auto *preview = new ImagePreview(path, this);
        connect(preview, &ImagePreview::failed, this, [this, preview] { showInfoCard(preview); });
        return preview;
    }
    case PreviewKind::Video:
    case PreviewKind::Audio: {
        const auto kind = previewKindFor(mime) == PreviewKind::Video ? MediaPreview::Kind::Video
                                                                     : MediaPreview::Kind::Audio;
        auto *preview = new MediaPreview(path, kind, this);
        connect(preview, &MediaPreview::failed, this, [this, preview] { showInfoCard(preview); });
        return preview;
    }
    case PreviewKind::Text: {
        auto *preview = new TextPreview(path, this);
        connect(preview, &TextPreview::failed, this, [this, preview] { showInfoCard(preview); });
        return preview;
    }
    case PreviewKind::InfoCard:
        break;
    }
    return new InfoCardPreview(path, mime, this);
}

void FilePreviewView::showInfoCard(QWidget *failedPreview)
{
    // Only the previewer still on show may be replaced; a late failure of an old one
    // says nothing about the current file.
    if (failedPreview != m_preview)
        return;
    const QString path = m_url.toLocalFile();
    replacePreview(new InfoCardPreview(path, QMimeDatabase().mimeTypeForFile(path), this));
}

void FilePreviewView::replacePreview(QWidget *preview)
{
    if (m_preview) {
        // Later, not now: the old previewer may be the one that is reporting its failure.
        m_preview->hide();
        m_layout->removeWidget(m_preview);
        m_preview->deleteLater();
    }
    m_preview = preview;
    m_layout->addWidget(m_preview);
    Q_EMIT previewChanged(m_preview);
}
