#include "FolderAccessService.h"

#include "Settings.h"
#include "UserFolders.h"

FolderAccessService &FolderAccessService::shared()
{
    static FolderAccessService instance;
    return instance;
}

FolderAccessService::FolderAccessService() = default;

QList<QUrl> FolderAccessService::loadFolders() const
{
    QList<QUrl> folders;
    if (const auto stored = Settings::readStringList(monitoredFoldersKey)) {
        for (const QString &path : *stored) {
            // A relative entry would be resolved against the working directory: ignored.
            if (path.startsWith(u'/'))
                folders.append(QUrl::fromLocalFile(path));
        }
        return folders;
    }
    for (const QString &path : {UserFolders::desktop(), UserFolders::downloads()}) {
        if (!path.isEmpty())
            folders.append(QUrl::fromLocalFile(path));
    }
    return folders;
}

void FolderAccessService::addFolder(const QUrl &url)
{
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
    Settings::writeStringList(monitoredFoldersKey, paths);
}
