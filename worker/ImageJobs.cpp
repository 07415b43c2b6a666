// SPDX-License-Identifier: GPL-3.0-or-later
#include "ImageJobs.h"

#include <QFile>
#include <QImageReader>

#include <libheif/heif.h>

#include <memory>

#include <sys/stat.h>
#include <unistd.h>

namespace ImageJobs {

namespace {

struct HeifDeleter
{
    void operator()(heif_context *context) const { heif_context_free(context); }
    void operator()(heif_image_handle *handle) const { heif_image_handle_release(handle); }
    void operator()(heif_image *image) const { heif_image_release(image); }
};
template<typename T> using HeifPtr = std::unique_ptr<T, HeifDeleter>;

QImage scaledDown(const QImage &image, const QSize &bounds)
{
    if (image.isNull() || bounds.isEmpty())
        return image;
    const QSize target = fittedWithin(image.size(), bounds);
    if (target == image.size())
        return image;
    return image.scaled(target, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
}

// libheif reads through pread on the descriptor: no path, and no shared file position.
struct HeifSource
{
    int descriptor = -1;
    qint64 size = 0;
    qint64 position = 0;
};

int64_t heifPosition(void *userdata)
{
    return static_cast<HeifSource *>(userdata)->position;
}

int heifRead(void *data, size_t size, void *userdata)
{
    auto *source = static_cast<HeifSource *>(userdata);
    auto *bytes = static_cast<char *>(data);
    size_t filled = 0;
    while (filled < size) {
        const ssize_t got =
            ::pread(source->descriptor, bytes + filled, size - filled, source->position);
        if (got <= 0)
            return 1;
        filled += size_t(got);
        source->position += got;
    }
    return 0;
}

int heifSeek(int64_t position, void *userdata)
{
    auto *source = static_cast<HeifSource *>(userdata);
    if (position < 0 || position > source->size)
        return 1;
    source->position = position;
    return 0;
}

heif_reader_grow_status heifWaitForSize(int64_t target, void *userdata)
{
    return target > static_cast<HeifSource *>(userdata)->size
               ? heif_reader_grow_status_size_beyond_eof
               : heif_reader_grow_status_size_reached;
}

bool isHeif(int descriptor)
{
    unsigned char head[64] = {};
    const ssize_t got = ::pread(descriptor, head, sizeof(head), 0);
    if (got < 12)
        return false;
    const heif_filetype_result type = heif_check_filetype(head, int(got));
    return type == heif_filetype_yes_supported || type == heif_filetype_yes_unsupported;
}

// Copies libheif's interleaved RGBA plane into a QImage that owns its pixels.
QImage toQImage(const heif_image *image)
{
    const int width = heif_image_get_width(image, heif_channel_interleaved);
    const int height = heif_image_get_height(image, heif_channel_interleaved);
    int stride = 0;
    const uint8_t *data = heif_image_get_plane_readonly(image, heif_channel_interleaved, &stride);
    if (!data || width <= 0 || height <= 0)
        return QImage();
    return QImage(data, width, height, stride, QImage::Format_RGBA8888).copy();
}

Decoded decodeHeif(int descriptor, qint64 size, const QSize &bounds)
{
    HeifPtr<heif_context> context(heif_context_alloc());
    if (!context)
        return {};
    // By member: newer libheif versions add members at the end, left empty here.
    static const heif_reader reader = [] {
        heif_reader callbacks{};
        callbacks.reader_api_version = 1;
        callbacks.get_position = heifPosition;
        callbacks.read = heifRead;
        callbacks.seek = heifSeek;
        callbacks.wait_for_file_size = heifWaitForSize;
        return callbacks;
    }();
    HeifSource source{descriptor, size, 0};
    if (heif_context_read_from_reader(context.get(), &reader, &source, nullptr).code !=
        heif_error_Ok)
        return {};
    heif_image_handle *rawHandle = nullptr;
    if (heif_context_get_primary_image_handle(context.get(), &rawHandle).code != heif_error_Ok)
        return {};
    HeifPtr<heif_image_handle> primary(rawHandle);
    Decoded result;
    result.fullSize = QSize(heif_image_handle_get_width(primary.get()),
                            heif_image_handle_get_height(primary.get()));
    if (qint64(result.fullSize.width()) * result.fullSize.height() * 4 >
        qint64(maxDecodedMegabytes) * 1024 * 1024)
        return {};

    // An embedded thumbnail that is already large enough saves decoding the whole picture.
    HeifPtr<heif_image_handle> thumbnailSource;
    if (!bounds.isEmpty() && heif_image_handle_get_number_of_thumbnails(primary.get()) > 0) {
        heif_item_id id = 0;
        heif_image_handle_get_list_of_thumbnail_IDs(primary.get(), &id, 1);
        heif_image_handle *thumbnail = nullptr;
        if (heif_image_handle_get_thumbnail(primary.get(), id, &thumbnail).code == heif_error_Ok) {
            HeifPtr<heif_image_handle> candidate(thumbnail);
            const QSize thumbnailSize(heif_image_handle_get_width(thumbnail),
                                      heif_image_handle_get_height(thumbnail));
            const QSize wanted = fittedWithin(result.fullSize, bounds);
            if (thumbnailSize.width() >= wanted.width() &&
                thumbnailSize.height() >= wanted.height())
                thumbnailSource = std::move(candidate);
        }
    }
    heif_image *rawImage = nullptr;
    const heif_error error =
        heif_decode_image(thumbnailSource ? thumbnailSource.get() : primary.get(), &rawImage,
                          heif_colorspace_RGB, heif_chroma_interleaved_RGBA, nullptr);
    if (error.code != heif_error_Ok)
        return {};
    HeifPtr<heif_image> decoded(rawImage);
    result.image = scaledDown(toQImage(decoded.get()), bounds);
    if (result.fullSize.isEmpty())
        result.fullSize = result.image.size();
    return result;
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

Decoded decodeWithQt(QFile &device, const QSize &bounds, const QSize &drawingBounds)
{
    QImageReader reader(&device);
    reader.setAllocationLimit(maxDecodedMegabytes);
    reader.setAutoTransform(true);
    // Files named .png that are really JPEGs (and the like) are common among downloads.
    reader.setDecideFormatFromContent(true);
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
    if (isHeif(descriptor))
        return decodeHeif(descriptor, qint64(attributes.st_size), bounds);
    QFile device;
    if (!device.open(descriptor, QIODevice::ReadOnly, QFileDevice::DontCloseHandle))
        return {};
    return decodeWithQt(device, bounds, drawingBounds);
}

} // namespace ImageJobs
