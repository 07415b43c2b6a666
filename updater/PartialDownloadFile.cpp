// SPDX-License-Identifier: GPL-3.0-or-later
#include "PartialDownloadFile.h"

#include "NoReplaceMove.h"
#include "PathCodec.h"

#include <QRandomGenerator>

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Gives up finding a free hidden name after this many taken ones.
constexpr int maxHiddenNameAttempts = 100;

QByteArray randomHiddenName()
{
    const quint64 token = QRandomGenerator::global()->generate64();
    return ".mirel-update-" + QByteArray::number(token, 36) + ".part";
}

} // namespace

PartialDownloadFile::~PartialDownloadFile()
{
    discard();
}

int PartialDownloadFile::create(const QString &folder, Naming preferred)
{
    discard();
    m_folder = folder;
    m_folderFd = ::open(PathCodec::encode(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (m_folderFd < 0)
        return errno;
    // An unprivileged process links an unnamed file in through /proc (see open(2)).
    if (preferred == Naming::Unnamed && ::access("/proc/self/fd", X_OK) == 0) {
        m_fd = ::openat(m_folderFd, ".", O_TMPFILE | O_RDWR | O_CLOEXEC, 0666);
        m_naming = Naming::Unnamed;
    }
    // Any failure of the unnamed file (an old kernel, a file system without it) falls back;
    // a real problem such as a full disk shows again there.
    for (int attempt = 0; m_fd < 0 && attempt < maxHiddenNameAttempts; ++attempt) {
        m_hiddenName = randomHiddenName();
        m_naming = Naming::Hidden;
        m_fd = ::openat(m_folderFd, m_hiddenName.constData(),
                        O_CREAT | O_EXCL | O_RDWR | O_NOFOLLOW | O_CLOEXEC, 0666);
        if (m_fd < 0 && errno != EEXIST)
            break;
    }
    if (m_fd < 0) {
        const int error = errno;
        m_hiddenName.clear(); // nothing of ours carries it
        closeAll();
        return error;
    }
    struct stat opened = {};
    if (::fstat(m_fd, &opened) != 0) {
        const int error = errno;
        if (!m_hiddenName.isEmpty()) // created just now, exclusively
            ::unlinkat(m_folderFd, m_hiddenName.constData(), 0);
        m_hiddenName.clear();
        closeAll();
        return error;
    }
    m_device = opened.st_dev;
    m_inode = opened.st_ino;
    return 0;
}

QString PartialDownloadFile::hiddenName() const
{
    return QString::fromLatin1(m_hiddenName);
}

bool PartialDownloadFile::write(QByteArrayView bytes)
{
    if (m_fd < 0)
        return false;
    for (qsizetype done = 0; done < bytes.size();) {
        const ssize_t written =
            ::write(m_fd, bytes.data() + done, static_cast<size_t>(bytes.size() - done));
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            return false;
        done += written;
    }
    return true;
}

qint64 PartialDownloadFile::size() const
{
    struct stat status = {};
    if (m_fd < 0 || ::fstat(m_fd, &status) != 0)
        return -1;
    return status.st_size;
}

bool PartialDownloadFile::inspect(const std::function<bool(QByteArrayView)> &check) const
{
    const qint64 length = size();
    if (length < 0)
        return false;
    if (length == 0)
        return check({});
    // Mapping lets a large download be checked without copying it into memory.
    void *mapped = ::mmap(nullptr, static_cast<size_t>(length), PROT_READ, MAP_PRIVATE, m_fd, 0);
    if (mapped == MAP_FAILED)
        return false;
    const bool result = check(QByteArrayView(static_cast<const char *>(mapped), length));
    ::munmap(mapped, static_cast<size_t>(length));
    return result;
}

std::optional<QString> PartialDownloadFile::place(const std::function<QString(int)> &nameFor,
                                                  int maxNumber)
{
    // The content is on disk before any name shows it.
    if (m_fd < 0 || ::fdatasync(m_fd) != 0)
        return std::nullopt;
    for (int number = 0; number <= maxNumber; ++number) {
        const QString name = nameFor(number);
        const QByteArray encoded = PathCodec::encode(name);
        if (m_naming == Naming::Hidden && !hiddenEntryIsThisFile())
            return std::nullopt;
        const int error =
            m_naming == Naming::Unnamed
                ? NoReplaceMove::linkUnnamedAt(m_fd, m_folderFd, encoded)
                : NoReplaceMove::renameNoReplaceAt(m_folderFd, m_hiddenName, m_folderFd, encoded);
        if (error == 0) {
            m_hiddenName.clear();
            ::fsync(m_folderFd);
            closeAll();
            return m_folder + u'/' + name;
        }
        if (error != EEXIST)
            return std::nullopt;
    }
    return std::nullopt;
}

void PartialDownloadFile::discard()
{
    // Only this file is removed: whatever else may have taken its hidden name stays.
    if (m_fd >= 0 && !m_hiddenName.isEmpty() && hiddenEntryIsThisFile())
        ::unlinkat(m_folderFd, m_hiddenName.constData(), 0);
    m_hiddenName.clear();
    closeAll();
}

bool PartialDownloadFile::hiddenEntryIsThisFile() const
{
    struct stat entry = {};
    return ::fstatat(m_folderFd, m_hiddenName.constData(), &entry, AT_SYMLINK_NOFOLLOW) == 0 &&
           S_ISREG(entry.st_mode) && entry.st_dev == m_device && entry.st_ino == m_inode;
}

void PartialDownloadFile::closeAll()
{
    if (m_fd >= 0)
        ::close(m_fd);
    if (m_folderFd >= 0)
        ::close(m_folderFd);
    m_fd = -1;
    m_folderFd = -1;
}
