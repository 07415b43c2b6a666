// SPDX-License-Identifier: GPL-3.0-or-later
#include "FileSystem.h"

#include "FolderReader.h"
#include "NoReplaceMove.h"
#include "PathCodec.h"
#include "PosixPaths.h"
#include "Trash.h"

#include <QDir>

#include <sys/stat.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

FileSystem &FileSystem::standard()
{
    static FileSystem instance;
    return instance;
}

FolderListing FileSystem::listFolder(const QString &folder) const
{
    return FolderReader::read(folder);
}

bool FileSystem::exists(const QString &path) const
{
    struct stat attributes = {};
    return ::lstat(PathCodec::encode(path).constData(), &attributes) == 0;
}

bool FileSystem::isFolder(const QString &path) const
{
    struct stat attributes = {};
    return ::stat(PathCodec::encode(path).constData(), &attributes) == 0 &&
           S_ISDIR(attributes.st_mode);
}

FileIdentity FileSystem::identityOf(const QString &path) const
{
    struct stat attributes = {};
    if (::lstat(PathCodec::encode(path).constData(), &attributes) != 0)
        return {};
    return FileIdentity::withChangeTime(attributes);
}

FileResult FileSystem::makePath(const QString &folder) const
{
    const int code = PosixPaths::makePath(PathCodec::encode(folder), 0777);
    if (code == 0)
        return FileResult::success();
    return FileResult::failure(
        code, u"Could not create the folder \"%1\": %2"_s.arg(folder, qt_error_string(code)));
}

void FileSystem::removeEmptyFolder(const QString &folder) const
{
    ::rmdir(PathCodec::encode(folder).constData());
}

FileResult FileSystem::moveWithoutReplacing(const QString &from, const QString &to,
                                            const FileIdentity &expected,
                                            const CopyControl *control) const
{
    return NoReplaceMove::move(from, to, expected, control);
}

FileResult FileSystem::moveToTrash(const QString &path, const FileIdentity &expected,
                                   TrashedItem *trashed) const
{
    return Trash::moveToTrash(path, expected, trashed);
}

FileResult FileSystem::restoreFromTrash(const TrashedItem &item, const QString &to) const
{
    return Trash::restore(item, to);
}
