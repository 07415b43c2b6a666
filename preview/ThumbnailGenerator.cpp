// SPDX-License-Identifier: GPL-3.0-or-later
#include "ThumbnailGenerator.h"

#include "ImageDecoder.h"
#include "PreviewFile.h"
#include "PreviewKind.h"

#include <QFile>

#include <QImageReader>
#include <QMimeType>
#include <QPainter>
#include <QPdfDocument>

using namespace Qt::StringLiterals;

namespace ThumbnailGenerator {

namespace {

using Status = Result::Status;

Result made(QImage image)
{
    if (image.isNull())
        return {Status::Failed, {}};
    return {Status::Made, std::move(image)};
}

Result fromPdf(const PreviewFile &file, int pixelSize)
{
    // Read before the document takes Qt PDF's global lock, which a paint on the main thread
    // may be waiting for.
    const std::unique_ptr<QIODevice> device = file.contents(pdfInMemoryBytes);
    if (!device)
        return {Status::Failed, {}};
    QPdfDocument document;
    document.load(device.get());
    if (document.status() != QPdfDocument::Status::Ready || document.pageCount() < 1)
        return {Status::Failed, {}};
    const QSizeF page = document.pagePointSize(0);
    if (page.isEmpty())
        return {Status::Failed, {}};
    const QSize size = page.scaled(QSizeF(pixelSize, pixelSize), Qt::KeepAspectRatio)
                           .toSize()
                           .expandedTo(QSize(1, 1));
    QImage image = document.render(0, size);
    // Pages are drawn without a background; a thumbnail shows them on paper.
    if (!image.isNull() && image.hasAlphaChannel()) {
        QImage paper(image.size(), QImage::Format_ARGB32_Premultiplied);
        paper.fill(Qt::white);
        QPainter(&paper).drawImage(0, 0, image);
        image = paper;
    }
    return made(image);
}

Result fromDrawing(const PreviewFile &file, int pixelSize)
{
    const std::unique_ptr<QFile> device = file.device();
    if (!device || file.size() > ImageDecoder::maxEncodedBytes)
        return {Status::Failed, {}};
    // Drawings have no pixel size of their own worth keeping: render to fill the box.
    QImageReader reader(device.get());
    reader.setAllocationLimit(ImageDecoder::maxDecodedMegabytes);
    const QSize nominal = reader.size().isValid() ? reader.size() : QSize(pixelSize, pixelSize);
    reader.setScaledSize(
        nominal.scaled(QSize(pixelSize, pixelSize), Qt::KeepAspectRatio).expandedTo(QSize(1, 1)));
    return made(reader.read());
}

} // namespace

Result generate(const PreviewFile &file, const QMimeType &mime, int pixelSize)
{
    if (!file.isRegular() || file.size() == 0)
        return {Status::Unsupported, {}};
    switch (previewKindFor(mime)) {
    case PreviewKind::Pdf:
        return fromPdf(file, pixelSize);
    case PreviewKind::Image:
        if (mime.inherits(u"image/svg+xml"_s) || mime.inherits(u"image/svg+xml-compressed"_s))
            return fromDrawing(file, pixelSize);
        return made(ImageDecoder::decode(file, QSize(pixelSize, pixelSize)).image);
    default:
        break;
    }
    // HEIC is read through libheif, which Qt's image plugins do not know.
    if (mime.name().startsWith(u"image/"_s) && ImageDecoder::isHeif(file))
        return made(ImageDecoder::decode(file, QSize(pixelSize, pixelSize)).image);
    return {Status::Unsupported, {}};
}

} // namespace ThumbnailGenerator
