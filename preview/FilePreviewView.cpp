// SPDX-License-Identifier: GPL-3.0-or-later
#include "FilePreviewView.h"

#include "ArchivePreviewLoader.h"
#include "DesktopThumbnailers.h"
#include "FileNames.h"
#include "FontSample.h"
#include "ImagePreview.h"
#include "InfoCardPreview.h"
#include "MediaPreview.h"
#include "PdfPreview.h"
#include "PreviewKind.h"
#include "PreviewPriority.h"
#include "RunInBackground.h"
#include "TextPreview.h"

#include <QFile>
#include <QMimeDatabase>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

namespace {

// The type of a file that is never read, as the shared MIME database names it.
QString specialFileType(mode_t mode)
{
    if (S_ISDIR(mode))
        return u"inode/directory"_s;
    if (S_ISFIFO(mode))
        return u"inode/fifo"_s;
    if (S_ISCHR(mode))
        return u"inode/chardevice"_s;
    if (S_ISBLK(mode))
        return u"inode/blockdevice"_s;
    if (S_ISSOCK(mode))
        return u"inode/socket"_s;
    return u"application/octet-stream"_s;
}

} // namespace

FilePreviewView::FilePreviewView(const QUrl &url, QWidget *parent, bool informationCardOnly)
    : QWidget(parent)
    , m_url(url)
    , m_layout(new QVBoxLayout(this))
    , m_cardOnly(informationCardOnly)
{
    m_layout->setContentsMargins(0, 0, 0, 0);
    rebuild();
}

FilePreviewView::~FilePreviewView() = default;

void FilePreviewView::setUrl(const QUrl &url)
{
    if (url == m_url)
        return;
    m_url = url;
    m_cardOnly = false;
    rebuild();
}

FilePreviewView::Probe FilePreviewView::probe(const QString &path)
{
    Probe result;
    result.file = PreviewFile::open(path);
    const QMimeDatabase types;
    const QString name = FileNames::fileName(path);
    switch (result.file->status()) {
    case PreviewFile::Status::Regular:
        // The type comes from the name, and from the first bytes only when the name says
        // nothing; an empty file has nothing to show.
        if (result.file->size() > 0) {
            const std::unique_ptr<QFile> device = result.file->device();
            result.mime = device ? types.mimeTypeForFileNameAndData(name, device.get())
                                 : types.mimeTypeForFile(name, QMimeDatabase::MatchExtension);
            result.previewable = device != nullptr;
            if (result.previewable && previewKindFor(result.mime) == PreviewKind::InfoCard) {
                // Reads the thumbnailer folders the first time: here, off the GUI thread.
                result.desktopPicture =
                    DesktopThumbnailers::registered().forMimeType(result.mime.name()).has_value();
                result.fontSample = !result.desktopPicture && FontSample::handles(result.mime);
            }
            return result;
        }
        break;
    case PreviewFile::Status::NotRegular:
        result.mime = types.mimeTypeForName(specialFileType(result.file->attributes().st_mode));
        return result;
    case PreviewFile::Status::Missing:
    case PreviewFile::Status::Unreadable:
        break;
    }
    result.mime = types.mimeTypeForFile(name, QMimeDatabase::MatchExtension);
    return result;
}

void FilePreviewView::rebuild()
{
    // Opening, even a stat, can hang on a stalled mount: never here on the main thread.
    const std::uint64_t generation = ++m_generation;
    runInBackground(
        this, [path = m_url.toLocalFile()] { return probe(path); },
        [this, generation](const Probe &result) {
            if (generation == m_generation)
                present(result);
        },
        previewPriority);
}

void FilePreviewView::present(const Probe &probe)
{
    m_probe = probe;
    if (m_cardOnly)
        m_probe.previewable = false;
    replacePreview(makePreview(m_probe));
}

