// SPDX-License-Identifier: GPL-3.0-or-later
#include "FolderReader.h"

#include "PathCodec.h"

#include <QSet>

#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr qint64 maxHiddenFileSize = 1 << 20;

qint64 nanoseconds(const struct timespec &time)
{
    return qint64(time.tv_sec) * 1'000'000'000 + time.tv_nsec;
}

// The names listed in the folder's ".hidden" file, one per line (the GNOME and KDE
// convention for hiding files without renaming them).
QSet<QByteArray> hiddenNames(int folderFd)
{
    QSet<QByteArray> names;
    const int fd = ::openat(folderFd, ".hidden", O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0)
        return names;
    QByteArray content;
    char buffer[16384];
    ssize_t count = 0;
    while (content.size() < maxHiddenFileSize && (count = ::read(fd, buffer, sizeof buffer)) > 0)
        content.append(buffer, count);
    ::close(fd);
    for (QByteArray line : content.split('\n')) {
        if (line.endsWith('\r'))
            line.chop(1);
        if (!line.isEmpty())
            names.insert(line);
    }
    return names;
}

} // namespace

FolderListing FolderReader::read(const QString &folder)
{
    FolderListing listing;
    const int folderFd =
        ::open(PathCodec::encode(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folderFd < 0) {
        listing.error = qt_error_string(errno);
        return listing;
    }
    DIR *dir = ::fdopendir(folderFd);
    if (!dir) {
        listing.error = qt_error_string(errno);
        ::close(folderFd);
        return listing;
    }

    const QSet<QByteArray> hidden = hiddenNames(folderFd);
    const QString prefix = folder.endsWith(u'/') ? folder : folder + u'/';
    int readError = 0;
    for (;;) {
        errno = 0;
        const dirent *item = ::readdir(dir);
        if (!item) {
            readError = errno;
            break;
        }
        const char *name = item->d_name;
        if (name[0] == '.' || (!hidden.isEmpty() && hidden.contains(QByteArray(name))))
            continue;
        FolderEntry entry;
        entry.path = prefix + PathCodec::decode(QByteArrayView(name));
        struct stat own = {};
        if (item->d_type == DT_DIR) {
            // A real folder: skipped by the scan, so not worth a stat.
            entry.exists = entry.isDirectory = true;
        } else if (::fstatat(folderFd, name, &own, AT_SYMLINK_NOFOLLOW) == 0) {
            entry.size = qint64(own.st_size);
            entry.identity = FileIdentity::of(own);
            struct stat target = own;
            if (!S_ISLNK(own.st_mode) || ::fstatat(folderFd, name, &target, 0) == 0) {
                entry.exists = true;
                entry.isDirectory = S_ISDIR(target.st_mode);
                entry.modifiedNs = nanoseconds(target.st_mtim);
            }
        }
        listing.entries.append(std::move(entry));
    }
    ::closedir(dir);
    if (readError != 0) {
        listing.entries.clear();
        listing.error = qt_error_string(readError);
        return listing;
    }
    listing.ok = true;
    return listing;
}
