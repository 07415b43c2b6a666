// SPDX-License-Identifier: GPL-3.0-or-later
// The HEIF module of the preview process (mirel-heif.so, see HeifJobs.h): HEIC and AVIF pictures
// through libheif, read from the descriptor Mirel handed over.
#include "HeifJobs.h"

#include <libheif/heif.h>

#include <memory>

#include <unistd.h>

namespace {

struct HeifDeleter
{
    void operator()(heif_context *context) const { heif_context_free(context); }
    void operator()(heif_image_handle *handle) const { heif_image_handle_release(handle); }
    void operator()(heif_image *image) const { heif_image_release(image); }
};
template<typename T> using HeifPtr = std::unique_ptr<T, HeifDeleter>;

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

HeifJobs::Picture decodeHeif(int descriptor, qint64 size, const QSize &bounds, int maxMegabytes)
{
    HeifJobs::Picture result;
    result.isHeif = isHeif(descriptor);
    if (!result.isHeif)
        return result;
    HeifPtr<heif_context> context(heif_context_alloc());
    if (!context)
        return result;
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
        return result;
    heif_image_handle *rawHandle = nullptr;
    if (heif_context_get_primary_image_handle(context.get(), &rawHandle).code != heif_error_Ok)
        return result;
    HeifPtr<heif_image_handle> primary(rawHandle);
    result.fullSize = QSize(heif_image_handle_get_width(primary.get()),
                            heif_image_handle_get_height(primary.get()));
    if (qint64(result.fullSize.width()) * result.fullSize.height() * 4 >
        qint64(maxMegabytes) * 1024 * 1024) {
        result.fullSize = QSize();
        return result;
    }

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
            const QSize wanted =
                result.fullSize.scaled(bounds, Qt::KeepAspectRatio).boundedTo(result.fullSize);
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
        return result;
    HeifPtr<heif_image> decoded(rawImage);
    result.image = toQImage(decoded.get());
    return result;
}

} // namespace

extern "C" __attribute__((visibility("default"))) void mirelDecodeHeif(int file, qint64 size,
                                                                       int width, int height,
                                                                       int maxMegabytes,
                                                                       HeifJobs::Picture *picture)
{
    *picture = decodeHeif(file, size, QSize(width, height), maxMegabytes);
}
