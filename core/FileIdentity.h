// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QtGlobal>

#include <sys/stat.h>

// What a listed path held when it was listed: the device, inode and kind of the item itself
// (a link's own), so that a later Keep or Delete can tell when the path holds something
// else. The kind counts because a freed inode number is soon given to the next new item.
struct FileIdentity
{
    quint64 device = 0;
    quint64 inode = 0;
    quint32 kind = 0; // the S_IFMT bits
    // The status-change time in nanoseconds, 0 when not recorded. Recorded only for items
    // Mirel put somewhere itself: nothing changes them meanwhile, while a listed file may
    // still be written to.
    qint64 changedNs = 0;

    bool isKnown() const { return inode != 0; }
    bool operator==(const FileIdentity &) const = default;
    static FileIdentity of(const struct stat &attributes)
    {
        return {quint64(attributes.st_dev), quint64(attributes.st_ino),
                quint32(attributes.st_mode & S_IFMT)};
    }
    // The same with the status-change time, which tells the item from a later one that got
    // its freed inode number.
    static FileIdentity withChangeTime(const struct stat &attributes)
    {
        FileIdentity identity = of(attributes);
        identity.changedNs = changeTimeNs(attributes);
        return identity;
    }
    static qint64 changeTimeNs(const struct stat &attributes)
    {
        return qint64(attributes.st_ctim.tv_sec) * 1'000'000'000 + attributes.st_ctim.tv_nsec;
    }
    // True when nothing was recorded, or when the attributes are those of the recorded item.
    bool matches(const struct stat &attributes) const
    {
        return !isKnown() || (device == quint64(attributes.st_dev) && inode == attributes.st_ino &&
                              kind == (attributes.st_mode & S_IFMT) &&
                              (changedNs == 0 || changedNs == changeTimeNs(attributes)));
    }
};
