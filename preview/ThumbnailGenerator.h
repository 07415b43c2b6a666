// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "PreviewWorker.h"

#include <QImage>
#include <QString>

class PreviewFile;
class QMimeType;

// Makes a thumbnail from the file itself, in the preview process: pictures decoded at reduced
// size (HEIC through libheif), drawings rendered to the box, the first page of a PDF, a
// still from about a tenth into a video and a sample of a font.
// Blocks; call it off the main thread.
namespace ThumbnailGenerator {

struct Result
{
    enum class Status {
        Unsupported, // no thumbnail here (text, archives, ...), or none now (cancelled)
        Failed,      // a kind that has one, but this file could not be read
        Made,
    };
    Status status = Status::Unsupported;
    QImage image; // at most `pixelSize` on the longer side
};

Result generate(const PreviewFile &file, const QMimeType &mime, int pixelSize,
                const CancelFlag &cancel = {});

} // namespace ThumbnailGenerator
