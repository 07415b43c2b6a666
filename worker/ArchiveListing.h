// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QList>
#include <QString>

#include <chrono>

// What an archive holds, read from its headers (and a zip's central directory) only: no entry
// is ever unpacked to memory that is kept or written anywhere, so a zip bomb costs nothing.
// Meant for the preview process: the archive comes in as an open descriptor, never a path.
struct ArchiveEntry
{
    QString path;
    qint64 size = 0;
    bool isDirectory = false;
};

struct ArchiveListing
{
    enum class Problem {
        None,
        NotAFile,       // the descriptor is not a regular file
        UnknownFormat,  // no archive format Mirel reads
        Damaged,        // truncated or corrupt: what came before is still listed
        EncryptedIndex, // the list of names itself is encrypted
        Unfinished,     // the time or count budget ran out: what came before is listed
        ReadError,      // the drive failed
    };

    QList<ArchiveEntry> entries; // the first ones, at most the limit asked for
    qint64 entryCount = 0;       // every entry seen, listed or not
    qint64 totalSize = 0;        // the unpacked sizes the headers give, added up
    bool encrypted = false;
    bool isDebianPackage = false; // then the entries are those of its data archive
    Problem problem = Problem::None;
    QString detail; // what the archive library said, for a tooltip or a log

    qint64 unlistedCount() const { return entryCount - entries.size(); }
};

namespace ArchiveLister {

struct Limits
{
    int listed = 300;
    // Counting goes on past the listed ones, up to this many entries or this long.
    qint64 counted = 5'000'000;
    std::chrono::milliseconds budget{3000};
};

// Reads from the start of `fd` with pread, so the descriptor's offset is left alone.
ArchiveListing list(int fd, const Limits &limits = {});

} // namespace ArchiveLister
