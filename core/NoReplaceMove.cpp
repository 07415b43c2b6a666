// SPDX-License-Identifier: GPL-3.0-or-later
#include "NoReplaceMove.h"

#include "FileNames.h"
#include "PathCodec.h"
#include "PosixPaths.h"

#include <QRandomGenerator>

#include <algorithm>
#include <vector>

#include <cerrno>
#include <cstdio>
#include <ctime>
#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/sendfile.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace Qt::StringLiterals;
using PosixPaths::UniqueFd;

namespace {

using NoReplaceMove::changedError;
using NoReplaceMove::replacedError;

const QByteArray partialPrefix = ".mirel-keep-";
const QByteArray partialSuffix = ".part";
// A partial copy this old that nobody holds was left by a Mirel that was killed.
constexpr time_t stalePartialSeconds = 60;

// A hidden name in the destination folder for the copy in progress, where unnamed files
// are not offered.
QByteArray temporaryName()
{
    const quint64 token = QRandomGenerator::global()->generate64();
    return partialPrefix + QByteArray::number(token, 36) + partialSuffix;
}

// The names in the open `folder` that `wanted` picks, read through a descriptor of its own so
// that the folder's stays where it is.
template<typename Wanted> QList<QByteArray> namesIn(int folder, Wanted wanted)
{
    QList<QByteArray> names;
    const int listFd = ::openat(folder, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    DIR *dir = listFd >= 0 ? ::fdopendir(listFd) : nullptr;
    if (!dir) {
        if (listFd >= 0)
            ::close(listFd);
        return names;
    }
    while (const dirent *item = ::readdir(dir)) {
        if (wanted(*item))
            names.append(QByteArray(item->d_name));
    }
    ::closedir(dir);
    return names;
}

// Removes the partial copies of Mirel's own in the folder that a killed Mirel left behind:
// a minute old, owned by the user and not locked by a copy still running.
void removeStalePartials(int folder)
{
    const QList<QByteArray> names = namesIn(folder, [](const dirent &item) {
        const QByteArrayView name(item.d_name);
        return name.startsWith(partialPrefix) && name.endsWith(partialSuffix);
    });
    const time_t now = ::time(nullptr);
    for (const QByteArray &name : names) {
        struct stat attributes = {};
        if (::fstatat(folder, name.constData(), &attributes, AT_SYMLINK_NOFOLLOW) != 0 ||
            attributes.st_uid != ::getuid() ||
            now - attributes.st_mtim.tv_sec < stalePartialSeconds)
            continue;
        if (S_ISREG(attributes.st_mode)) {
            UniqueFd part(
                ::openat(folder, name.constData(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
            struct stat opened = {};
            if (!part.isValid() || ::fstat(part.get(), &opened) != 0 ||
                opened.st_ino != attributes.st_ino || ::flock(part.get(), LOCK_EX | LOCK_NB) != 0)
                continue; // gone, replaced, or still being written
        } else if (!S_ISLNK(attributes.st_mode)) {
            continue;
        }
        ::unlinkat(folder, name.constData(), 0);
    }
}

// Calls `visit` with each real folder (never a link) directly inside the open `parent`.
template<typename Visit> void forEachFolder(int parent, Visit visit)
{
    const QList<QByteArray> names = namesIn(parent, [](const dirent &item) {
        return item.d_name[0] != '.' && (item.d_type == DT_DIR || item.d_type == DT_UNKNOWN);
    });
    for (const QByteArray &name : names) {
        const UniqueFd folder(
            ::openat(parent, name.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
        if (folder.isValid())
            visit(folder.get());
    }
}

std::function<void()> &beforeSourceRemovedHook()
{
    static std::function<void()> hook;
    return hook;
}

// Large enough that the copy runs at the speed of the drives, small enough that a cancel or
// a progress report never waits long.
constexpr qint64 chunkBytes = 8 << 20;
// What `cp` uses: it fits the processor's cache, which a larger buffer would not.
constexpr size_t bufferBytes = 128 << 10;

enum class CopyWay { InKernel, SendFile, ByHand };

// Copies the bytes [from, to) of `in` to the same offsets of `out`: within the kernel where the
// two file systems allow it, from the source's page cache where they do not, by hand otherwise.
int copyRange(int in, int out, off_t from, off_t to, std::vector<char> &buffer, CopyWay &way,
              const CopyControl *control, qint64 total)
{
    for (off_t offset = from; offset < to;) {
        if (control && control->isCancelled())
            return ECANCELED;
        const size_t wanted = size_t(std::min<qint64>(to - offset, chunkBytes));
        ssize_t copied = -1;
        if (way == CopyWay::InKernel) {
            off_t inOffset = offset;
            off_t outOffset = offset;
            copied = ::copy_file_range(in, &inOffset, out, &outOffset, wanted, 0);
            if (copied < 0 && errno != EINTR) {
                if (errno != EXDEV && errno != ENOSYS && errno != EOPNOTSUPP && errno != EINVAL)
                    return errno;
                way = CopyWay::SendFile; // not offered between these file systems
                continue;
            }
        } else if (way == CopyWay::SendFile) {
            off_t inOffset = offset;
            if (::lseek(out, offset, SEEK_SET) != offset)
                return errno;
            copied = ::sendfile(out, in, &inOffset, wanted);
            if (copied < 0 && errno != EINTR) {
                if (errno != EINVAL && errno != ENOSYS && errno != EOPNOTSUPP)
                    return errno;
                way = CopyWay::ByHand;
                continue;
            }
        } else {
            if (buffer.empty())
                buffer.resize(bufferBytes);
            const qint64 end = offset + qint64(wanted);
            copied = 0;
            while (offset + copied < end) {
                const ssize_t count =
                    ::pread(in, buffer.data(),
                            std::min<size_t>(size_t(end - offset - copied), buffer.size()),
                            offset + copied);
                if (count < 0 && errno == EINTR)
                    continue;
                if (count < 0)
                    return errno;
                if (count == 0)
                    break;
                for (ssize_t done = 0; done < count;) {
                    const ssize_t written = ::pwrite(out, buffer.data() + done,
                                                     size_t(count - done), offset + copied + done);
                    if (written < 0) {
                        if (errno == EINTR)
                            continue;
                        return errno;
                    }
                    done += written;
                }
                copied += count;
            }
        }
        if (copied == 0)
            return 0; // the file shrank: the check before the source goes tells
        if (copied > 0) {
            // Writes the chunk out now and waits for the one before: the final flush stays
            // short (a Quit meanwhile is answered soon) and the progress is that of the disk.
            ::sync_file_range(out, offset, copied, SYNC_FILE_RANGE_WRITE);
            if (offset - from >= chunkBytes)
                ::sync_file_range(out, offset - chunkBytes, chunkBytes,
                                  SYNC_FILE_RANGE_WAIT_BEFORE | SYNC_FILE_RANGE_WRITE |
                                      SYNC_FILE_RANGE_WAIT_AFTER);
            offset += copied;
            if (control && control->progress)
                control->progress(qint64(offset), total);
        }
    }
    return 0;
}

// Copies the first `size` bytes of `in` to `out`, the data only: holes stay holes, so a
// sparse disk image does not arrive fully allocated.
int copyContents(int in, int out, qint64 size, const CopyControl *control)
{
    std::vector<char> buffer;
    CopyWay way = CopyWay::InKernel;
    for (off_t offset = 0; offset < size;) {
        off_t data = ::lseek(in, offset, SEEK_DATA);
        if (data < 0 && errno == ENXIO)
            break; // only a hole is left
        off_t hole = data < 0 ? size : ::lseek(in, data, SEEK_HOLE);
        if (data < 0)
            data = offset; // holes are not reported here: copy everything
        if (hole < 0 || hole > size)
            hole = size;
        if (const int error = copyRange(in, out, data, hole, buffer, way, control, size))
            return error;
        offset = hole;
    }
    if (::ftruncate(out, size) != 0)
        return errno;
    if (control && control->progress)
        control->progress(size, size);
    return 0;
}

// Fills `out` with the contents, permission bits and times of the source and flushes it.
// Only the permission bits: a copy now owned by the user must not become a set-user-ID or
// set-group-ID program of theirs.
int fillCopy(int in, const struct stat &source, int out, const CopyControl *control)
{
    if (const int error = copyContents(in, out, qint64(source.st_size), control))
        return error;
    const struct timespec times[2] = {source.st_atim, source.st_mtim};
    if (::fchmod(out, source.st_mode & 0777) != 0 || ::futimens(out, times) != 0 ||
        ::fsync(out) != 0) {
        return errno;
    }
    return 0;
}

// Writes a flushed copy of the open regular file `in` under the name `target` in `folder`.
// The copy is unnamed until it is complete, so a Mirel killed mid-copy leaves nothing.
int copyRegularFile(int in, const struct stat &source, int folder, const QByteArray &target,
                    const CopyControl *control)
{
    UniqueFd out(::openat(folder, ".", O_TMPFILE | O_WRONLY | O_CLOEXEC, 0600));
    if (out.isValid()) {
        if (const int error = fillCopy(in, source, out.get(), control))
            return error;
        return NoReplaceMove::linkUnnamedAt(out.get(), folder, target);
    }
    if (errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL)
        return errno;
    // Unnamed files are not offered here: a hidden name, locked while it is written so that
    // the clean-up of another Mirel leaves it alone.
    QByteArray temp;
    for (int attempt = 0; attempt < 16 && !out.isValid(); ++attempt) {
        temp = temporaryName();
        out.reset(
            ::openat(folder, temp.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600));
        if (!out.isValid() && errno != EEXIST)
            return errno;
    }
    if (!out.isValid())
        return EEXIST;
    ::flock(out.get(), LOCK_EX | LOCK_NB);
    int error = fillCopy(in, source, out.get(), control);
    if (error == 0)
        error = NoReplaceMove::renameNoReplaceAt(folder, temp, folder, target);
    if (error != 0)
        ::unlinkat(folder, temp.constData(), 0);
    return error;
}

// Opens the listed regular file without blocking (a FIFO put in its place would wait for a
// writer for ever) and checks on the descriptor that it is still that file.
int openSource(int fromFolder, const QByteArray &name, const struct stat &source, UniqueFd &in,
               struct stat &opened)
{
    in.reset(
        ::openat(fromFolder, name.constData(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
    if (!in.isValid())
        return errno == ELOOP ? replacedError : errno;
    if (::fstat(in.get(), &opened) != 0)
        return errno;
    if (!S_ISREG(opened.st_mode) || opened.st_dev != source.st_dev ||
        opened.st_ino != source.st_ino)
        return replacedError;
    return 0;
}

// A symbolic link is copied as the link itself; it is complete the moment it is made.
int copySymlink(int fromFolder, const QByteArray &name, const struct stat &source, int folder,
                const QByteArray &target)
{
    QByteArray contents(qsizetype(source.st_size) + 1, Qt::Uninitialized);
    const ssize_t length =
        ::readlinkat(fromFolder, name.constData(), contents.data(), size_t(contents.size()));
    if (length < 0)
        return errno == EINVAL ? replacedError : errno;
    if (length >= contents.size())
        return replacedError; // the link changed under us
    contents.truncate(length);
    return ::symlinkat(contents.constData(), folder, target.constData()) == 0 ? 0 : errno;
}

// True when the open source was written to since `before` was taken from it: the copy may
// lack what was written, and removing the source would lose it.
bool changedSince(int in, const struct stat &before)
{
    struct stat now = {};
    if (::fstat(in, &now) != 0)
        return true;
    return now.st_size != before.st_size || now.st_mtim.tv_sec != before.st_mtim.tv_sec ||
           now.st_mtim.tv_nsec != before.st_mtim.tv_nsec ||
           now.st_ctim.tv_sec != before.st_ctim.tv_sec ||
           now.st_ctim.tv_nsec != before.st_ctim.tv_nsec;
}

int copyAcross(int fromFolder, const QByteArray &name, const struct stat &source,
               const QByteArray &to, const CopyControl *control)
{
    if (!S_ISREG(source.st_mode) && !S_ISLNK(source.st_mode))
        return EOPNOTSUPP;
    UniqueFd in;
    // The source as opened, before a byte is read: what the copy is compared with at the end.
    struct stat opened = source;
    if (S_ISREG(source.st_mode)) {
        if (const int error = openSource(fromFolder, name, source, in, opened))
            return error;
    }
    UniqueFd folder(
        ::open(FileNames::parentPath(to).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!folder.isValid())
        return errno;
    removeStalePartials(folder.get());
    const QByteArray target = FileNames::fileName(to);
    int error = in.isValid() ? copyRegularFile(in.get(), opened, folder.get(), target, control)
                             : copySymlink(fromFolder, name, source, folder.get(), target);
    if (error != 0)
        return error;
    ::fsync(folder.get());
    if (const std::function<void()> &hook = beforeSourceRemovedHook())
        hook();
    // The source must not exist twice, and what is removed must be what was copied, whole.
    struct stat now = {};
    if (::fstatat(fromFolder, name.constData(), &now, AT_SYMLINK_NOFOLLOW) != 0)
        error = errno;
    else if (now.st_dev != source.st_dev || now.st_ino != source.st_ino)
        error = replacedError;
    else if (in.isValid() && changedSince(in.get(), opened))
        error = changedError;
    else if (control && control->isCancelled())
        error = ECANCELED;
    else if (::unlinkat(fromFolder, name.constData(), 0) != 0)
        error = errno;
    if (error != 0)
        ::unlinkat(folder.get(), target.constData(), 0);
    return error;
}

} // namespace

int NoReplaceMove::renameNoReplaceAt(int fromFolder, const QByteArray &from, int toFolder,
                                     const QByteArray &to)
{
    if (::renameat2(fromFolder, from.constData(), toFolder, to.constData(), RENAME_NOREPLACE) == 0)
        return 0;
    const int error = errno;
    if (error != EINVAL && error != ENOSYS && error != EOPNOTSUPP)
        return error;
    // File systems without RENAME_NOREPLACE: a hard link fails when the name is taken.
    if (::linkat(fromFolder, from.constData(), toFolder, to.constData(), 0) != 0)
        return errno;
    if (::unlinkat(fromFolder, from.constData(), 0) != 0) {
        const int unlinkError = errno;
        ::unlinkat(toFolder, to.constData(), 0);
        return unlinkError;
    }
    return 0;
}

int NoReplaceMove::linkUnnamedAt(int file, int folder, const QByteArray &to)
{
    const QByteArray self = "/proc/self/fd/" + QByteArray::number(file);
    if (::linkat(AT_FDCWD, self.constData(), folder, to.constData(), AT_SYMLINK_FOLLOW) == 0)
        return 0;
    if (errno != ENOENT)
        return errno;
    // No /proc: the descriptor itself (needs privileges on older kernels).
    return ::linkat(file, "", folder, to.constData(), AT_EMPTY_PATH) == 0 ? 0 : errno;
}

int NoReplaceMove::renameNoReplace(const QByteArray &from, const QByteArray &to)
{
    return renameNoReplaceAt(AT_FDCWD, from, AT_FDCWD, to);
}

void NoReplaceMove::sweepStalePartials(const QString &keptRoot)
{
    const UniqueFd root(::open(PathCodec::encode(keptRoot).constData(),
                               O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    if (!root.isValid())
        return;
    forEachFolder(root.get(), [](int year) { forEachFolder(year, removeStalePartials); });
}

QString NoReplaceMove::replacedReason()
{
    return u"it has been replaced since it was listed"_s;
}

QString NoReplaceMove::changedReason()
{
    return u"it changed while it was being kept"_s;
}

void NoReplaceMove::setBeforeSourceRemovedHook(std::function<void()> hook)
{
    beforeSourceRemovedHook() = std::move(hook);
}

FileResult NoReplaceMove::move(const QString &from, const QString &to, const FileIdentity &expected,
                               const CopyControl *control)
{
    const QByteArray source = PathCodec::encode(from);
    const QByteArray name = FileNames::fileName(source);
    // The source's folder is opened once and the item is checked and moved relative to it,
    // so what was checked is what moves.
    const UniqueFd folder(
        ::open(FileNames::parentPath(source).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    int error = folder.isValid() ? 0 : errno;
    struct stat item = {};
    if (error == 0 && ::fstatat(folder.get(), name.constData(), &item, AT_SYMLINK_NOFOLLOW) != 0)
        error = errno;
    if (error == 0 && !expected.matches(item))
        error = replacedError;
    if (error == 0) {
        const QByteArray target = PathCodec::encode(to);
        error = renameNoReplaceAt(folder.get(), name, AT_FDCWD, target);
        if (error == EXDEV)
            error = copyAcross(folder.get(), name, item, target, control);
    }
    if (error == 0)
        return FileResult::success();
    const QString reason = error == replacedError  ? replacedReason()
                           : error == changedError ? changedReason()
                                                   : qt_error_string(error);
    return FileResult::failure(error, u"Could not move \"%1\" to \"%2\": %3"_s.arg(
                                          from, FileNames::parentPath(to), reason));
}
