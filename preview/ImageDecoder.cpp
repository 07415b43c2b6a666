#include "ImageDecoder.h"

#include <QFile>
#include <QImageReader>

#include <libheif/heif.h>

#include <memory>

namespace ImageDecoder {

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

Result decodeHeif(const QString &path, const QSize &bounds)
{
    HeifPtr<heif_context> context(heif_context_alloc());
    if (!context)
        return {};
    const QByteArray encodedPath = QFile::encodeName(path);
    if (heif_context_read_from_file(context.get(), encodedPath.constData(), nullptr).code !=
        heif_error_Ok)
        return {};
    heif_image_handle *rawHandle = nullptr;
    if (heif_context_get_primary_image_handle(context.get(), &rawHandle).code != heif_error_Ok)
        return {};
    HeifPtr<heif_image_handle> primary(rawHandle);
    Result result;
    result.fullSize = QSize(heif_image_handle_get_width(primary.get()),
                            heif_image_handle_get_height(primary.get()));

    // An embedded thumbnail that is already large enough saves decoding the whole picture.
    HeifPtr<heif_image_handle> source;
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
                source = std::move(candidate);
        }
    }
    heif_image *rawImage = nullptr;
    const heif_error error =
        heif_decode_image(source ? source.get() : primary.get(), &rawImage, heif_colorspace_RGB,
                          heif_chroma_interleaved_RGBA, nullptr);
    if (error.code != heif_error_Ok)
        return {};
    HeifPtr<heif_image> decoded(rawImage);
    result.image = scaledDown(toQImage(decoded.get()), bounds);
    if (result.fullSize.isEmpty())
        result.fullSize = result.image.size();
    return result;
}

Result decodeWithQt(const QString &path, const QSize &bounds)
{
    QImageReader reader(path);
    reader.setAutoTransform(true);
    // Files named .png that are really JPEGs (and the like) are common among downloads.
    reader.setDecideFormatFromContent(true);
    Result result;
    QSize stored = reader.size();
    const bool quarterTurn =
        reader.transformation().testFlag(QImageIOHandler::TransformationRotate90);
    if (stored.isValid()) {
        result.fullSize = quarterTurn ? stored.transposed() : stored;
        if (!bounds.isEmpty()) {
            // The scaled size is given in stored orientation, before the EXIF rotation.
            const QSize target = fittedWithin(result.fullSize, bounds);
            if (target != result.fullSize)
                reader.setScaledSize(quarterTurn ? target.transposed() : target);
        }
    }
    QImage image = reader.read();
    if (image.isNull())
        return {};
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

bool isHeif(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    const QByteArray head = file.read(64);
    if (head.size() < 12)
        return false;
    const heif_filetype_result type =
        heif_check_filetype(reinterpret_cast<const uint8_t *>(head.constData()), int(head.size()));
    return type == heif_filetype_yes_supported || type == heif_filetype_yes_unsupported;
}

Result decode(const QString &path, const QSize &bounds)
{
    if (isHeif(path))
        return decodeHeif(path, bounds);
    return decodeWithQt(path, bounds);
}

} // namespace ImageDecoder
