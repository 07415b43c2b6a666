// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "FileSystem.h"

#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>

#include <chrono>
#include <memory>
#include <optional>

// Lists folders off the calling thread and waits for them only so long: a folder on a drive
// that stops answering (a network share, a FUSE server that hangs) holds up nothing but its
// own listing. A listing that has not returned is left running; while it runs, a request for
// that folder gets no listing at once instead of starting another, so each folder has at
// most one stuck listing. Once it returns, the next request lists the folder afresh.
class FolderLister final
{
public:
    static constexpr std::chrono::milliseconds patience{2000};

    // The file system must outlive every listing this lister starts, stuck ones included.
    explicit FolderLister(const FileSystem &fileSystem);
    ~FolderLister();
    FolderLister(const FolderLister &) = delete;
    FolderLister &operator=(const FolderLister &) = delete;

    // The listing of each folder, in order, its entries newest first (by modification time,
    // unknown times last, ties in listing order), waiting for all of them together at most
    // `timeout`; nothing for a folder that has not answered by then.
    QList<std::optional<FolderListing>> list(const QStringList &folders,
                                             std::chrono::milliseconds timeout = patience);

    // Folders whose listing is still running after a request gave up on it.
    QStringList stuckFolders() const;

    static bool newestFirst(const FolderEntry &a, const FolderEntry &b);

private:
    struct Job;
    std::shared_ptr<Job> start(const QString &folder);

    const FileSystem &m_fileSystem;
    QHash<QString, std::shared_ptr<Job>> m_unfinished;
};
