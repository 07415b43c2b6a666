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

FileResult Trash::moveToTrash(const QString &path)
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
    const QByteArray info =
        infoContents(infoPathFor(file, parent, folder), QDateTime::currentDateTime());
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
        const int error = NoReplaceMove::renameNoReplace(file, folder.root + "/files/" + entry);
        if (error == 0)
            return FileResult::success();
        ::unlink(infoPath.constData());
        if (error != EEXIST)
            return failure(path, error, qt_error_string(error));
    }
    return failure(path, EEXIST, u"every name in the Trash is taken"_s);
}
