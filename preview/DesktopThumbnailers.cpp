// SPDX-License-Identifier: GPL-3.0-or-later
#include "DesktopThumbnailers.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMimeDatabase>
#include <QSet>

#include <sys/stat.h>

using namespace Qt::StringLiterals;

namespace {

constexpr qint64 largestEntryFile = 64 * 1024;

// The escapes of a desktop entry's string values.
QString unescaped(const QString &value)
{
    QString result;
    result.reserve(value.size());
    for (qsizetype i = 0; i < value.size(); ++i) {
        const QChar c = value.at(i);
        if (c != u'\\' || i + 1 == value.size()) {
            result += c;
            continue;
        }
        const QChar next = value.at(++i);
        if (next == u's')
            result += u' ';
        else if (next == u'n')
            result += u'\n';
        else if (next == u't')
            result += u'\t';
        else if (next == u'r')
            result += u'\r';
        else if (next == u'\\')
            result += u'\\';
        else
            result += u'\\', result += next; // left for the Exec quoting to read
    }
    return result;
}

QStringList dataFolders()
{
    QStringList folders;
    QString home = qEnvironmentVariable("XDG_DATA_HOME");
    if (home.isEmpty() || QDir::isRelativePath(home))
        home = QDir::homePath() + u"/.local/share"_s;
    folders.append(home);
    QString dirs = qEnvironmentVariable("XDG_DATA_DIRS");
    if (dirs.isEmpty())
        dirs = u"/usr/local/share:/usr/share"_s;
    for (const QString &dir : dirs.split(u':', Qt::SkipEmptyParts)) {
        if (QDir::isAbsolutePath(dir))
            folders.append(dir);
    }
    return folders;
}

bool installed(const DesktopThumbnailer &thumbnailer)
{
    if (!thumbnailer.tryExec.isEmpty() &&
        ThumbnailerSandbox::findProgram(thumbnailer.tryExec).isEmpty())
        return false;
    const QStringList command = ThumbnailerSandbox::expandExec(thumbnailer.exec, {});
    return !command.isEmpty() && !ThumbnailerSandbox::findProgram(command.first()).isEmpty();
}

} // namespace

QStringList DesktopThumbnailers::searchFolders()
{
    QStringList folders;
    for (const QString &data : dataFolders()) {
        const QString folder = QDir::cleanPath(data + u"/thumbnailers"_s);
        if (!folders.contains(folder))
            folders.append(folder);
    }
    return folders;
}

std::optional<DesktopThumbnailer> DesktopThumbnailers::parse(const QString &file)
{
    QFile entry(file);
    if (QFileInfo(file).size() > largestEntryFile || !entry.open(QIODevice::ReadOnly))
        return std::nullopt;
    DesktopThumbnailer thumbnailer;
    thumbnailer.file = file;
    thumbnailer.id = QFileInfo(file).completeBaseName();
    bool inGroup = false;
    while (!entry.atEnd()) {
        const QString line = QString::fromUtf8(entry.readLine(largestEntryFile)).trimmed();
        if (line.isEmpty() || line.startsWith(u'#'))
            continue;
        if (line.startsWith(u'[')) {
            inGroup = line == u"[Thumbnailer Entry]"_s;
            continue;
        }
        const qsizetype equals = line.indexOf(u'=');
        if (!inGroup || equals < 0)
            continue;
        const QString key = line.left(equals).trimmed();
        const QString value = unescaped(line.mid(equals + 1).trimmed());
        if (key == u"TryExec"_s)
            thumbnailer.tryExec = value;
        else if (key == u"Exec"_s)
            thumbnailer.exec = value;
        else if (key == u"MimeType"_s)
            thumbnailer.mimeTypes = value.split(u';', Qt::SkipEmptyParts);
    }
    if (thumbnailer.exec.isEmpty() || thumbnailer.mimeTypes.isEmpty())
        return std::nullopt;
    return thumbnailer;
}

