// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

class QIODevice;
class QImage;

// Writes thumbnails as PNG with libpng itself. Qt's writer first asks every image plugin whether
// it would write PNG instead, which loads all of them, and the libraries behind them (TIFF, WebP,
// Qt PDF...), into Mirel, which otherwise never needs one: pictures are decoded by its preview
// process.
namespace PngWriter {

// `image` with its text (QImage::textKeys, Latin-1 as the cache's keys are) as tEXt chunks, lightly
// compressed. False when libpng or the device failed.
bool write(QIODevice &device, const QImage &image);

} // namespace PngWriter
