// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QImage>
#include <QString>

// The thumbnail cache shared by the desktop's file managers and image viewers, laid
// out as the freedesktop.org Thumbnail Managing Standard says: one PNG per file, named
// after the MD5 of its URI, valid while its Thumb::MTime equals the file's.
// Reading and writing are safe from several threads at once.
class ThumbnailCache final
{
public:
    enum class Flavor { Normal, Large };

    // $XDG_CACHE_HOME/thumbnails, or ~/.cache/thumbnails.
    static QString defaultRoot();
    static int pixelSize(Flavor flavor);
    // The smallest flavour that is not smaller than what is wanted.
    static Flavor flavorFor(int pixelSize);
    // The URI as the standard hashes it: file:// and the bytes of the absolute path,
    // percent-encoded (names that are not UTF-8 included).
    static QByteArray uriOf(const QString &path);
    static QString fileNameFor(const QString &path);

    explicit ThumbnailCache(const QString &root = defaultRoot());

    QString root() const { return m_root; }
    QString entryPath(const QString &path, Flavor flavor) const;
    QString failurePath(const QString &path) const;
    // Files in the cache itself are never thumbnailed.
    bool contains(const QString &path) const;

    // The cached thumbnail when it was made from this version of the file, else null.
    QImage find(const QString &path, Flavor flavor, qint64 mtime) const;
    bool store(const QString &path, Flavor flavor, qint64 mtime, const QImage &thumbnail,
               const QString &mimeType, qint64 fileSize) const;

    // A failure recorded for this version of the file: not worth another attempt.
    bool hasFailure(const QString &path, qint64 mtime) const;
    bool storeFailure(const QString &path, qint64 mtime) const;

private:
    static QString failureFolderName();
    bool write(const QString &target, const QImage &image) const;

    QString m_root;
};
