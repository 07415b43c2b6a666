#include "Trash.h"

#include "FileNames.h"
#include "NoReplaceMove.h"
#include "PathCodec.h"
#include "PosixPaths.h"

#include <QDir>
#include <QFile>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {

struct TrashFolder
{
    QByteArray root;   // holds files/ and info/
    QByteArray topDir; // empty for the home trash, whose Path= is absolute
};

bool makeFolder(const QByteArray &path, mode_t mode)
{
    return ::mkdir(path.constData(), mode) == 0 || errno == EEXIST;
}

// A folder Mirel may put the user's files in: a real folder (not a link) owned by the user.
bool isOwnFolder(const QByteArray &path)
{
    struct stat attributes = {};
    return ::lstat(path.constData(), &attributes) == 0 && S_ISDIR(attributes.st_mode) &&
           attributes.st_uid == ::getuid();
}

bool prepare(const QByteArray &root)
{
    return isOwnFolder(root) && makeFolder(root + "/files", 0700) &&
           makeFolder(root + "/info", 0700) && isOwnFolder(root + "/files") &&
           isOwnFolder(root + "/info");
}

dev_t deviceOf(const QByteArray &path)
{
    struct stat attributes = {};
    return ::stat(path.constData(), &attributes) == 0 ? attributes.st_dev : dev_t(-1);
}

QByteArray homeTrashRoot()
{
    QByteArray dataHome = qgetenv("XDG_DATA_HOME");
    if (!dataHome.startsWith('/'))
        dataHome = QFile::encodeName(QDir::homePath()) + "/.local/share";
    return dataHome + "/Trash";
}

QByteArray resolvedParent(const QByteArray &file)
{
    char resolved[PATH_MAX];
    return ::realpath(PosixPaths::parentOf(file).constData(), resolved) ? QByteArray(resolved)
                                                                        : QByteArray();
}

// The trash folder for an item on another mount than the home trash, or an error code.
int topDirTrash(const QByteArray &topDir, TrashFolder &folder)
{
    const QByteArray uid = QByteArray::number(::getuid());
    const QByteArray base = topDir == "/" ? QByteArray() : topDir;
    // An administrator-made ".Trash" counts only as a real folder with the sticky bit.
    struct stat shared = {};
    const QByteArray sharedTrash = base + "/.Trash";
    if (::lstat(sharedTrash.constData(), &shared) == 0 && S_ISDIR(shared.st_mode) &&
        (shared.st_mode & S_ISVTX)) {
        const QByteArray root = sharedTrash + '/' + uid;
        if (makeFolder(root, 0700) && prepare(root)) {
            folder = {root, topDir};
            return 0;
        }
    }
    const QByteArray root = base + "/.Trash-" + uid;
    if (!makeFolder(root, 0700))
        return errno;
    if (!prepare(root))
        return EPERM;
    folder = {root, topDir};
    return 0;
}

// Path= of the info file: absolute for the home trash, relative to the mount's top folder
// (through the resolved parent folder) for a mount's own trash.
QByteArray infoPathFor(const QByteArray &file, const QByteArray &parent, const TrashFolder &folder)
{
    if (folder.topDir.isEmpty())
        return file;
    const QByteArray resolved =
        parent + (parent.endsWith('/') ? "" : "/") + PosixPaths::nameOf(file);
    if (folder.topDir == "/")
        return resolved.sliced(1);
    return resolved.sliced(folder.topDir.size() + 1);
}

// The name in files/, shortened so that "<name>.trashinfo" fits a file name.
QByteArray trashName(const QByteArray &name, int attempt)
{
    const QByteArray suffix = attempt == 1 ? QByteArray() : '.' + QByteArray::number(attempt);
    const qsizetype room = NAME_MAX - qsizetype(sizeof(".trashinfo") - 1) - suffix.size();
    return name.first(std::min(name.size(), room)) + suffix;
}

qint64 changedNs(const struct stat &attributes)
{
    return qint64(attributes.st_ctim.tv_sec) * 1'000'000'000 + attributes.st_ctim.tv_nsec;
}

FileResult failure(const QString &path, int code, const QString &reason)
{
    return FileResult::failure(code, u"\"%1\" could not be moved to the Trash: %2"_s.arg(
                                         FileNames::fileName(path), reason));
}

} // namespace

QByteArray Trash::infoContents(const QByteArray &path, const QDateTime &when)
{
    return "[Trash Info]\nPath=" + path.toPercentEncoding("/") +
           "\nDeletionDate=" + when.toString(u"yyyy-MM-ddTHH:mm:ss"_s).toLatin1() + '\n';
}

QByteArray Trash::mountPointOf(const QByteArray &resolvedPath)
{
    QFile mounts(u"/proc/self/mountinfo"_s);
    QByteArray best = "/";
    if (!mounts.open(QIODevice::ReadOnly))
        return best;
    for (const QByteArray &line : mounts.readAll().split('\n')) {
        const QList<QByteArray> fields = line.split(' ');
        if (fields.size() < 5)
            continue;
        // Mount points escape space, tab, newline and backslash as octal.
        QByteArray point = fields.at(4);
        for (qsizetype i = point.indexOf('\\'); i >= 0; i = point.indexOf('\\', i + 1)) {
            bool ok = false;
            const QByteArray digits = point.mid(i + 1, 3);
            const int code = digits.toInt(&ok, 8);
            if (ok && digits.size() == 3)
                point.replace(i, 4, QByteArray(1, char(code)));
        }
        const bool inside = point == "/" || resolvedPath == point ||
                            resolvedPath.startsWith(QByteArray(point + '/'));
        if (inside && point.size() >= best.size())
            best = point;
    }
    return best;
}

