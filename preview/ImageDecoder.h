// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "PreviewWorker.h"

#include <QImage>
#include <QSize>
#include <QString>

class PreviewFile;

// Pictures decoded by the preview process (see PreviewWorker): blocks, so call it off the main
// thread. EXIF orientation (JPEG, TIFF, WebP, ...) and HEIF rotation and mirroring are applied,
// so the result is always upright. HEIC/HEIF go through libheif; everything else through
// QImageReader and Qt's image-format plugins.
namespace ImageDecoder {

struct Result
{
    QImage image;          // null when the file could not be read or holds no image we understand
    QSize fullSize;        // upright size of the image as stored in the file
    bool scalable = false; // a drawing (SVG), rendered to fill the drawing box
    PreviewWorker::Status status = PreviewWorker::Status::Failed;
};

// Decodes `path` scaled down (never up, proportions kept) to fit within `bounds`, or at full
// resolution when `bounds` is empty. Large JPEGs are scaled while decoding, so a 12 MP photo
// decoded for a 300 px preview costs a fraction of a full decode. A drawing is rendered to fill
// `drawingBounds` when that is given. Only a regular, non-empty file is read (see PreviewFile);
// anything else gives a null image.
Result decode(const QString &path, const QSize &bounds = QSize(), const CancelFlag &cancel = {});
Result decode(const PreviewFile &file, const QSize &bounds = QSize(), const CancelFlag &cancel = {},
              PreviewWorker::Lane lane = PreviewWorker::Lane::Preview,
              const QSize &drawingBounds = QSize());

// The size that fits `size` within `bounds` keeping proportions, never larger than `size`.
QSize fittedWithin(const QSize &size, const QSize &bounds);

} // namespace ImageDecoder
