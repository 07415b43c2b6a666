// SPDX-License-Identifier: GPL-3.0-or-later
#include "PreviewKind.h"

#include <QImageReader>
#include <QMimeType>

using namespace Qt::StringLiterals;

namespace {

bool isReadableImage(const QMimeType &mime)
{
    static const QList<QByteArray> readable = QImageReader::supportedMimeTypes();
    if (readable.contains(mime.name().toLatin1()))
        return true;
    const QStringList aliases = mime.aliases();
    return std::any_of(aliases.begin(), aliases.end(),
                       [](const QString &alias) { return readable.contains(alias.toLatin1()); });
}

} // namespace

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
