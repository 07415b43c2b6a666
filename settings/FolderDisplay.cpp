#include "FolderDisplay.h"

#include "FileNames.h"
#include "FolderAccessService.h"
#include "UserFolders.h"

#include <QDir>

using namespace Qt::StringLiterals;

QList<QUrl> FolderDisplay::customFolders(const FolderAccessService &store)
{
    QList<QUrl> folders;
    for (const QUrl &folder : store.loadFolders()) {
        if (!UserFolders::isStandardFolder(folder.toLocalFile()))
            folders.append(folder);
    }
    return folders;
}

QString FolderDisplay::abbreviatedPath(const QUrl &url)
{
    return abbreviatedPath(url, QDir::homePath());
}

QString FolderDisplay::abbreviatedPath(const QUrl &url, const QString &homePath)
{
    const QString path = url.toLocalFile();
    if (path.startsWith(homePath))
        return u'~' + path.sliced(homePath.size());

    // The last component, ignoring trailing slashes; the root names itself.
    qsizetype end = path.size();
    while (end > 1 && path.at(end - 1) == u'/')
        --end;
    const QString trimmed = path.first(end);
    if (trimmed == u"/"_s)
        return trimmed;
    return FileNames::fileName(trimmed);
}
