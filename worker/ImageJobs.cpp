// SPDX-License-Identifier: GPL-3.0-or-later
#include "ImageJobs.h"

#include "HeifJobs.h"

#include <QBuffer>
#include <QImageReader>
#include <QScopeGuard>

#include <cstring>
#include <memory>
#include <string_view>

#include <sys/mman.h>
#include <sys/stat.h>

using namespace std::string_view_literals;

namespace ImageJobs {

namespace {

QImage scaledDown(const QImage &image, const QSize &bounds)
{
    if (image.isNull() || bounds.isEmpty())
        return image;
    const QSize target = fittedWithin(image.size(), bounds);
    if (target == image.size())
        return image;
    return image.scaled(target, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
}

// Whether `bytes` holds `signature` at offset `at`.
bool hasAt(const QByteArray &bytes, std::string_view signature, qsizetype at = 0)
{
    return bytes.size() >= at + qsizetype(signature.size()) &&
           std::memcmp(bytes.constData() + at, signature.data(), signature.size()) == 0;
}

// HEIF and AVIF are ISO media files: a box named "ftyp" first. Which of those libheif reads is
// for its module to say.
bool isIsoMedia(const QByteArray &bytes)
{
    return hasAt(bytes, "ftyp", 4);
}

bool isIndexed(QImage::Format format)
{
    return format == QImage::Format_Mono || format == QImage::Format_MonoLSB ||
           format == QImage::Format_Indexed8;
}

bool isScalableFormat(const QByteArray &format)
{
    return format == "svg" || format == "svgz";
}

Decoded decodeDrawing(QImageReader &reader, const QSize &bounds, const QSize &drawingBounds)
{
    Decoded result;
    result.scalable = true;
    // Drawings have no pixel size worth keeping: they are rendered to fill the box, from a
    // nominal size that is often that of a small icon.
    const QSize box = drawingBounds.isEmpty() ? bounds : drawingBounds;
    const QSize nominal = reader.size().isValid() ? reader.size() : QSize(512, 512);
    result.fullSize = nominal;
    if (!box.isEmpty())
        reader.setScaledSize(nominal.scaled(box, Qt::KeepAspectRatio).expandedTo(QSize(1, 1)));
    result.image = reader.read();
    return result;
}

// The Qt image format of a picture known by its first bytes, or empty for any other.
QByteArray formatOf(const QByteArray &head)
{
    const auto startsWith = [&head](std::string_view signature, qsizetype at = 0) {
        return hasAt(head, signature, at);
    };
    if (startsWith("\xFF\xD8\xFF"))
        return "jpeg";
    if (startsWith("\x89PNG\r\n\x1A\n"))
        return "png";
    if (startsWith("GIF87a") || startsWith("GIF89a"))
        return "gif";
    if (startsWith("RIFF") && startsWith("WEBP", 8))
        return "webp";
    if (startsWith("II*\0"sv) || startsWith("MM\0*"sv))
        return "tiff";
    return {};
}

// Files named .png that are really JPEGs (and the like) are common among downloads, so the
// content decides. Common formats are known by their first bytes and go straight to their plugin:
// left to find it, Qt loads every plugin ahead of it (and their libraries) to ask each in turn.
std::unique_ptr<QImageReader> readerFor(QBuffer &device)
{
    const QByteArray known = formatOf(device.data());
    if (!known.isEmpty()) {
        auto reader = std::make_unique<QImageReader>(&device, known);
        reader->setAutoDetectImageFormat(false);
        if (reader->canRead())
            return reader;
        device.seek(0);
    }
    auto reader = std::make_unique<QImageReader>(&device);
    reader->setDecideFormatFromContent(true);
    return reader;
}

Decoded decodeWithQt(QBuffer &device, const QSize &bounds, const QSize &drawingBounds)
{
    const std::unique_ptr<QImageReader> owned = readerFor(device);
    QImageReader &reader = *owned;
    reader.setAllocationLimit(maxDecodedMegabytes);
    reader.setAutoTransform(true);
    if (isScalableFormat(reader.format()))
        return decodeDrawing(reader, bounds, drawingBounds);
    Decoded result;
    QSize stored = reader.size();
    const bool quarterTurn =
        reader.transformation().testFlag(QImageIOHandler::TransformationRotate90);
    // Only JPEG is scaled while it is decoded; any other picture whose full size is over the
    // limit would be pushed through pixel by pixel for minutes, so it is refused as Qt refuses it
    // at full size.
    if (stored.isValid() && reader.format() != "jpeg" &&
        qint64(stored.width()) * stored.height() * 4 > qint64(maxDecodedMegabytes) * 1024 * 1024)
        return {};
    if (stored.isValid()) {
        result.fullSize = quarterTurn ? stored.transposed() : stored;
        // Palette pictures come out of Qt's scaled read in the wrong colours (a red logo turns
        // black and white): they are read whole and scaled afterwards.
        if (!bounds.isEmpty() && !isIndexed(reader.imageFormat())) {
            // The scaled size is given in stored orientation, before the EXIF rotation.
            const QSize target = fittedWithin(result.fullSize, bounds);
            if (target != result.fullSize)
                reader.setScaledSize(quarterTurn ? target.transposed() : target);
        }
    }
    QImage image = reader.read();
    if (image.isNull())
        return {};
    if (isIndexed(image.format()))
        image.convertTo(image.hasAlphaChannel() ? QImage::Format_ARGB32 : QImage::Format_RGB32);
    if (!result.fullSize.isValid())
        result.fullSize = image.size();
    result.image = scaledDown(image, bounds);
    return result;
}

} // namespace

QSize fittedWithin(const QSize &size, const QSize &bounds)
{
    if (size.isEmpty() || bounds.isEmpty())
        return size;
    if (size.width() <= bounds.width() && size.height() <= bounds.height())
        return size;
    return size.scaled(bounds, Qt::KeepAspectRatio).expandedTo(QSize(1, 1));
}

Decoded decode(int descriptor, const QSize &bounds, const QSize &drawingBounds)
{
    struct stat attributes = {};
    // Empty, special or absurdly large files are not pictures worth reading.
    if (::fstat(descriptor, &attributes) != 0 || !S_ISREG(attributes.st_mode) ||
        attributes.st_size == 0 || attributes.st_size > maxEncodedBytes)
        return {};
    // Read from memory: libjpeg takes its fast path only with a few kilobytes ahead of it, which
    // Qt's reading from a device never gives it (thumbnails of photos take a tenth longer). The
    // pages are the file's own and go with the mapping. A file cut short meanwhile ends this
    // process with SIGBUS, which Mirel takes as any other crash: the card, for this file only.
    const auto length = size_t(attributes.st_size);
    void *mapped = ::mmap(nullptr, length, PROT_READ, MAP_PRIVATE, descriptor, 0);
    if (mapped == MAP_FAILED)
        return {};
    const auto unmap = qScopeGuard([mapped, length] { ::munmap(mapped, length); });
    const QByteArray bytes =
        QByteArray::fromRawData(static_cast<const char *>(mapped), qsizetype(length));
    if (isIsoMedia(bytes)) {
        HeifJobs::Picture heif =
            HeifJobs::decode(descriptor, qint64(attributes.st_size), bounds, maxDecodedMegabytes);
        if (heif.isHeif && heif.image.isNull())
            return {};
        if (heif.isHeif) {
            Decoded result;
            result.image = scaledDown(heif.image, bounds);
            result.fullSize = heif.fullSize.isEmpty() ? result.image.size() : heif.fullSize;
            return result;
        }
    }
    QBuffer device;
    device.setData(bytes);
    if (!device.open(QIODevice::ReadOnly))
        return {};
    return decodeWithQt(device, bounds, drawingBounds);
}

} // namespace ImageJobs
