// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QImage>
#include <QString>

class QMimeType;

// A picture of a font file for fonts the desktop has no thumbnailer for: its family and style
// name, a pangram and the digits, each drawn with the font itself from the file's bytes
// (never a font of the same name that happens to be installed). Parsing the font is library
// work on hostile bytes, so this runs in the preview process; it needs a QGuiApplication.
namespace FontSample {

struct Sample
{
    QImage image; // null when the bytes are no font
    QString family;
    QString style;
};

bool handles(const QMimeType &mime);

// `size`: the picture's size in device pixels; the sample fills it, white on nothing else.
Sample render(const QByteArray &fontData, const QSize &size);
// Reads at most 32 MiB from the start of `fd` (pread: its offset is left alone).
Sample render(int fd, const QSize &size);

} // namespace FontSample
