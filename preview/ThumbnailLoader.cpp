// SPDX-License-Identifier: GPL-3.0-or-later
#include "ThumbnailLoader.h"

#include "DesktopThumbnailers.h"
#include "PreviewKind.h"
#include "ThumbnailCache.h"
#include "ThumbnailGenerator.h"

#include "PreviewFile.h"

#include <QFile>
#include <QFileInfo>
#include <QMimeDatabase>

QImage ThumbnailLoader::thumbnail(const ThumbnailRequest &request)
{
    const ThumbnailCache cache;
    const QString path = QFileInfo(request.path).absoluteFilePath();
    if (request.path.isEmpty() || cache.contains(path))
        return QImage();
    // Opened once, through the name's bytes; a file the user cannot read, or anything but a
    // regular file, gets no thumbnail, not even a cached one.
    const auto file = PreviewFile::open(path);
    if (!file->isRegular())
        return QImage();
    const qint64 mtime = qint64(file->attributes().st_mtim.tv_sec);
    const auto flavor = ThumbnailCache::flavorFor(request.pixelSize());
    QImage cached = cache.find(path, flavor, mtime);
    // A bigger one made by another program serves as well.
    if (cached.isNull() && flavor == ThumbnailCache::Flavor::Normal)
        cached = cache.find(path, ThumbnailCache::Flavor::Large, mtime);
    if (!cached.isNull())
        return cached;
    if (cache.hasFailure(path, mtime))
        return QImage();

    const std::unique_ptr<QFile> device = file->device();
    if (!device)
        return QImage();
    const QMimeType mime =
        QMimeDatabase().mimeTypeForFileNameAndData(QFileInfo(path).fileName(), device.get());
    // A kind Mirel has no previewer of its own for gets what the desktop's thumbnailer makes,
    // cached (or its failure recorded) by DesktopThumbnailers as the desktop would.
    if (previewKindFor(mime) == PreviewKind::InfoCard) {
        const DesktopThumbnailers &desktop = DesktopThumbnailers::registered();
        if (desktop.forMimeType(mime.name())) {
            ThumbnailerSandbox::Options options;
            options.nameHint = QFileInfo(path).fileName();
            options.lane = PreviewWorker::Lane::Thumbnail;
            options.cancel = request.cancel;
            return desktop.thumbnail(path, int(device->handle()), mime.name(), flavor, cache,
                                     options);
        }
    }
    const auto made = ThumbnailGenerator::generate(*file, mime, ThumbnailCache::pixelSize(flavor),
                                                   request.cancel);
    using Status = ThumbnailGenerator::Result::Status;
    switch (made.status) {
    case Status::Made:
        // Storing is best effort: a read-only cache still gives a thumbnail now.
        cache.store(path, flavor, mtime, made.image, mime.name(), file->size());
        return made.image;
    case Status::Failed:
        cache.storeFailure(path, mtime);
        return QImage();
    case Status::Unsupported:
        break;
    }
    return QImage();
}
