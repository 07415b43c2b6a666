// SPDX-License-Identifier: GPL-3.0-or-later
#include "FolderAccessService.h"

#include "Settings.h"

FolderAccessService &FolderAccessService::shared()
{
    static FolderAccessService instance;
    return instance;
}

FolderAccessService::FolderAccessService() = default;

QList<QUrl> FolderAccessService::loadFolders() const
{
    QList<QUrl> folders;
    for (const QString &path : Settings::readStringListOrDefault(Settings::monitoredFolders)) {
        // A relative entry would be resolved against the working directory: ignored.
        if (path.startsWith(u'/'))
            folders.append(QUrl::fromLocalFile(path));
    }
    return folders;
}

bool FolderAccessService::canStore(const QUrl &url)
{
    return url.isLocalFile() && url.toLocalFile().startsWith(u'/');
}

void FolderAccessService::addFolder(const QUrl &url)
{
    if (!canStore(url))
        return;
    QList<QUrl> folders = loadFolders();
    const QString path = url.toLocalFile();
    for (const QUrl &folder : folders) {
        if (folder.toLocalFile() == path)
            return;
    }
    folders.append(url);
    saveFolders(folders);
}

void FolderAccessService::saveFolders(const QList<QUrl> &urls)
{
    QStringList paths;
    paths.reserve(urls.size());
    for (const QUrl &url : urls)
        paths.append(url.toLocalFile());
    Settings::writeStringList(Settings::monitoredFolders, paths);
}
