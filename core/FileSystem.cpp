#include "FileSystem.h"

#include "FolderReader.h"
#include "NoReplaceMove.h"
#include "PathCodec.h"
#include "Trash.h"

#include <QDir>

#include <cerrno>
#include <sys/stat.h>

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

FileResult FileSystem::makePath(const QString &folder) const
{
    const QByteArray path = PathCodec::encode(folder);
    for (qsizetype slash = path.indexOf('/', 1);; slash = path.indexOf('/', slash + 1)) {
        const QByteArray part = slash < 0 ? path : path.first(slash);
        if (::mkdir(part.constData(), 0777) != 0 && errno != EEXIST) {
            const int code = errno;
            return FileResult::failure(code, u"Could not create the folder \"%1\": %2"_s.arg(
                                                 folder, qt_error_string(code)));
        }
        if (slash < 0)
            break;
    }
    struct stat attributes = {};
    if (::stat(path.constData(), &attributes) != 0 || !S_ISDIR(attributes.st_mode)) {
        return FileResult::failure(ENOTDIR, u"Could not create the folder \"%1\": %2"_s.arg(
                                                folder, qt_error_string(ENOTDIR)));
    }
    return FileResult::success();
}

FileResult FileSystem::moveWithoutReplacing(const QString &from, const QString &to) const
{
    return NoReplaceMove::move(from, to);
}

FileResult FileSystem::moveToTrash(const QString &path) const
{
    return Trash::moveToTrash(path);
}
