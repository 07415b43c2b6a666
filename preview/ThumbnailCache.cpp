// SPDX-License-Identifier: GPL-3.0-or-later
#include "ThumbnailCache.h"

#include "PathCodec.h"
#include "PngWriter.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDir>
#include <QFileInfo>
#include <QImageReader>
#include <QTemporaryFile>

#include <cstdio>
#include <string_view>

using namespace Qt::StringLiterals;

namespace {

const QString uriKey = u"Thumb::URI"_s;
const QString mtimeKey = u"Thumb::MTime"_s;
constexpr QFile::Permissions privateFolder = QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner;
constexpr QFile::Permissions privateFile = QFile::ReadOwner | QFile::WriteOwner;

// Creates the missing folders of `path`, each readable by the owner only, as the
// standard asks for the cache. Folders that already exist are left as they are.
bool makePrivateFolders(const QString &path)
{
    const QFileInfo info(path);
    if (info.isDir())
        return true;
    if (info.exists() || !makePrivateFolders(info.absolutePath()))
        return false;
    // Another thread may create it at the same moment; that is as good.
    return QDir().mkdir(path, privateFolder) || QFileInfo(path).isDir();
}

bool matches(const QImage &image, const QByteArray &uri, qint64 mtime)
{
    bool valid = false;
    const qint64 stored = image.text(mtimeKey).toLongLong(&valid);
    return valid && stored == mtime && image.text(uriKey).toUtf8() == uri;
}

QImage readEntry(const QString &entryPath)
{
    // Opened here: a reader given a name that does not open tries it with the suffix of every
    // format Qt knows, which loads every image plugin (and Qt PDF behind one) into Mirel.
    QFile file(entryPath);
    if (!file.open(QIODevice::ReadOnly))
        return QImage();
    QImageReader reader(&file, "png");
    reader.setAutoDetectImageFormat(false);
    return reader.read();
}

} // namespace

QString ThumbnailCache::defaultRoot()
{
    // Relative paths in XDG_ variables are invalid and ignored, as the XDG base directory rules
    // say.
    QString base = qEnvironmentVariable("XDG_CACHE_HOME");
    if (base.isEmpty() || QDir::isRelativePath(base))
        base = QDir::homePath() + u"/.cache"_s;
    return QDir::cleanPath(base + u"/thumbnails"_s);
}

int ThumbnailCache::pixelSize(Flavor flavor)
{
    return flavor == Flavor::Large ? 256 : 128;
}

ThumbnailCache::Flavor ThumbnailCache::flavorFor(int wantedPixels)
{
    return wantedPixels > pixelSize(Flavor::Normal) ? Flavor::Large : Flavor::Normal;
}

QByteArray ThumbnailCache::uriOf(const QString &path)
{
    // The name's own bytes, percent-encoded: a name that is not UTF-8 keeps its bytes. What is
    // left as it is matches QUrl, so names that are UTF-8 keep the entries made so far.
    static constexpr std::string_view kept = "-._~!$&'()*+,;=:@/[]";
    const QByteArray bytes = PathCodec::encode(QFileInfo(path).absoluteFilePath());
    QByteArray uri = "file://";
    for (const char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        const bool alphanumeric = (byte >= '0' && byte <= '9') || (byte >= 'A' && byte <= 'Z') ||
                                  (byte >= 'a' && byte <= 'z');
        if (alphanumeric || kept.find(c) != std::string_view::npos)
            uri += c;
        else
            uri += '%' + QByteArray::number(byte, 16).toUpper().rightJustified(2, '0');
    }
    return uri;
}

QString ThumbnailCache::fileNameFor(const QString &path)
{
    const QByteArray md5 = QCryptographicHash::hash(uriOf(path), QCryptographicHash::Md5);
    return QString::fromLatin1(md5.toHex()) + u".png"_s;
}

ThumbnailCache::ThumbnailCache(const QString &root)
    : m_root(QDir::cleanPath(root))
{}

QString ThumbnailCache::entryPath(const QString &path, Flavor flavor) const
{
    const QString folder = flavor == Flavor::Large ? u"large"_s : u"normal"_s;
    return m_root % u'/' % folder % u'/' % fileNameFor(path);
}

QString ThumbnailCache::failurePath(const QString &path) const
{
    return m_root % u"/fail/"_s % failureFolderName() % u'/' % fileNameFor(path);
}

bool ThumbnailCache::contains(const QString &path) const
{
    return QFileInfo(path).absoluteFilePath().startsWith(m_root + u'/');
}

QImage ThumbnailCache::find(const QString &path, Flavor flavor, qint64 mtime) const
{
    QImage image = readEntry(entryPath(path, flavor));
    if (image.isNull() || !matches(image, uriOf(path), mtime))
        return QImage();
    return image;
}

bool ThumbnailCache::store(const QString &path, Flavor flavor, qint64 mtime,
                           const QImage &thumbnail, const QString &mimeType, qint64 fileSize) const
{
    if (thumbnail.isNull())
        return false;
    QImage image = thumbnail;
    image.setText(uriKey, QString::fromUtf8(uriOf(path)));
    image.setText(mtimeKey, QString::number(mtime));
    image.setText(u"Thumb::Size"_s, QString::number(fileSize));
    if (!mimeType.isEmpty())
        image.setText(u"Thumb::Mimetype"_s, mimeType);
    image.setText(u"Software"_s, u"Mirel"_s);
    return write(entryPath(path, flavor), image);
}

bool ThumbnailCache::hasFailure(const QString &path, qint64 mtime) const
{
    const QImage marker = readEntry(failurePath(path));
    return !marker.isNull() && matches(marker, uriOf(path), mtime);
}

bool ThumbnailCache::storeFailure(const QString &path, qint64 mtime) const
{
    // The standard's failure marker: an empty picture that carries the file's keys.
    QImage marker(1, 1, QImage::Format_ARGB32);
    marker.fill(Qt::transparent);
    marker.setText(uriKey, QString::fromUtf8(uriOf(path)));
    marker.setText(mtimeKey, QString::number(mtime));
    return write(failurePath(path), marker);
}

QString ThumbnailCache::failureFolderName()
{
    // Named after the program and its version, so a newer Mirel tries again.
    const QString version = QCoreApplication::applicationVersion();
    return u"mirel-"_s + (version.isEmpty() ? u"0"_s : version);
}

bool ThumbnailCache::write(const QString &target, const QImage &image) const
{
    const QString folder = QFileInfo(target).absolutePath();
    if (!makePrivateFolders(folder))
        return false;
    // Written in full under a temporary name in the same folder, then renamed over the
    // old entry, so a reader never sees half a PNG.
    QTemporaryFile temporary(folder + u"/.mirel-XXXXXX.tmp"_s);
    if (!temporary.open() || !temporary.setPermissions(privateFile))
        return false;
    if (!PngWriter::write(temporary, image) || !temporary.flush())
        return false;
    temporary.close();
    if (std::rename(QFile::encodeName(temporary.fileName()).constData(),
                    QFile::encodeName(target).constData()) != 0)
        return false;
    temporary.setAutoRemove(false);
    return true;
}
