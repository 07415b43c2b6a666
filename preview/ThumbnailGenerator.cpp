#include "ThumbnailGenerator.h"

#include "ImageDecoder.h"
#include "PreviewKind.h"

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

Result fromPdf(const QString &path, int pixelSize)
{
    QPdfDocument document;
    if (document.load(path) != QPdfDocument::Error::None || document.pageCount() < 1)
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

Result fromDrawing(const QString &path, int pixelSize)
{
    // Drawings have no pixel size of their own worth keeping: render to fill the box.
    QImageReader reader(path);
    const QSize nominal = reader.size().isValid() ? reader.size() : QSize(pixelSize, pixelSize);
    reader.setScaledSize(
        nominal.scaled(QSize(pixelSize, pixelSize), Qt::KeepAspectRatio).expandedTo(QSize(1, 1)));
    return made(reader.read());
}

} // namespace

Result generate(const QString &path, const QMimeType &mime, int pixelSize)
{
    switch (previewKindFor(mime)) {
    case PreviewKind::Pdf:
        return fromPdf(path, pixelSize);
    case PreviewKind::Image:
        if (mime.inherits(u"image/svg+xml"_s) || mime.inherits(u"image/svg+xml-compressed"_s))
            return fromDrawing(path, pixelSize);
        return made(ImageDecoder::decode(path, QSize(pixelSize, pixelSize)).image);
    default:
        break;
    }
    // HEIC is read through libheif, which Qt's image plugins do not know.
    if (mime.name().startsWith(u"image/"_s) && ImageDecoder::isHeif(path))
        return made(ImageDecoder::decode(path, QSize(pixelSize, pixelSize)).image);
    return {Status::Unsupported, {}};
}

} // namespace ThumbnailGenerator
