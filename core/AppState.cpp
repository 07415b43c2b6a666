// SPDX-License-Identifier: GPL-3.0-or-later
#include "AppState.h"

#include "FileSystem.h"
#include "FolderAccessService.h"
#include "FolderLister.h"
#include "NoReplaceMove.h"
#include "Settings.h"
#include "UserFolders.h"

#include <system_error>
#include <thread>

using namespace Qt::StringLiterals;

AppState::AppState(QObject *parent)
    : AppState(FileSystem::standard(), parent)
{}

AppState::AppState(FileSystem &fileSystem, QObject *parent)
    : QObject(parent)
    , m_keptFilesPath(UserFolders::keptFiles())
    , m_fileSystem(fileSystem)
    , m_folderAccessService(FolderAccessService::shared())
    , m_clock([] { return QDateTime::currentDateTime(); })
    , m_folderLister(std::make_unique<FolderLister>(fileSystem))
    , m_shutdown(makeShutdown())
{
    m_worker.setMaxThreadCount(1);
    Settings::writeDefaultIfAbsent(Settings::includeDesktop);
    Settings::writeDefaultIfAbsent(Settings::includeDownloads);
    // Each assignment stores the switch and scans; the last scan below completes the list.
    setIncludeDesktop(Settings::readBool(Settings::includeDesktop));
    setIncludeDownloads(Settings::readBool(Settings::includeDownloads));
    scanFolders();
    // A Mirel killed during a copy onto a drive without unnamed files left a hidden partial
    // copy in a month folder; cleared at start-up, on a thread of its own since the Kept
    // folder's drive may not answer.
    try {
        std::thread([kept = m_keptFilesPath] { NoReplaceMove::sweepStalePartials(kept); }).detach();
    } catch (const std::system_error &) {
        // No thread to be had: the next Keep into that month folder clears it instead.
    }
}

void AppState::setFiles(const QList<TrackedFile> &files)
{
    m_files = files;
    announceFiles();
}

void AppState::setCurrentIndex(qsizetype index)
{
    m_currentIndex = index;
    emit currentIndexChanged();
    emit changed();
}

void AppState::setKeptFilesPath(const QString &path)
{
    m_keptFilesPath = path;
    emit keptFilesPathChanged();
    emit changed();
}

void AppState::setIncludeDesktop(bool include)
{
    m_includeDesktop = include;
    emit includeDesktopChanged();
    emit changed();
    Settings::writeBool(Settings::includeDesktop, m_includeDesktop);
    scanFolders();
}

void AppState::setIncludeDownloads(bool include)
{
    m_includeDownloads = include;
    emit includeDownloadsChanged();
    emit changed();
    Settings::writeBool(Settings::includeDownloads, m_includeDownloads);
    scanFolders();
}

std::optional<TrackedFile> AppState::currentFile() const
{
    if (m_currentIndex < 0 || m_currentIndex >= m_files.size())
        return std::nullopt;
    return m_files.at(m_currentIndex);
}

void AppState::addFolder(const QUrl &folder)
{
    m_folderAccessService.addFolder(folder);
    scanFolders();
}

void AppState::removeFolder(const QUrl &folder)
{
    const QString path = folder.toLocalFile();
    QList<QUrl> folders = m_folderAccessService.loadFolders();
    folders.removeIf([&path](const QUrl &stored) { return stored.toLocalFile() == path; });
    m_folderAccessService.saveFolders(folders);
    scanFolders();
}

void AppState::setClock(Clock clock)
{
    m_clock = std::move(clock);
}

void AppState::announceFiles()
{
    emit filesChanged();
    emit changed();
}
