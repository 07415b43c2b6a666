// SPDX-License-Identifier: GPL-3.0-or-later
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
    static constexpr QLatin1String monitoredFoldersKey = Settings::monitoredFolders.name;

    // The stored folders in order, without entries that are not absolute paths; the key's
    // default (Settings) when nothing (valid) is stored. A stored empty list stays empty.
    QList<QUrl> loadFolders() const;
    // Whether the folder can be listed at all: only a folder on this computer, named by an
    // absolute path, can ever be scanned.
    static bool canStore(const QUrl &url);
    // Appends the folder unless a folder with the same path is listed already, or it cannot
    // be stored.
    void addFolder(const QUrl &url);
    // Replaces the stored list.
    void saveFolders(const QList<QUrl> &urls);

private:
    FolderAccessService();
};
