// SPDX-License-Identifier: GPL-3.0-or-later
#include "PngWriter.h"

#include <QIODevice>
#include <QImage>
#include <QList>

#include <csetjmp>
#include <vector>

#include <png.h>

namespace PngWriter {

namespace {

struct Sink
{
    QIODevice *device = nullptr;
    bool failed = false;
};

void writeBytes(png_structp png, png_bytep data, png_size_t length)
{
    auto *sink = static_cast<Sink *>(png_get_io_ptr(png));
    if (sink->device->write(reinterpret_cast<const char *>(data), qint64(length)) != qint64(length))
        sink->failed = true;
}

void flushNothing(png_structp) {}

} // namespace

bool write(QIODevice &device, const QImage &image)
{
    if (image.isNull())
        return false;
    const bool alpha = image.hasAlphaChannel();
    const QImage pixels =
        image.convertToFormat(alpha ? QImage::Format_RGBA8888 : QImage::Format_RGB888);
    // Everything libpng is given, made before the jump point below: a longjmp back to it must
    // not skip a destructor.
    QList<QByteArray> keys;
    QList<QByteArray> values;
    std::vector<png_text> chunks;
    for (const QString &key : image.textKeys()) {
        keys.append(key.toLatin1());
        values.append(image.text(key).toLatin1());
    }
    for (qsizetype i = 0; i < keys.size(); ++i) {
        png_text chunk = {};
        chunk.compression = PNG_TEXT_COMPRESSION_NONE;
        chunk.key = keys[i].data();
        chunk.text = values[i].data();
        chunk.text_length = std::size_t(values[i].size());
        chunks.push_back(chunk);
    }
    Sink sink{&device};

    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    if (!png)
        return false;
    png_infop info = png_create_info_struct(png);
    if (!info || setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, info ? &info : nullptr);
        return false;
    }
    png_set_write_fn(png, &sink, writeBytes, flushNothing);
    // Light compression: a thumbnail is small either way, and the cold list makes dozens.
    png_set_compression_level(png, 1);
    png_set_IHDR(png, info, png_uint_32(pixels.width()), png_uint_32(pixels.height()), 8,
                 alpha ? PNG_COLOR_TYPE_RGB_ALPHA : PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    if (!chunks.empty())
        png_set_text(png, info, chunks.data(), int(chunks.size()));
    png_write_info(png, info);
    for (int y = 0; y < pixels.height(); ++y)
        png_write_row(png, pixels.constScanLine(y));
    png_write_end(png, info);
    png_destroy_write_struct(&png, &info);
    return !sink.failed;
}

} // namespace PngWriter
