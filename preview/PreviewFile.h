// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QString>

#include <memory>

#include <sys/stat.h>

class QFile;
class QIODevice;

// A file a previewer reads, reached through the bytes of its name (names need not be UTF-8) and
// opened only when it is a regular file after following links. Pipes, devices, sockets and folders
// are never opened for reading; the open never waits for a writer, and the type is checked on the
// open descriptor, so a name swapped after the check cannot slip something else in.
// open() may block on a stalled mount: call it off the main thread.
class PreviewFile final
{
public:
    enum class Status {
        Regular,    // open for reading
        Missing,    // nothing under that name (or a dangling link)
        NotRegular, // a folder, pipe, device or socket: never read
        Unreadable, // there, but it cannot be opened
    };

    static std::shared_ptr<const PreviewFile> open(const QString &path);
    // A descriptor opened elsewhere (and checked there), owned from now on; Regular only when
    // fstat says it is a regular file. `path` only names it.
    static std::shared_ptr<const PreviewFile> adopt(int descriptor, const QString &path);

    PreviewFile(const PreviewFile &) = delete;
    PreviewFile &operator=(const PreviewFile &) = delete;
    ~PreviewFile();

    QString path() const { return m_path; }
    Status status() const { return m_status; }
    bool isRegular() const { return m_status == Status::Regular; }
    // What stat says about the file: valid unless it is Missing.
    const struct stat &attributes() const { return m_attributes; }
    qint64 size() const { return isRegular() ? qint64(m_attributes.st_size) : 0; }

    // A path that reaches exactly the opened file, for libraries that insist on a name; valid
    // while this object lives. Empty unless Regular.
    QString descriptorPath() const;
    // A device reading the opened file from its start, independent of any other one handed out.
    // Null unless Regular.
    std::unique_ptr<QFile> device() const;
    // Up to `maxBytes` from the start of the file.
    QByteArray head(qint64 maxBytes) const;
    // The whole file read into memory now when it is at most `inMemoryUpTo` bytes, so a library
    // that reads lazily later (on the main thread, or under a lock the main thread needs) never
    // waits on the disk; a larger file is read through device(). Null unless Regular.
    std::unique_ptr<QIODevice> contents(qint64 inMemoryUpTo) const;

private:
    PreviewFile() = default;

    QString m_path;
    Status m_status = Status::Missing;
    struct stat m_attributes = {};
    int m_descriptor = -1;
};

using PreviewFilePtr = std::shared_ptr<const PreviewFile>;

// PDF documents up to this size are read whole before Qt PDF sees them (see contents()); nearly
// every document is far smaller, and a larger one is not worth holding twice in memory.
inline constexpr qint64 pdfInMemoryBytes = 64 * 1024 * 1024;
