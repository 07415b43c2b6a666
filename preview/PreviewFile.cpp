// SPDX-License-Identifier: GPL-3.0-or-later
#include "PreviewFile.h"

#include "PathCodec.h"

#include <QBuffer>
#include <QFile>

#include <cerrno>

#include <fcntl.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

std::shared_ptr<const PreviewFile> PreviewFile::open(const QString &path)
{
    std::shared_ptr<PreviewFile> file(new PreviewFile);
    file->m_path = path;
    const QByteArray bytes = PathCodec::encode(path);
    if (bytes.isEmpty() || ::stat(bytes.constData(), &file->m_attributes) != 0) {
        file->m_status = errno == ENOENT || errno == ENOTDIR || bytes.isEmpty()
                             ? Status::Missing
                             : Status::Unreadable;
        return file;
    }
    // Devices are not even opened: opening some of them has effects of its own.
    if (!S_ISREG(file->m_attributes.st_mode)) {
        file->m_status = Status::NotRegular;
        return file;
    }
    // Non-blocking, so a pipe put in the file's place since the stat cannot hold the open.
    const int descriptor = ::open(bytes.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (descriptor < 0) {
        file->m_status = Status::Unreadable;
        return file;
    }
    struct stat opened = {};
    if (::fstat(descriptor, &opened) != 0 || !S_ISREG(opened.st_mode)) {
        ::close(descriptor);
        file->m_status = Status::NotRegular;
        return file;
    }
    // Reads of a regular file never wait on a writer; blocking mode is what the readers expect.
    ::fcntl(descriptor, F_SETFL, ::fcntl(descriptor, F_GETFL) & ~O_NONBLOCK);
    file->m_attributes = opened;
    file->m_descriptor = descriptor;
    file->m_status = Status::Regular;
    return file;
}

std::shared_ptr<const PreviewFile> PreviewFile::adopt(int descriptor, const QString &path)
{
    std::shared_ptr<PreviewFile> file(new PreviewFile);
    file->m_path = path;
    if (descriptor < 0)
        return file;
    if (::fstat(descriptor, &file->m_attributes) != 0 || !S_ISREG(file->m_attributes.st_mode)) {
        ::close(descriptor);
        file->m_status = Status::NotRegular;
        return file;
    }
    file->m_descriptor = descriptor;
    file->m_status = Status::Regular;
    return file;
}

PreviewFile::~PreviewFile()
{
    if (m_descriptor >= 0)
        ::close(m_descriptor);
}

QString PreviewFile::descriptorPath() const
{
    if (m_descriptor < 0)
        return QString();
    return u"/proc/self/fd/%1"_s.arg(m_descriptor);
}

std::unique_ptr<QFile> PreviewFile::device() const
{
    if (m_descriptor < 0)
        return nullptr;
    // A description of its own (not a dup, which would share the read position), reached
    // through the descriptor and never through the name again.
    const int descriptor =
        ::open(QFile::encodeName(descriptorPath()).constData(), O_RDONLY | O_CLOEXEC | O_NOCTTY);
    if (descriptor < 0)
        return nullptr;
    struct stat reopened = {};
    if (::fstat(descriptor, &reopened) != 0 || reopened.st_dev != m_attributes.st_dev ||
        reopened.st_ino != m_attributes.st_ino) {
        ::close(descriptor);
        return nullptr;
    }
    auto device = std::make_unique<QFile>();
    if (!device->open(descriptor, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(descriptor);
        return nullptr;
    }
    return device;
}

QByteArray PreviewFile::head(qint64 maxBytes) const
{
    QByteArray data;
    if (m_descriptor < 0 || maxBytes <= 0)
        return data;
    data.resize(maxBytes);
    qint64 filled = 0;
    while (filled < maxBytes) {
        const ssize_t got =
            ::pread(m_descriptor, data.data() + filled, size_t(maxBytes - filled), off_t(filled));
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            break;
        filled += got;
    }
    data.truncate(filled);
    return data;
}

std::unique_ptr<QIODevice> PreviewFile::contents(qint64 inMemoryUpTo) const
{
    if (m_descriptor < 0)
        return nullptr;
    if (size() > inMemoryUpTo)
        return device();
    auto buffer = std::make_unique<QBuffer>();
    buffer->setData(head(size()));
    buffer->open(QIODevice::ReadOnly);
    return buffer;
}