FileResult Trash::moveToTrash(const QString &path, TrashedItem *trashed)
{
    const QByteArray file = PathCodec::encode(path);
    struct stat item = {};
    if (::lstat(file.constData(), &item) != 0)
        return failure(path, errno, qt_error_string(errno));

    TrashFolder folder;
    QByteArray parent;
    const QByteArray homeRoot = homeTrashRoot();
    const bool homeReady = PosixPaths::makePath(homeRoot, 0700) == 0 && prepare(homeRoot);
    if (homeReady && deviceOf(homeRoot + "/files") == item.st_dev) {
        folder = {homeRoot, {}};
    } else {
        parent = resolvedParent(file);
        if (parent.isEmpty())
            return failure(path, errno, qt_error_string(errno));
        const QByteArray topDir = mountPointOf(parent);
        if (const int error = topDirTrash(topDir, folder)) {
            return failure(path, error,
                           u"there is no Trash on the drive that holds it (%1): %2"_s.arg(
                               PathCodec::decode(topDir), qt_error_string(error)));
        }
    }

    const QByteArray name = PosixPaths::nameOf(file);
    const QByteArray originalPath = infoPathFor(file, parent, folder);
    const QByteArray info = infoContents(originalPath, QDateTime::currentDateTime());
    for (int attempt = 1; attempt < 10000; ++attempt) {
        const QByteArray entry = trashName(name, attempt);
        const QByteArray infoPath = folder.root + "/info/" + entry + ".trashinfo";
        const int fd = ::open(infoPath.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
        if (fd < 0) {
            if (errno == EEXIST)
                continue;
            return failure(path, errno, qt_error_string(errno));
        }
        const ssize_t count = ::write(fd, info.constData(), size_t(info.size()));
        int writeError = count < 0 ? errno : (count != info.size() ? EIO : 0);
        if (::close(fd) != 0 && writeError == 0)
            writeError = errno;
        if (writeError != 0) {
            ::unlink(infoPath.constData());
            return failure(path, writeError, qt_error_string(writeError));
        }
        const QByteArray trashedPath = folder.root + "/files/" + entry;
        const int error = NoReplaceMove::renameNoReplace(file, trashedPath);
        if (error == 0) {
            if (trashed) {
                struct stat placed = item;
                ::lstat(trashedPath.constData(), &placed);
                *trashed = {
                    PathCodec::decode(trashedPath), PathCodec::decode(infoPath), originalPath,
                    quint64(placed.st_dev),         quint64(placed.st_ino),      changedNs(placed)};
            }
            return FileResult::success();
        }
        ::unlink(infoPath.constData());
        if (error != EEXIST)
            return failure(path, error, qt_error_string(error));
    }
    return failure(path, EEXIST, u"every name in the Trash is taken"_s);
}

namespace {

FileResult restoreFailure(const QString &to, int code, const QString &reason)
{
    return FileResult::failure(
        code, u"\"%1\" could not be put back: %2"_s.arg(FileNames::fileName(to), reason));
}

// The Path= value of a .trashinfo, unescaped; empty when the file is not one Mirel can read.
QByteArray infoOriginalPath(const QByteArray &infoPath)
{
    // Never blocks on a FIFO put in its place; never follows a link.
    const int fd = ::open(infoPath.constData(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return {};
    QByteArray contents;
    struct stat opened = {};
    constexpr qsizetype maxInfoSize = 64 * 1024;
    if (::fstat(fd, &opened) == 0 && S_ISREG(opened.st_mode) && opened.st_size < maxInfoSize) {
        contents.resize(maxInfoSize);
        const ssize_t count = ::read(fd, contents.data(), size_t(contents.size()));
        contents.resize(count > 0 ? qsizetype(count) : 0);
    }
    ::close(fd);
    for (const QByteArray &line : contents.split('\n')) {
        if (line.startsWith("Path="))
            return QByteArray::fromPercentEncoding(line.sliced(5));
    }
    return {};
}

} // namespace

FileResult Trash::restore(const TrashedItem &item, const QString &to)
{
    const QByteArray file = PathCodec::encode(item.filePath);
    const QByteArray info = PathCodec::encode(item.infoPath);
    struct stat attributes = {};
    if (::lstat(file.constData(), &attributes) != 0 || quint64(attributes.st_dev) != item.device ||
        quint64(attributes.st_ino) != item.inode || changedNs(attributes) != item.changedNs) {
        return restoreFailure(to, ENOENT, u"it is no longer in the Trash"_s);
    }
    if (infoOriginalPath(info) != item.originalPath)
        return restoreFailure(to, ENOENT, u"its Trash entry no longer names \"%1\""_s.arg(to));
    const QByteArray target = PathCodec::encode(to);
    if (const int error = NoReplaceMove::renameNoReplace(file, target)) {
        if (error == EEXIST)
            return restoreFailure(to, error, u"\"%1\" already exists"_s.arg(to));
        return restoreFailure(to, error, qt_error_string(error));
    }
    ::unlink(info.constData());
    return FileResult::success();
}
