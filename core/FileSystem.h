// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "FileIdentity.h"

#include <QByteArray>
#include <QList>
#include <QString>

#include <atomic>
#include <functional>
#include <limits>

// One immediate entry of a listed folder, with what the scan needs to know about it, read
// once while listing.
struct FolderEntry
{
    static constexpr qint64 unknownTime = std::numeric_limits<qint64>::min();

    QString path;
    bool exists = false;             // symbolic links followed: false for a dangling link
    bool isDirectory = false;        // symbolic links followed
    qint64 size = 0;                 // the item itself: a link's own size
    qint64 modifiedNs = unknownTime; // content modification time, links followed
    FileIdentity identity;           // the item itself; unknown for a real folder
};

struct FolderListing
{
    bool ok = false;
    QString error;
    QList<FolderEntry> entries;
    FileIdentity folder; // the listed folder itself, links followed; unknown when not told
};

// The outcome of a file operation: errno-style code (0 for success) and a sentence for the
// console that says what failed and why.
struct FileResult
{
    int code = 0;
    QString message;

    bool ok() const { return code == 0; }
    static FileResult success() { return {}; }
    static FileResult failure(int code, const QString &message) { return {code, message}; }
};

// What a caller running a move off the main thread may ask of a copy across file systems:
// to hear how far it is, and to stop it. A stopped copy fails with ECANCELED and leaves the
// source as it was and nothing of the copy.
struct CopyControl
{
    // Bytes done and the total, from the copying thread, now and then.
    std::function<void(qint64 done, qint64 total)> progress;
    const std::atomic<bool> *cancelled = nullptr;

    bool isCancelled() const { return cancelled && cancelled->load(std::memory_order_relaxed); }
};

// Where the Trash put an item, so that it can be put back exactly: its entry in files/, its
// ".trashinfo", the original location as that info file names it (unescaped bytes), and the
// item once there: its identity, and its status-change time, which tells it from a later
// item of the same kind that got the freed inode number.
struct TrashedItem
{
    QString filePath;
    QString infoPath;
    QByteArray originalPath;
    FileIdentity identity;
    qint64 changedNs = 0;
};

// The file-system calls of the review core, behind one seam so that tests can inject faults.
// The standard implementation works on the bytes of every path (see PathCodec).
class FileSystem
{
public:
    virtual ~FileSystem() = default;

    static FileSystem &standard();

    // Shallow listing without dot-names and the names in the folder's ".hidden" file. Runs
    // on threads of its own, and may block for as long as the folder's drive does.
    virtual FolderListing listFolder(const QString &folder) const;
    // Whether anything is at the path, a dangling symbolic link included.
    virtual bool exists(const QString &path) const;
    // Whether the path leads to a folder (symbolic links followed).
    virtual bool isFolder(const QString &path) const;
    // What is at the path now (a link's own identity, with its change time); unknown when
    // nothing is.
    virtual FileIdentity identityOf(const QString &path) const;
    // Creates the folder and every missing parent; succeeds when it is already a folder.
    virtual FileResult makePath(const QString &folder) const;
    // Removes the folder if it is empty; nothing else.
    virtual void removeEmptyFolder(const QString &folder) const;
    // Moves a file (a symbolic link as the link itself) and never replaces what is at `to`:
    // fails with EEXIST instead. Across file systems it copies, flushes, names the copy and
    // only then removes the source, and only when it did not change while it was copied; a
    // failure leaves the source as it was. Both moves refuse when the path no longer holds
    // the `expected` item (when one is given).
    virtual FileResult moveWithoutReplacing(const QString &from, const QString &to,
                                            const FileIdentity &expected = {},
                                            const CopyControl *control = nullptr) const;
    // Moves the item into the freedesktop.org Trash that serves its file system, and tells
    // where it went when asked.
    virtual FileResult moveToTrash(const QString &path, const FileIdentity &expected = {},
                                   TrashedItem *trashed = nullptr) const;
    // Moves a trashed item back to `to` without replacing anything, then removes its info
    // file; only while both are as the Trash left them.
    virtual FileResult restoreFromTrash(const TrashedItem &item, const QString &to) const;
};
