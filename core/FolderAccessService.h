#pragma once

#include "Settings.h"

#include <QList>
#include <QString>
#include <QUrl>

// The stored list of folders to review besides the two standard ones. It neither scans nor
// notifies: whoever changes the list asks the review state for a new scan afterwards.
class FolderAccessService final
{
public:
    static FolderAccessService &shared();

    // The key the list is stored under.
    static constexpr QLatin1String monitoredFoldersKey = Settings::monitoredFolders;

    // The stored folders in order, without entries that are not absolute paths; the Desktop
    // and Downloads folders (UserFolders) when nothing (valid) is stored. A stored empty list
    // stays empty.
    QList<QUrl> loadFolders() const;
    // Appends the folder unless a folder with the same path is listed already.
    void addFolder(const QUrl &url);
    // Replaces the stored list.
    void saveFolders(const QList<QUrl> &urls);

private:
    FolderAccessService();
};
