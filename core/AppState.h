// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "DecisionHistory.h"
#include "Settings.h"
#include "TrackedFile.h"

#include <QList>
#include <QObject>
#include <QString>
#include <QUrl>

#include <functional>
#include <memory>
#include <optional>

class FileSystem;
class FolderAccessService;
class FolderLister;

// The review state: the files under review, the position on screen, where kept files go and
// the two standard-folder switches. Every assignment of a published property is announced,
// even when the value did not change. All of it runs on the main thread.
class AppState final : public QObject
{
    Q_OBJECT
    Q_PROPERTY(QList<TrackedFile> files READ files WRITE setFiles NOTIFY filesChanged)
    Q_PROPERTY(
        qsizetype currentIndex READ currentIndex WRITE setCurrentIndex NOTIFY currentIndexChanged)
    Q_PROPERTY(
        QString keptFilesPath READ keptFilesPath WRITE setKeptFilesPath NOTIFY keptFilesPathChanged)
    Q_PROPERTY(bool includeDesktop READ includeDesktop WRITE setIncludeDesktop NOTIFY
                   includeDesktopChanged)
    Q_PROPERTY(bool includeDownloads READ includeDownloads WRITE setIncludeDownloads NOTIFY
                   includeDownloadsChanged)

public:
    using Clock = std::function<QDateTime()>;

    // Reads the switches (storing true for a missing one) and scans, so the review list is
    // complete on return.
    explicit AppState(QObject *parent = nullptr);
    explicit AppState(FileSystem &fileSystem, QObject *parent = nullptr);
    ~AppState() override;

    const QList<TrackedFile> &files() const { return m_files; }
    void setFiles(const QList<TrackedFile> &files);
    qsizetype currentIndex() const { return m_currentIndex; }
    void setCurrentIndex(qsizetype index);
    QString keptFilesPath() const { return m_keptFilesPath; }
    void setKeptFilesPath(const QString &path);
    bool includeDesktop() const { return m_includeDesktop; }
    // Stores the switch and rescans, on every assignment.
    void setIncludeDesktop(bool include);
    bool includeDownloads() const { return m_includeDownloads; }
    void setIncludeDownloads(bool include);

    std::optional<TrackedFile> currentFile() const;

    // The stored custom folder list, for reading; it changes only through the two below.
    const FolderAccessService &folderAccessService() const { return m_folderAccessService; }
    // Adds the folder to the stored list (unless it is listed already), then rescans.
    void addFolder(const QUrl &folder);
    // Drops every stored entry with this folder's path, then rescans; the list is written
    // even when nothing was dropped.
    void removeFolder(const QUrl &folder);

    // Lists every folder off the main thread, all at once, and waits for them together at
    // most about 2 s: a folder that has not answered by then is reported with "Error
    // scanning <folder>: the folder does not respond" and left out. The list is complete
    // on return.
    void scanFolders();
    void scanFolder(const QString &folderPath);
    // True while scanFolders() builds the list; what is announced meanwhile is not final.
    bool isScanning() const { return m_scanning; }

    void keepCurrentFile();
    void deleteCurrentFile();
    // The same decisions for the entry with this id, wherever it is in the list; nothing
    // happens when a rescan has replaced it. The current file stays current.
    void keepFile(const QUuid &id);
    void deleteFile(const QUuid &id);

    // This run's latest Keep or Delete that can still be taken back.
    std::optional<DecisionHistory::Decision> lastDecision() const { return m_history.latest(); }
    // Puts the file of the latest decision back where it was, never replacing anything, then
    // rescans with the restored file current. A failure writes "Failed to undo: " and the
    // reason and leaves every file where it was; the decision stays the latest while its
    // file is still where Mirel put it, so the undo can be tried again.
    void undoLastDecision();

    // The year and month folders of Keep come from this clock.
    void setClock(Clock clock);

signals:
    void filesChanged();
    void currentIndexChanged();
    void keptFilesPathChanged();
    void includeDesktopChanged();
    void includeDownloadsChanged();
    // After every announced assignment, whichever property it was.
    void changed();
    // A keep or delete failed; the reason is the console line's text after its prefix.
    void decisionFailed(const QString &reason);
    void lastDecisionChanged();
    // An undo put the file back at this path, and the rescan made it the current file.
    void undone(const QString &restoredPath);
    // An undo failed; the reason is the console line's text after its prefix.
    void undoFailed(const QString &reason);

private:
    void addListing(const QString &folderPath, const std::optional<FolderListing> &listing);
    qsizetype indexOf(const QUuid &id) const;
    qsizetype indexOfPath(const QString &path) const;
    bool moveToKept(const TrackedFile &file);
    bool moveToTrash(const TrackedFile &file);
    void removeEntryAt(qsizetype index);
    void announceFiles();

    QList<TrackedFile> m_files;
    qsizetype m_currentIndex = 0;
    QString m_keptFilesPath;
    FileSystem &m_fileSystem;
    FolderAccessService &m_folderAccessService;
    bool m_includeDesktop = Settings::includeDesktop.defaultValue;
    bool m_includeDownloads = Settings::includeDownloads.defaultValue;
    Clock m_clock;
    bool m_scanning = false;
    DecisionHistory m_history;
    std::unique_ptr<FolderLister> m_folderLister;
};
