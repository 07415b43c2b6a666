// SPDX-License-Identifier: GPL-3.0-or-later
#include "PreviewKind.h"

#include <QCoreApplication>
#include <QDirIterator>
#include <QJsonArray>
#include <QJsonObject>
#include <QMimeType>
#include <QPluginLoader>
#include <QSet>

using namespace Qt::StringLiterals;

namespace {

bool isReadableImage(const QMimeType &mime)
{
    static const QSet<QString> readable = readableImageTypes();
    if (readable.contains(mime.name()))
        return true;
    const QStringList aliases = mime.aliases();
    return std::any_of(aliases.begin(), aliases.end(),
                       [](const QString &alias) { return readable.contains(alias); });
}

} // namespace

QSet<QString> readableImageTypes()
{
    // Qt's own readers, then its plugins' by their metadata. QImageReader::supportedMimeTypes()
    // would load every plugin and the libraries behind them (TIFF, WebP, Qt PDF...) into Mirel,
    // which decodes no picture itself: its preview process does, with the same plugins.
    QSet<QString> types = {u"image/png"_s,
                           u"image/bmp"_s,
                           u"image/x-portable-bitmap"_s,
                           u"image/x-portable-graymap"_s,
                           u"image/x-portable-pixmap"_s,
                           u"image/x-xbitmap"_s,
                           u"image/x-xpixmap"_s};
    for (const QString &folder : QCoreApplication::libraryPaths()) {
        QDirIterator plugins(folder + u"/imageformats"_s, QDir::Files);
        while (plugins.hasNext()) {
            const QJsonObject about =
                QPluginLoader(plugins.next()).metaData().value("MetaData"_L1).toObject();
            for (const QJsonValue type : about.value("MimeTypes"_L1).toArray())
                types.insert(type.toString());
        }
    }
    return types;
}

bool isListedArchive(const QMimeType &mime)
{
    static const QStringList archives = {
        u"application/zip"_s,
        u"application/x-tar"_s,
        u"application/x-compressed-tar"_s,
        u"application/x-bzip-compressed-tar"_s,
        u"application/x-bzip2-compressed-tar"_s,
        u"application/x-xz-compressed-tar"_s,
        u"application/x-zstd-compressed-tar"_s,
        u"application/x-7z-compressed"_s,
        u"application/vnd.rar"_s,
        u"application/x-rar"_s,
        u"application/vnd.debian.binary-package"_s,
        u"application/x-deb"_s,
    };
    if (!mime.isValid())
        return false;
    if (archives.contains(mime.name()))
        return true;
    const QStringList aliases = mime.aliases();
    return std::any_of(aliases.begin(), aliases.end(),
                       [](const QString &alias) { return archives.contains(alias); });
}

PreviewKind previewKindFor(const QMimeType &mime)
{
    if (!mime.isValid())
        return PreviewKind::InfoCard;
    // PDF first: Qt's image plugins can read PDF too, but only as one flat page.
    if (mime.inherits(u"application/pdf"_s))
        return PreviewKind::Pdf;
    // Before text: SVG is XML, which counts as text.
    if (isReadableImage(mime))
        return PreviewKind::Image;
    const QString name = mime.name();
    if (name.startsWith(u"video/"_s))
        return PreviewKind::Video;
    if (name.startsWith(u"audio/"_s))
        return PreviewKind::Audio;
    if (mime.inherits(u"text/plain"_s))
        return PreviewKind::Text;
    if (isListedArchive(mime))
        return PreviewKind::Archive;
    return PreviewKind::InfoCard;
}
