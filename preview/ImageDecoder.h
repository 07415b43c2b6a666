// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QImage>
#include <QSize>
#include <QString>

class PreviewFile;

// Reads image files into QImage, off the main thread (every function here may block on I/O).
// EXIF orientation (JPEG, TIFF, WebP, ...) and HEIF rotation and mirroring are applied, so the
// result is always upright. HEIC/HEIF go through libheif; everything else through QImageReader and
// Qt's image-format plugins.
namespace ImageDecoder {

struct Result
{
    QImage image;   // null when the file could not be read or holds no image we understand
    QSize fullSize; // upright size of the image as stored in the file
};

// Files larger than this are not decoded at all: an image is never worth more of a read.
inline constexpr qint64 maxEncodedBytes = 256 * 1024 * 1024;
// Decoded pictures larger than this many megabytes are refused (Qt's own default limit).
inline constexpr int maxDecodedMegabytes = 256;

// Decodes `path` scaled down (never up, proportions kept) to fit within `bounds`, or at full
// resolution when `bounds` is empty. Large JPEGs are scaled while decoding, so a 12 MP photo
// decoded for a 300 px preview costs a fraction of a full decode.
// Only a regular, non-empty file is read (see PreviewFile); anything else gives a null image.
Result decode(const QString &path, const QSize &bounds = QSize());
Result decode(const PreviewFile &file, const QSize &bounds = QSize());

// True when the first bytes of the file say HEIF/HEIC/AVIF, whatever its name.
bool isHeif(const QString &path);
bool isHeif(const PreviewFile &file);

// The size that fits `size` within `bounds` keeping proportions, never larger than `size`.
QSize fittedWithin(const QSize &size, const QSize &bounds);

} // namespace ImageDecoder
