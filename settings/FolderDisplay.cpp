// SPDX-License-Identifier: GPL-3.0-or-later
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
    // Whole folder names only: with the home /home/ann, /home/anna is not under it.
    if (path == homePath || path.startsWith(homePath + u'/'))
        return u'~' + path.sliced(homePath.size());
    return FileNames::lastPathComponent(path);
}
