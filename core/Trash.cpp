// SPDX-License-Identifier: GPL-3.0-or-later
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

using PosixPaths::UniqueFd;

// files/ and info/ of the chosen trash, opened and checked once; everything is written
// relative to them, so a folder swapped for a link afterwards is never followed.
struct TrashFolder
{
    QByteArray root; // holds files/ and info/: an item goes to root/files/<entry>
    UniqueFd files;
    UniqueFd info;
    dev_t device = 0;
    QByteArray topDir; // empty for the home trash, whose Path= is absolute
};

std::function<void()> &checkedHook()
{
    static std::function<void()> hook;
    return hook;
}

// Opens the folder `name` inside `parent`, never through a link, creating it (0700) first
// when asked. Sets errno on failure.
UniqueFd openFolderAt(int parent, const QByteArray &name, bool create, struct stat &attributes)
{
    if (create && ::mkdirat(parent, name.constData(), 0700) != 0 && errno != EEXIST)
        return {};
    UniqueFd fd(
        ::openat(parent, name.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    if (fd.isValid() && ::fstat(fd.get(), &attributes) != 0)
        return {};
    return fd;
}

// A trash root Mirel may put the user's files in: a real folder owned by the user, with
// files/ and info/ of the user's own. Returns 0 or an errno code.
int openTrashRoot(const UniqueFd &fd, const QByteArray &root, TrashFolder &folder)
{
    struct stat attributes = {};
    if (!fd.isValid())
        return errno;
    if (::fstat(fd.get(), &attributes) != 0)
        return errno;
    if (attributes.st_uid != ::getuid())
        return EPERM;
    folder.device = attributes.st_dev;
    folder.root = root;
    for (const auto &[name, folderFd] :
         {std::pair("files", &folder.files), std::pair("info", &folder.info)}) {
        *folderFd = openFolderAt(fd.get(), name, true, attributes);
        if (!folderFd->isValid())
            return errno;
        if (attributes.st_uid != ::getuid())
            return EPERM;
    }
    return 0;
}

QByteArray homeTrashRoot()
{
    QByteArray dataHome = qgetenv("XDG_DATA_HOME");
    if (!dataHome.startsWith('/'))
        dataHome = QFile::encodeName(QDir::homePath()) + "/.local/share";
    return dataHome + "/Trash";
}

int openHomeTrash(TrashFolder &folder)
{
    const QByteArray root = homeTrashRoot();
    if (const int error = PosixPaths::makePath(root, 0700))
        return error;
    return openTrashRoot(
        UniqueFd(::open(root.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC)), root,
        folder);
}

// The drive of the home trash, found through its nearest existing folder when the trash
// itself cannot be made.
dev_t homeTrashDevice()
{
    for (QByteArray path = homeTrashRoot();; path = FileNames::parentPath(path)) {
        struct stat attributes = {};
        if (::stat(path.constData(), &attributes) == 0)
            return attributes.st_dev;
        if (path == "/")
            return dev_t(-1);
    }
}

// The resolved path of an open folder.
QByteArray pathOf(int folder)
{
    const QByteArray link = "/proc/self/fd/" + QByteArray::number(folder);
    char resolved[PATH_MAX];
    const ssize_t length = ::readlink(link.constData(), resolved, sizeof resolved);
    if (length <= 0 || length >= qsizetype(sizeof resolved) || resolved[0] != '/') {
        errno = length < 0 ? errno : ENOENT;
        return {};
    }
    return QByteArray(resolved, length);
}

// Whether the two open folders lie under the same mount point: a rename between two mounts
// fails even on one drive.
bool onSameMount(int first, int second)
{
    const QByteArray firstPath = pathOf(first);
    const QByteArray secondPath = pathOf(second);
    return firstPath.isEmpty() || secondPath.isEmpty() ||
           Trash::mountPointOf(firstPath) == Trash::mountPointOf(secondPath);
}

// The trash folder for an item on another mount than the home trash. Returns 0 or an errno
// code.
int openMountTrash(const QByteArray &topDir, dev_t device, TrashFolder &folder)
{
    const UniqueFd top(::open(topDir.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    struct stat attributes = {};
    if (!top.isValid() || ::fstat(top.get(), &attributes) != 0)
        return errno;
    if (attributes.st_dev != device)
        return EXDEV; // the mount table does not describe the item's drive
    folder.topDir = topDir;
    const QByteArray uid = QByteArray::number(::getuid());
    const QByteArray base = topDir == "/" ? QByteArray() : topDir;
    // An administrator-made ".Trash" counts only as a real folder with the sticky bit, owned
    // by root or the user: whoever owns it can swap the users' folders inside.
    const UniqueFd shared = openFolderAt(top.get(), ".Trash", false, attributes);
    if (shared.isValid() && (attributes.st_mode & S_ISVTX) &&
        (attributes.st_uid == 0 || attributes.st_uid == ::getuid())) {
        if (openTrashRoot(openFolderAt(shared.get(), uid, true, attributes),
                          base + "/.Trash/" + uid, folder) == 0)
            return 0;
    }
    return openTrashRoot(openFolderAt(top.get(), ".Trash-" + uid, true, attributes),
                         base + "/.Trash-" + uid, folder);
}

// Path= of the info file: absolute for the home trash, relative to the mount's top folder
// (through the resolved parent folder) for a mount's own trash.
QByteArray infoPathFor(const QByteArray &file, const QByteArray &parent, const TrashFolder &folder)
{
    if (folder.topDir.isEmpty() && file.startsWith('/'))
        return file;
    const QByteArray resolved =
        parent + (parent.endsWith('/') ? "" : "/") + FileNames::fileName(file);
    if (folder.topDir.isEmpty())
        return resolved;
    if (folder.topDir == "/")
        return resolved.sliced(1);
    return resolved.sliced(folder.topDir.size() + 1);
}

// The name in files/, shortened so that "<name>.trashinfo" fits a file name; a UTF-8 name
// is cut between characters, so the file manager shows what is left.
QByteArray trashName(const QByteArray &name, int attempt)
{
    const QByteArray suffix = attempt == 1 ? QByteArray() : '.' + QByteArray::number(attempt);
    const qsizetype room = NAME_MAX - qsizetype(sizeof(".trashinfo") - 1) - suffix.size();
    qsizetype cut = std::min(name.size(), room);
    if (cut < name.size() && name.isValidUtf8()) {
        while (cut > 0 && (uchar(name.at(cut)) & 0xC0) == 0x80)
            --cut;
    }
    return name.first(cut) + suffix;
}

FileResult failure(const QString &path, int code, const QString &reason)
{
    return FileResult::failure(code, u"\"%1\" could not be moved to the Trash: %2"_s.arg(
                                         FileNames::fileName(path), reason));
}

qint64 changedNs(const struct stat &attributes)
{
    return qint64(attributes.st_ctim.tv_sec) * 1'000'000'000 + attributes.st_ctim.tv_nsec;
}

FileResult restoreFailure(const QString &to, int code, const QString &reason)
{
    return FileResult::failure(
        code, u"\"%1\" could not be put back: %2"_s.arg(FileNames::fileName(to), reason));
}

UniqueFd openFolder(const QByteArray &path)
{
    return UniqueFd(::open(path.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
}

// The Path= value of a .trashinfo, unescaped; empty when it is not a file Mirel can read.
QByteArray infoOriginalPath(int folder, const QByteArray &name)
{
    // Never blocks on a FIFO put in its place; never follows a link.
    const UniqueFd fd(
        ::openat(folder, name.constData(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
    constexpr qsizetype maxInfoSize = 64 * 1024;
    struct stat opened = {};
    if (!fd.isValid() || ::fstat(fd.get(), &opened) != 0 || !S_ISREG(opened.st_mode) ||
        opened.st_size >= maxInfoSize)
        return {};
    QByteArray contents(maxInfoSize, Qt::Uninitialized);
    const ssize_t count = ::read(fd.get(), contents.data(), size_t(contents.size()));
    contents.resize(count > 0 ? qsizetype(count) : 0);
    for (const QByteArray &line : contents.split('\n')) {
        if (line.startsWith("Path="))
            return QByteArray::fromPercentEncoding(line.sliced(5));
    }
    return {};
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

void Trash::setCheckedHook(std::function<void()> hook)
{
    checkedHook() = std::move(hook);
}

FileResult Trash::moveToTrash(const QString &path, const FileIdentity &expected,
                              TrashedItem *trashed)
{
    const QByteArray file = PathCodec::encode(path);
    const QByteArray name = FileNames::fileName(file);
    // The item's folder is opened once and the item is checked and moved relative to it, so
    // what was checked is what moves.
    const UniqueFd source(
        ::open(FileNames::parentPath(file).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    struct stat item = {};
    if (!source.isValid() ||
        ::fstatat(source.get(), name.constData(), &item, AT_SYMLINK_NOFOLLOW) != 0)
        return failure(path, errno, qt_error_string(errno));
    if (!expected.matches(item))
        return failure(path, ESTALE, NoReplaceMove::replacedReason());

    TrashFolder folder;
    QByteArray parent; // resolved, where Path= needs it
    const int homeError = openHomeTrash(folder);
    // A folder mounted on its own (a bind mount of a folder of the same drive) is a mount of
    // its own all the same: nothing can be renamed out of it, so it has a trash of its own.
    const bool ownMount = homeError == 0 && folder.device == item.st_dev &&
                          !onSameMount(source.get(), folder.files.get());
    if (homeError != 0 || folder.device != item.st_dev || ownMount) {
        // A file on the home drive belongs in the home trash; never in a trash at the top of
        // that drive, which may be the root of the system.
        if (homeError != 0 && item.st_dev == homeTrashDevice()) {
            return failure(path, homeError,
                           u"the Trash in the home folder cannot be used: %1"_s.arg(
                               qt_error_string(homeError)));
        }
        folder = TrashFolder();
        parent = pathOf(source.get());
        if (parent.isEmpty())
            return failure(path, errno, qt_error_string(errno));
        const QByteArray topDir = mountPointOf(parent);
        if (const int error = openMountTrash(topDir, item.st_dev, folder)) {
            return failure(path, error,
                           u"there is no Trash on the drive that holds it (%1): %2"_s.arg(
                               PathCodec::decode(topDir), qt_error_string(error)));
        }
    }
    if (!file.startsWith('/') && parent.isEmpty() && (parent = pathOf(source.get())).isEmpty())
        return failure(path, errno, qt_error_string(errno));
    if (checkedHook())
        checkedHook()();

    const QByteArray originalPath = infoPathFor(file, parent, folder);
    const QByteArray info = infoContents(originalPath, QDateTime::currentDateTime());
    for (int attempt = 1; attempt < 10000; ++attempt) {
        const QByteArray entry = trashName(name, attempt);
        const QByteArray infoName = entry + ".trashinfo";
        const int fd = ::openat(folder.info.get(), infoName.constData(),
                                O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
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
            ::unlinkat(folder.info.get(), infoName.constData(), 0);
            return failure(path, writeError, qt_error_string(writeError));
        }
        const int error =
            NoReplaceMove::renameNoReplaceAt(source.get(), name, folder.files.get(), entry);
        if (error == 0) {
            if (trashed) {
                struct stat placed = item;
                ::fstatat(folder.files.get(), entry.constData(), &placed, AT_SYMLINK_NOFOLLOW);
                *trashed = {PathCodec::decode(QByteArray(folder.root + "/files/" + entry)),
                            PathCodec::decode(QByteArray(folder.root + "/info/" + infoName)),
                            originalPath, FileIdentity::of(placed), changedNs(placed)};
            }
            return FileResult::success();
        }
        ::unlinkat(folder.info.get(), infoName.constData(), 0);
        if (error != EEXIST)
            return failure(path, error, qt_error_string(error));
    }
    return failure(path, EEXIST, u"every name in the Trash is taken"_s);
}

FileResult Trash::restore(const TrashedItem &item, const QString &to)
{
    const QByteArray file = PathCodec::encode(item.filePath);
    const QByteArray info = PathCodec::encode(item.infoPath);
    const QByteArray target = PathCodec::encode(to);
    const QByteArray entry = FileNames::fileName(file);
    const QByteArray infoName = FileNames::fileName(info);
    // Each folder is opened once; the checks and the moves are relative to it.
    const UniqueFd files = openFolder(FileNames::parentPath(file));
    const UniqueFd infos = openFolder(FileNames::parentPath(info));
    struct stat attributes = {};
    if (!files.isValid() ||
        ::fstatat(files.get(), entry.constData(), &attributes, AT_SYMLINK_NOFOLLOW) != 0 ||
        !item.identity.matches(attributes) || changedNs(attributes) != item.changedNs) {
        return restoreFailure(to, ENOENT, u"it is no longer in the Trash"_s);
    }
    if (!infos.isValid() || infoOriginalPath(infos.get(), infoName) != item.originalPath)
        return restoreFailure(to, ENOENT, u"its Trash entry no longer names \"%1\""_s.arg(to));
    const UniqueFd parent(
        ::open(FileNames::parentPath(target).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!parent.isValid())
        return restoreFailure(to, errno, qt_error_string(errno));
    if (const int error = NoReplaceMove::renameNoReplaceAt(files.get(), entry, parent.get(),
                                                           FileNames::fileName(target))) {
        if (error == EEXIST)
            return restoreFailure(to, error, u"\"%1\" already exists"_s.arg(to));
        return restoreFailure(to, error, qt_error_string(error));
    }
    ::unlinkat(infos.get(), infoName.constData(), 0);
    return FileResult::success();
}
