// SPDX-License-Identifier: GPL-3.0-or-later
#include "FileMetadataService.h"

#include "PathCodec.h"

#include <sys/stat.h>

FileMetadataService &FileMetadataService::shared()
{
    static FileMetadataService instance;
    return instance;
}

qint64 FileMetadataService::readFileSize(const QString &path) const
{
    struct stat attributes = {};
    if (::lstat(PathCodec::encode(path).constData(), &attributes) != 0)
        return 0;
    return qint64(attributes.st_size);
}
