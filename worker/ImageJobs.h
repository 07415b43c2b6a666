// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QImage>
#include <QSize>

// Pictures read from an open descriptor, inside the preview process. EXIF orientation (JPEG,
// TIFF, WebP, ...) and HEIF rotation and mirroring are applied, so the result is always upright.
// HEIC/HEIF go through libheif, everything else through QImageReader and Qt's plugins.
namespace ImageJobs {

struct Decoded
{
    QImage image;          // null when the file holds no picture we understand
    QSize fullSize;        // upright size as stored in the file
    bool scalable = false; // a drawing, rendered to fill drawingBounds
};

// Files larger than this are not decoded at all: an image is never worth more of a read.
inline constexpr qint64 maxEncodedBytes = 256 * 1024 * 1024;
// Decoded pictures larger than this many megabytes are refused: with room for the scaled copy,
// within the process's data limit (about 48 megapixels).
inline constexpr int maxDecodedMegabytes = 192;

// A bitmap scaled down (never up, proportions kept) to fit `bounds`, or full size when `bounds`
// is empty; large JPEGs are scaled while decoding. A drawing (SVG) is rendered at its nominal
// size scaled to fill `drawingBounds`, or fitted within `bounds` when that is empty.
Decoded decode(int descriptor, const QSize &bounds, const QSize &drawingBounds);

// The size that fits `size` within `bounds` keeping proportions, never larger than `size`.
QSize fittedWithin(const QSize &size, const QSize &bounds);

} // namespace ImageJobs