QWidget *FilePreviewView::makePreview(const Probe &probe)
{
    switch (probe.previewable ? previewKindFor(probe.mime) : PreviewKind::InfoCard) {
    case PreviewKind::Pdf: {
        auto *preview = new PdfPreview(probe.file, this);
        connect(preview, &PdfPreview::failed, this, [this, preview] { showInfoCard(preview); });
        return preview;
    }
    case PreviewKind::Image: {
        auto *preview = new ImagePreview(probe.file, this);
        connect(preview, &ImagePreview::failed, this, [this, preview] { showInfoCard(preview); });
        return preview;
    }
    case PreviewKind::Video:
    case PreviewKind::Audio: {
        const auto kind = previewKindFor(probe.mime) == PreviewKind::Video
                              ? MediaPreview::Kind::Video
                              : MediaPreview::Kind::Audio;
        auto *preview = new MediaPreview(probe.file, kind, this);
        connect(preview, &MediaPreview::failed, this, [this, preview] { showInfoCard(preview); });
        return preview;
    }
    case PreviewKind::Text: {
        auto *preview = new TextPreview(probe.file, this);
        connect(preview, &TextPreview::failed, this, [this, preview] { showInfoCard(preview); });
        return preview;
    }
    case PreviewKind::Archive: {
        auto *preview = new ArchivePreviewLoader(probe.file, this);
        connect(preview, &ArchivePreviewLoader::failed, this,
                [this, preview](const QString &reason) { showInfoCard(preview, reason); });
        return preview;
    }
    case PreviewKind::InfoCard:
        if (probe.previewable && (probe.desktopPicture || probe.fontSample))
            return makePicturePreview(probe);
        break;
    }
    return makeInfoCard();
}

QWidget *FilePreviewView::makePicturePreview(const Probe &probe)
{
    // The preview area's size on this screen (laid out by now), within reason.
    const QSize logical = size().isEmpty() ? QSize(256, 256) : size();
    const QSize room = (QSizeF(logical) * devicePixelRatioF())
                           .toSize()
                           .expandedTo(QSize(64, 64))
                           .boundedTo(QSize(2048, 2048));
    ImagePreview::Maker make;
    if (probe.desktopPicture) {
        make = [file = probe.file, type = probe.mime.name(),
                side = std::max(room.width(), room.height()),
                name = FileNames::fileName(probe.file->path())](const CancelFlag &cancel) {
            const std::unique_ptr<QFile> device = file->device();
            if (!device)
                return QImage();
            ThumbnailerSandbox::Options options;
            options.size = side;
            options.nameHint = name;
            options.lane = PreviewWorker::Lane::Preview;
            options.cancel = cancel;
            return DesktopThumbnailers::registered()
                .picture(int(device->handle()), type, options)
                .image;
        };
    } else {
        make = [file = probe.file, room](const CancelFlag &cancel) {
            WorkerProtocol::Request request;
            request.job = WorkerProtocol::Job::FontSample;
            request.width = room.width();
            request.height = room.height();
            return PreviewWorker::run(*file, request, PreviewWorker::Lane::Preview, cancel).image;
        };
    }
    auto *preview = new ImagePreview(std::move(make), this);
    connect(preview, &ImagePreview::failed, this, [this, preview] { showInfoCard(preview); });
    return preview;
}

QWidget *FilePreviewView::makeInfoCard(const QString &reason)
{
    const bool exists = m_probe.file && m_probe.file->status() != PreviewFile::Status::Missing;
    auto *card = new InfoCardPreview(m_url.toLocalFile(), m_probe.mime,
                                     exists ? &m_probe.file->attributes() : nullptr, this);
    if (!reason.isEmpty())
        card->setReason(reason);
    return card;
}

void FilePreviewView::showInfoCard(QWidget *failedPreview, const QString &reason)
{
    // Only the previewer still on show may be replaced; a late failure of an old one
    // says nothing about the current file.
    if (failedPreview != m_preview)
        return;
    replacePreview(makeInfoCard(reason));
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
    emit previewChanged(m_preview);
}
