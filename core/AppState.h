// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "DecisionHistory.h"
#include "Settings.h"
#include "TrackedFile.h"

#include <QList>
#include <QObject>
#include <QString>
#include <QThreadPool>
#include <QUrl>

#include <functional>
#include <memory>
#include <optional>

class FileSystem;
class FolderAccessService;
class FolderLister;
namespace DecisionWork {
struct Outcome;
}

// The review state: the files under review, the position on screen, where kept files go and
// the two standard-folder switches. Every assignment of a published property is announced,
// even when the value did not change. All of it runs on the main thread, except the file
// operations of decide() and undoLastDecision(), which run on a worker thread of its own.
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
    // Stops a copy still running (the source stays, nothing of the copy is left) and says so.
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
    // While a decision or an undo is under way the scan waits for it, so the list it makes
    // already reflects that decision.
    void scanFolders();
    void scanFolder(const QString &folderPath);
    // True while scanFolders() builds the list; what is announced meanwhile is not final.
    bool isScanning() const { return m_scanning; }

    // A Keep or Delete of `file` as it was listed (its path and identity, whatever the list
    // holds meanwhile). The file is checked at once on the worker thread: decisionChecked()
    // when it is still the listed one (and for a Keep its month folder can be made), else
    // decisionFinished() with the failure. The operation itself runs `delayMs` after that,
    // off the main thread; progress comes with decisionProgress(), the end with
    // decisionFinished(). Scans and undos asked for meanwhile wait for it. Returns the ticket
    // that names this decision in the signals.
    quint64 decide(DecisionHistory::Kind kind, const TrackedFile &file, int delayMs = 0);
    // True while a decision or an undo is under way.
    bool isBusy() const { return m_busy > 0; }

    // The same decisions on the calling thread, at once: for tools and tests.
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
    // file is still where Mirel put it, so the undo can be tried again. The undo is of the
    // decision latest now, even when it has to wait for a decision under way; its file
    // operation runs off the main thread, and undoFinished() tells when it is done.
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
    // For decide(): the listed file is still there and the operation will follow.
    void decisionChecked(quint64 ticket);
    // Bytes copied so far of a decision's copy across drives.
    void decisionProgress(quint64 ticket, qint64 done, qint64 total);
    // The decision is over; on failure, `failure` names the file and the cause in plain words.
    void decisionFinished(quint64 ticket, bool ok, const QString &failure);
    void undoFinished(bool ok);
    // An undo put the file back at this path, and the rescan made it the current file.
    void undone(const QString &restoredPath);
    // An undo failed; the reason is the console line's text after its prefix.
    void undoFailed(const QString &reason);

private:
    void addListing(const QString &folderPath, const std::optional<FolderListing> &listing);
    // Shared with the worker thread: the request to stop, and what a stopped operation left
    // to say.
    struct Shutdown;
    using Work = std::function<DecisionWork::Outcome(const CopyControl &)>;
    using Then = std::function<void(const DecisionWork::Outcome &)>;

    static std::shared_ptr<Shutdown> makeShutdown();
    qsizetype indexOf(const QUuid &id) const;
    qsizetype indexOfPath(const QString &path) const;
    qsizetype indexOfFile(const TrackedFile &file) const;
    QString monthFolder() const;
    bool moveToKept(const TrackedFile &file);
    bool moveToTrash(const TrackedFile &file);
    bool applyOutcome(DecisionHistory::Kind kind, const TrackedFile &file,
                      const DecisionWork::Outcome &outcome);
    void runOnWorker(quint64 ticket, const QString &cancelledLine, Work work, Then then);
    void carryOut(quint64 ticket, DecisionHistory::Kind kind, const TrackedFile &file,
                  const QString &folder, const QStringList &madeFolders);
    void finishDecision(quint64 ticket, DecisionHistory::Kind kind, const TrackedFile &file,
                        const DecisionWork::Outcome &outcome);
    void startUndo(quint64 serial);
    void runDeferred();
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

    // One thread, so decisions and undos reach the file system in the order they were made.
    QThreadPool m_worker;
    std::shared_ptr<Shutdown> m_shutdown;
    int m_busy = 0;
    quint64 m_nextTicket = 1;
    bool m_scanDeferred = false;
    QList<quint64> m_deferredUndos;
    // Made current by the next scan: the file an undo put back.
    QString m_currentAfterScan;
};