DesktopThumbnailers::DesktopThumbnailers(const QStringList &folders)
{
    QSet<QString> seen;
    for (const QString &folder : folders) {
        const QStringList names =
            QDir(folder).entryList({u"*.thumbnailer"_s}, QDir::Files, QDir::Name);
        for (const QString &name : names) {
            const auto thumbnailer = parse(folder + u'/' + name);
            if (!thumbnailer || seen.contains(thumbnailer->id))
                continue;
            seen.insert(thumbnailer->id);
            m_thumbnailers.append(*thumbnailer);
        }
    }
}

const DesktopThumbnailers &DesktopThumbnailers::registered()
{
    // Read once, on the first preview thread that asks; the folders hold a few small files.
    static const DesktopThumbnailers thumbnailers;
    return thumbnailers;
}

std::optional<DesktopThumbnailer> DesktopThumbnailers::forMimeType(const QString &mimeType) const
{
    QStringList wanted = {mimeType};
    const QMimeType mime = QMimeDatabase().mimeTypeForName(mimeType);
    if (mime.isValid()) {
        wanted = QStringList{mime.name()} + mime.aliases();
        // Nearest first: Qt lists parents before their own parents.
        for (const QString &ancestor : mime.allAncestors()) {
            // Everything derives from these; a thumbnailer for them is no match for a kind.
            if (ancestor != u"application/octet-stream"_s && ancestor != u"text/plain"_s)
                wanted.append(ancestor);
        }
    }
    for (const QString &type : wanted) {
        for (const DesktopThumbnailer &thumbnailer : m_thumbnailers) {
            if (thumbnailer.mimeTypes.contains(type, Qt::CaseInsensitive) && installed(thumbnailer))
                return thumbnailer;
        }
    }
    return std::nullopt;
}

QImage DesktopThumbnailers::thumbnail(const QString &path, int fd, const QString &mimeType,
                                      ThumbnailCache::Flavor flavor, const ThumbnailCache &cache,
                                      const ThumbnailerSandbox::Options &options) const
{
    struct stat attributes = {};
    if (cache.contains(path) || fstat(fd, &attributes) != 0 || !S_ISREG(attributes.st_mode))
        return QImage();
    const qint64 mtime = qint64(attributes.st_mtim.tv_sec);
    QImage cached = cache.find(path, flavor, mtime);
    if (!cached.isNull() || cache.hasFailure(path, mtime))
        return cached;
    const auto thumbnailer = forMimeType(mimeType);
    if (!thumbnailer)
        return QImage();

    ThumbnailerSandbox::Options wanted = options;
    wanted.size = ThumbnailCache::pixelSize(flavor);
    if (wanted.nameHint.isEmpty())
        wanted.nameHint = QFileInfo(path).fileName();
    const auto result = ThumbnailerSandbox::run(thumbnailer->exec, fd, wanted);
    switch (result.outcome) {
    case ThumbnailerSandbox::Outcome::Made:
        cache.store(path, flavor, mtime, result.image, mimeType, qint64(attributes.st_size));
        return result.image;
    case ThumbnailerSandbox::Outcome::CouldNotStart:
    case ThumbnailerSandbox::Outcome::Cancelled:
        // Not this file's fault: worth another try when the machine is set up, or when the
        // file is on screen again.
        return QImage();
    case ThumbnailerSandbox::Outcome::Failed:
    case ThumbnailerSandbox::Outcome::TimedOut:
    case ThumbnailerSandbox::Outcome::NoOutput:
    case ThumbnailerSandbox::Outcome::BadOutput:
        cache.storeFailure(path, mtime);
        return QImage();
    }
    return QImage();
}

ThumbnailerSandbox::Result
DesktopThumbnailers::picture(int fd, const QString &mimeType,
                             const ThumbnailerSandbox::Options &options) const
{
    const auto thumbnailer = forMimeType(mimeType);
    if (!thumbnailer) {
        ThumbnailerSandbox::Result none;
        none.detail = u"no thumbnailer for %1"_s.arg(mimeType);
        return none;
    }
    return ThumbnailerSandbox::run(thumbnailer->exec, fd, options);
}
