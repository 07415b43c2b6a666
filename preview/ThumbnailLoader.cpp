#include "ThumbnailLoader.h"

#include "ThumbnailCache.h"
#include "ThumbnailGenerator.h"

#include <QDateTime>
#include <QFileInfo>
#include <QMimeDatabase>

QImage ThumbnailLoader::thumbnail(const ThumbnailRequest &request)
{
    const QFileInfo info(request.path);
    // A file the user cannot read gets no thumbnail, not even a cached one.
    if (!info.isFile() || !info.isReadable())
        return QImage();
    const ThumbnailCache cache;
    if (cache.contains(info.absoluteFilePath()))
        return QImage();

    const QString path = info.absoluteFilePath();
    const qint64 mtime = info.lastModified().toSecsSinceEpoch();
    const auto flavor = ThumbnailCache::flavorFor(request.pixelSize());
    QImage cached = cache.find(path, flavor, mtime);
    // A bigger one made by another program serves as well.
    if (cached.isNull() && flavor == ThumbnailCache::Flavor::Normal)
        cached = cache.find(path, ThumbnailCache::Flavor::Large, mtime);
    if (!cached.isNull())
        return cached;
    if (cache.hasFailure(path, mtime))
        return QImage();

    const QMimeType mime = QMimeDatabase().mimeTypeForFile(info);
    const auto made = ThumbnailGenerator::generate(path, mime, ThumbnailCache::pixelSize(flavor));
    using Status = ThumbnailGenerator::Result::Status;
    switch (made.status) {
    case Status::Made:
        // Storing is best effort: a read-only cache still gives a thumbnail now.
        cache.store(path, flavor, mtime, made.image, mime.name(), info.size());
        return made.image;
    case Status::Failed:
        cache.storeFailure(path, mtime);
        return QImage();
    case Status::Unsupported:
        break;
    }
    return QImage();
}
