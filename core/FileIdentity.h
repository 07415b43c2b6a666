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

    bool isKnown() const { return inode != 0; }
    static FileIdentity of(const struct stat &attributes)
    {
        return {quint64(attributes.st_dev), quint64(attributes.st_ino),
                quint32(attributes.st_mode & S_IFMT)};
    }
    // True when nothing was recorded, or when the attributes are those of the recorded item.
    bool matches(const struct stat &attributes) const
    {
        return !isKnown() || (device == quint64(attributes.st_dev) && inode == attributes.st_ino &&
                              kind == (attributes.st_mode & S_IFMT));
    }
};
