// SPDX-License-Identifier: GPL-3.0-or-later
#include "ThumbnailGenerator.h"

#include "FontSample.h"
#include "ImageDecoder.h"
#include "PreviewFile.h"
#include "PreviewKind.h"

#include <QMimeType>

using namespace Qt::StringLiterals;

namespace ThumbnailGenerator {

namespace {

using Status = Result::Status;

// A file the worker could not read, or that took it down, has no thumbnail; a request that was
// cancelled or found no worker says nothing about the file, so nothing is remembered.
Result from(PreviewWorker::Status status, QImage image, Status whenUnreadable)
{
    switch (status) {
    case PreviewWorker::Status::Done:
        if (!image.isNull())
            return {Status::Made, std::move(image)};
        return {whenUnreadable, {}};
    case PreviewWorker::Status::Failed:
    case PreviewWorker::Status::WorkerLost:
        return {whenUnreadable, {}};
    case PreviewWorker::Status::Cancelled:
    case PreviewWorker::Status::Unavailable:
        break;
    }
    return {Status::Unsupported, {}};
}

// A picture the preview process makes from the file: a PDF's first page, a font's sample, a
// video's still from about a tenth into it. A file the worker cannot read is remembered as
// failed, so it is not decoded again each time its row is shown.
Result fromWorker(const PreviewFile &file, WorkerProtocol::Job job, int pixelSize,
                  const CancelFlag &cancel)
{
    WorkerProtocol::Request request;
    request.job = job;
    request.width = request.height = pixelSize;
    PreviewWorker::Result made =
        PreviewWorker::run(file, request, PreviewWorker::Lane::Thumbnail, cancel);
    return from(made.status, std::move(made.image), Status::Failed);
}

Result fromImage(const PreviewFile &file, int pixelSize, const CancelFlag &cancel,
                 Status whenUnreadable)
{
    // Drawings have no pixel size of their own worth keeping: they fill the box.
    const QSize box(pixelSize, pixelSize);
    ImageDecoder::Result decoded =
        ImageDecoder::decode(file, box, cancel, PreviewWorker::Lane::Thumbnail, box);
    return from(decoded.status, std::move(decoded.image), whenUnreadable);
}

} // namespace

Result generate(const PreviewFile &file, const QMimeType &mime, int pixelSize,
                const CancelFlag &cancel)
{
    if (!file.isRegular() || file.size() == 0 || pixelSize <= 0)
        return {Status::Unsupported, {}};
    pixelSize = std::min(pixelSize, 1024);
    switch (previewKindFor(mime)) {
    case PreviewKind::Pdf:
        return fromWorker(file, WorkerProtocol::Job::PdfThumbnail, pixelSize, cancel);
    case PreviewKind::Image:
        return fromImage(file, pixelSize, cancel, Status::Failed);
    case PreviewKind::Video:
        return fromWorker(file, WorkerProtocol::Job::VideoFrame, pixelSize, cancel);
    default:
        break;
    }
    // A font the desktop has no thumbnailer for (asked before this) shows a sample of itself.
    if (FontSample::handles(mime))
        return fromWorker(file, WorkerProtocol::Job::FontSample, pixelSize, cancel);
    // Other pictures (HEIC above all, which Qt's image plugins do not know) are tried too; one
    // the worker cannot read is simply not a kind with a thumbnail.
    if (mime.name().startsWith(u"image/"_s))
        return fromImage(file, pixelSize, cancel, Status::Unsupported);
    return {Status::Unsupported, {}};
}

} // namespace ThumbnailGenerator
