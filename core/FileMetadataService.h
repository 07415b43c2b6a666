// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

// Reads the one value of a record that comes from the file system: the size in bytes.
class FileMetadataService final
{
public:
    static FileMetadataService &shared();

    // The item's own size (a symbolic link is not followed); 0 on any failure.
    qint64 readFileSize(const QString &path) const;
};
