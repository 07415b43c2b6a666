// SPDX-License-Identifier: GPL-3.0-or-later
#include "ImageDecoder.h"

#include "PreviewFile.h"

namespace ImageDecoder {

QSize fittedWithin(const QSize &size, const QSize &bounds)
{
    if (size.isEmpty() || bounds.isEmpty())
        return size;
    if (size.width() <= bounds.width() && size.height() <= bounds.height())
        return size;
    return size.scaled(bounds, Qt::KeepAspectRatio).expandedTo(QSize(1, 1));
}

Result decode(const QString &path, const QSize &bounds, const CancelFlag &cancel)
{
    const auto file = PreviewFile::open(path);
    return decode(*file, bounds, cancel);
}

Result decode(const PreviewFile &file, const QSize &bounds, const CancelFlag &cancel,
              PreviewWorker::Lane lane, const QSize &drawingBounds)
{
    // Empty or special files are not pictures worth handing over.
    if (!file.isRegular() || file.size() == 0)
        return {};
    WorkerProtocol::Request request;
    request.job = WorkerProtocol::Job::Image;
    request.width = std::min(bounds.width(), WorkerProtocol::maxSide);
    request.height = std::min(bounds.height(), WorkerProtocol::maxSide);
    if (bounds.isEmpty())
        request.width = request.height = 0;
    request.drawingWidth = std::max(0, std::min(drawingBounds.width(), WorkerProtocol::maxSide));
    request.drawingHeight = std::max(0, std::min(drawingBounds.height(), WorkerProtocol::maxSide));
    PreviewWorker::Result decoded = PreviewWorker::run(file, request, lane, cancel);
    Result result;
    result.status = decoded.status;
    if (decoded.status == PreviewWorker::Status::Done) {
        result.image = std::move(decoded.image);
        result.fullSize = decoded.fullSize.isValid() ? decoded.fullSize : result.image.size();
        result.scalable = decoded.scalable;
    }
    return result;
}

} // namespace ImageDecoder
