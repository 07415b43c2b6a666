// SPDX-License-Identifier: GPL-3.0-or-later
#include "FolderReader.h"

#include "PathCodec.h"

#include <QSet>

#include <optional>
#include <system_error>
#include <thread>
#include <utility>
#include <vector>

#include <cerrno>
#include <cstring>
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

// What the listing says about one name, read relative to the open folder.
FolderEntry entryFor(int folderFd, const QString &prefix, const char *name, unsigned char type)
{
    FolderEntry entry;
    entry.path = prefix + PathCodec::decode(QByteArrayView(name));
    struct stat own = {};
    if (type == DT_DIR) {
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
    return entry;
}

// Folders this big have their names looked up by two threads at once: the lookups, not
// the reading of the folder, take most of the time.
constexpr qsizetype sharedLookupSize = 4096;

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
    struct stat self = {};
    if (::fstat(folderFd, &self) == 0)
        listing.folder = FileIdentity::of(self);
    DIR *dir = ::fdopendir(folderFd);
    if (!dir) {
        listing.error = qt_error_string(errno);
        ::close(folderFd);
        return listing;
    }

    // The names first, each ending in its NUL, one after the other.
    const QSet<QByteArray> hidden = hiddenNames(folderFd);
    QByteArray names;
    std::vector<std::pair<qsizetype, unsigned char>> items; // offset in names, d_type
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
        items.emplace_back(names.size(), item->d_type);
        names.append(name, qsizetype(std::strlen(name)) + 1);
    }
    if (readError != 0) {
        ::closedir(dir);
        listing.error = qt_error_string(readError);
        return listing;
    }

    const QString prefix = folder.endsWith(u'/') ? folder : folder + u'/';
    const qsizetype count = qsizetype(items.size());
    listing.entries.resize(count);
    FolderEntry *entries = listing.entries.data();
    const char *nameBytes = names.constData();
    const auto fill = [&](qsizetype from, qsizetype to) {
        for (qsizetype i = from; i < to; ++i) {
            entries[i] = entryFor(folderFd, prefix, nameBytes + items[size_t(i)].first,
                                  items[size_t(i)].second);
        }
    };
    std::optional<std::thread> helper;
    qsizetype half = count;
    if (count >= sharedLookupSize) {
        half = count / 2;
        try {
            helper.emplace(fill, half, count);
        } catch (const std::system_error &) {
            half = count; // no second thread to be had: one does it all
        }
    }
    fill(0, half);
    if (helper)
        helper->join();
    ::closedir(dir);
    listing.ok = true;
    return listing;
}
