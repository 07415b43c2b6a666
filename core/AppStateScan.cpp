// SPDX-License-Identifier: GPL-3.0-or-later
#include "AppState.h"

#include "Console.h"
#include "FileNames.h"
#include "FileSystem.h"
#include "FileTypes.h"
#include "FolderAccessService.h"
#include "UserFolders.h"

#include <algorithm>
#include <utility>

using namespace Qt::StringLiterals;

void AppState::scanFolders()
{
    // The list that follows a decision must reflect it: the scan runs once it is done.
    if (m_busy > 0) {
        m_scanDeferred = true;
        return;
    }
    m_scanDeferred = false;
    // Views redraw from the finished list: one announcement at the end, not one per folder,
    // and isScanning() tells them to let the emptied list pass.
    m_scanning = true;
    setFiles({});
    setCurrentIndex(0);

    // A standard folder the desktop sets to the home folder is none: nothing to scan.
    const QString desktop = UserFolders::desktop();
    const QString downloads = UserFolders::downloads();
    if (m_includeDesktop && !desktop.isEmpty())
        scanFolder(desktop);
    if (m_includeDownloads && !downloads.isEmpty())
        scanFolder(downloads);
    // The standard folders may sit in the stored list too; their switches alone decide.
    for (const QUrl &folder : m_folderAccessService.loadFolders()) {
        const QString path = folder.toLocalFile();
        if (!UserFolders::isStandardFolder(path))
            scanFolder(path);
    }

    Console::writeLine(u"Total files: "_s + QString::number(m_files.size()));
    sortNewestFirst();
    m_scanning = false;
    announceFiles();
    // The file an undo put back comes back as the current one, though it may not be newest.
    if (!m_currentAfterScan.isEmpty()) {
        const qsizetype restored = indexOfPath(std::exchange(m_currentAfterScan, QString()));
        if (restored > 0)
            setCurrentIndex(restored);
    }
}

void AppState::scanFolder(const QString &folderPath)
{
    Console::writeLine(u"Scanning: "_s + folderPath);
    const FolderListing listing = m_fileSystem.listFolder(folderPath);
    if (!listing.ok) {
        Console::writeLine(u"Error scanning "_s + folderPath + u": "_s + listing.error);
        return;
    }
    Console::writeLine(u"Found "_s + QString::number(listing.entries.size()) + u" items"_s);

    const qsizetype before = m_files.size();
    for (const FolderEntry &entry : listing.entries) {
        const QString name = FileNames::fileName(entry.path);
        if (name.startsWith(u'.') || entry.isDirectory || !entry.exists)
            continue;
        m_files.append(TrackedFile{QUuid::createUuid(), entry.path, QDateTime::currentDateTimeUtc(),
                                   entry.size,
                                   FileTypes::typeForExtension(FileNames::extension(name)),
                                   entry.identity, entry.modifiedNs});
    }
    if (m_files.size() != before && !m_scanning)
        announceFiles();
}

void AppState::sortNewestFirst()
{
    std::stable_sort(
        m_files.begin(), m_files.end(),
        [](const TrackedFile &a, const TrackedFile &b) { return a.modifiedNs > b.modifiedNs; });
}
