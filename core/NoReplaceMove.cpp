#include "NoReplaceMove.h"

#include "FileNames.h"
#include "PathCodec.h"
#include "PosixPaths.h"

#include <QRandomGenerator>

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {

// Closes the descriptor when the scope ends, whatever path the copy takes.
struct FdCloser
{
    int fd = -1;
    ~FdCloser()
    {
        if (fd >= 0)
            ::close(fd);
    }
};

// A hidden name in the destination folder for the copy in progress.
QByteArray temporaryNameIn(const QByteArray &folder)
{
    const quint64 token = QRandomGenerator::global()->generate64();
    return folder + "/.mirel-keep-" + QByteArray::number(token, 36) + ".part";
}

int copyContents(int in, int out)
{
    for (;;) {
        const ssize_t copied = ::copy_file_range(in, nullptr, out, nullptr, 1 << 30, 0);
        if (copied == 0)
            return 0;
        if (copied > 0)
            continue;
        if (errno == EINTR)
            continue;
        if (errno != EXDEV && errno != ENOSYS && errno != EOPNOTSUPP && errno != EINVAL)
            return errno;
        break; // not offered between these file systems: copy by hand
    }
    char buffer[1 << 16];
    for (;;) {
        const ssize_t count = ::read(in, buffer, sizeof buffer);
        if (count == 0)
            return 0;
        if (count < 0) {
            if (errno == EINTR)
                continue;
            return errno;
        }
        for (ssize_t done = 0; done < count;) {
            const ssize_t written = ::write(out, buffer + done, size_t(count - done));
            if (written < 0) {
                if (errno == EINTR)
                    continue;
                return errno;
            }
            done += written;
        }
    }
}

// Writes a flushed copy of the regular file `from` (whose attributes are `source`) to `temp`.
int copyRegularFile(const QByteArray &from, const struct stat &source, const QByteArray &temp)
{
    FdCloser in{::open(from.constData(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC)};
    if (in.fd < 0)
        return errno;
    struct stat opened = {};
    if (::fstat(in.fd, &opened) != 0)
        return errno;
    if (opened.st_dev != source.st_dev || opened.st_ino != source.st_ino)
        return EAGAIN; // replaced while we looked at it
    FdCloser out{::open(temp.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600)};
    if (out.fd < 0)
        return errno;
    if (const int error = copyContents(in.fd, out.fd))
        return error;
    const struct timespec times[2] = {source.st_atim, source.st_mtim};
    if (::fchmod(out.fd, source.st_mode & 07777) != 0 || ::futimens(out.fd, times) != 0 ||
        ::fsync(out.fd) != 0) {
        return errno;
    }
    const int fd = out.fd;
    out.fd = -1;
    return ::close(fd) == 0 ? 0 : errno;
}

int copySymlink(const QByteArray &from, const struct stat &source, const QByteArray &temp)
{
    QByteArray target(qsizetype(source.st_size) + 1, Qt::Uninitialized);
    const ssize_t length = ::readlink(from.constData(), target.data(), size_t(target.size()));
    if (length < 0)
        return errno;
    if (length >= target.size())
        return EAGAIN; // the link changed under us
    target.truncate(length);
    return ::symlink(target.constData(), temp.constData()) == 0 ? 0 : errno;
}

void syncFolder(const QByteArray &folder)
{
    FdCloser fd{::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC)};
    if (fd.fd >= 0)
        ::fsync(fd.fd);
}

int copyAcross(const QByteArray &from, const QByteArray &to)
{
    struct stat source = {};
    if (::lstat(from.constData(), &source) != 0)
        return errno;
    if (!S_ISREG(source.st_mode) && !S_ISLNK(source.st_mode))
        return EOPNOTSUPP;

    const QByteArray folder = PosixPaths::parentOf(to);
    QByteArray temp;
    int error = EEXIST;
    for (int attempt = 0; attempt < 16 && error == EEXIST; ++attempt) {
        temp = temporaryNameIn(folder);
        error = S_ISLNK(source.st_mode) ? copySymlink(from, source, temp)
                                        : copyRegularFile(from, source, temp);
        if (error != 0 && error != EEXIST)
            ::unlink(temp.constData());
    }
    if (error != 0)
        return error;
    if ((error = NoReplaceMove::renameNoReplace(temp, to)) != 0) {
        ::unlink(temp.constData());
        return error;
    }
    syncFolder(folder);
    if (::unlink(from.constData()) != 0) {
        // The source must not exist twice: undo the copy and report.
        error = errno;
        ::unlink(to.constData());
        return error;
    }
    return 0;
}

} // namespace

int NoReplaceMove::renameNoReplace(const QByteArray &from, const QByteArray &to)
{
    if (::renameat2(AT_FDCWD, from.constData(), AT_FDCWD, to.constData(), RENAME_NOREPLACE) == 0)
        return 0;
    const int error = errno;
    if (error != EINVAL && error != ENOSYS && error != EOPNOTSUPP)
        return error;
    // File systems without RENAME_NOREPLACE: a hard link fails when the name is taken.
    if (::link(from.constData(), to.constData()) != 0)
        return errno;
    if (::unlink(from.constData()) != 0) {
        const int unlinkError = errno;
        ::unlink(to.constData());
        return unlinkError;
    }
    return 0;
}

FileResult NoReplaceMove::move(const QString &from, const QString &to)
{
    const QByteArray source = PathCodec::encode(from);
    const QByteArray target = PathCodec::encode(to);
    int error = renameNoReplace(source, target);
    if (error == EXDEV)
        error = copyAcross(source, target);
    if (error == 0)
        return FileResult::success();
    return FileResult::failure(error, u"Could not move \"%1\" to \"%2\": %3"_s.arg(
                                          from, FileNames::parentPath(to), qt_error_string(error)));
}
