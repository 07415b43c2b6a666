// SPDX-License-Identifier: GPL-3.0-or-later
#include "AppState.h"

#include "Console.h"
#include "DecisionWork.h"
#include "FileSystem.h"
#include "FolderLister.h"

#include <QElapsedTimer>
#include <QMutex>
#include <QTimer>

#include <atomic>

using namespace Qt::StringLiterals;

namespace {
// Progress reports are drawn, not logged: a few a second is plenty.
constexpr qint64 progressIntervalMs = 100;
} // namespace

struct AppState::Shutdown
{
    std::atomic<bool> requested{false};
    QMutex mutex;
    QStringList lines;
};

std::shared_ptr<AppState::Shutdown> AppState::makeShutdown()
{
    return std::make_shared<Shutdown>();
}

AppState::~AppState()
{
    // Quit answers at once: a copy still running stops at its next chunk, leaves the source
    // as it was and nothing of the copy; the worker is waited for so that holds on exit.
    m_shutdown->requested = true;
    m_worker.waitForDone();
    const QMutexLocker lock(&m_shutdown->mutex);
    for (const QString &line : std::as_const(m_shutdown->lines))
        Console::writeLine(line);
}

void AppState::runOnWorker(quint64 ticket, const QString &cancelledLine, Work work, Then then)
{
    const std::shared_ptr<Shutdown> shutdown = m_shutdown;
    m_worker.start([this, ticket, cancelledLine, shutdown, work = std::move(work),
                    then = std::move(then)] {
        QElapsedTimer sinceReport; // not started: the first report goes out at once
        CopyControl control;
        control.cancelled = &shutdown->requested;
        control.progress = [this, ticket, &sinceReport](qint64 done, qint64 total) {
            if (done < total && sinceReport.isValid() && sinceReport.elapsed() < progressIntervalMs)
                return;
            sinceReport.start();
            QMetaObject::invokeMethod(
                this, [this, ticket, done, total] { emit decisionProgress(ticket, done, total); },
                Qt::QueuedConnection);
        };
        const DecisionWork::Outcome outcome = work(control);
        if (outcome.result.code == ECANCELED && shutdown->requested) {
            const QMutexLocker lock(&shutdown->mutex);
            shutdown->lines.append(cancelledLine);
            return;
        }
        const auto deliver = [then, outcome] {
            then(outcome);
        };
        QMetaObject::invokeMethod(this, deliver, Qt::QueuedConnection);
    });
}

quint64 AppState::decide(DecisionHistory::Kind kind, const TrackedFile &file, int delayMs)
{
    const quint64 ticket = m_nextTicket++;
    ++m_busy;
    const QString folder = monthFolder();
    const FileSystem *fileSystem = &m_fileSystem;
    runOnWorker(
        ticket, QString(),
        [fileSystem, kind, file, folder](const CopyControl &) {
            return DecisionWork::check(*fileSystem, kind, file, folder);
        },
        [this, ticket, kind, file, folder, delayMs](const DecisionWork::Outcome &checked) {
            if (checked.done || !checked.result.ok()) {
                finishDecision(ticket, kind, file, checked);
                return;
            }
            emit decisionChecked(ticket);
            QTimer::singleShot(delayMs, this,
                               [this, ticket, kind, file, folder, made = checked.madeFolders] {
                                   carryOut(ticket, kind, file, folder, made);
                               });
        });
    return ticket;
}

void AppState::carryOut(quint64 ticket, DecisionHistory::Kind kind, const TrackedFile &file,
                        const QString &folder, const QStringList &madeFolders)
{
    const FileSystem *fileSystem = &m_fileSystem;
    const bool keep = kind == DecisionHistory::Kind::Keep;
    runOnWorker(
        ticket,
        (keep ? u"Keep cancelled on quit: \"%1\" stays where it was"_s
              : u"Delete cancelled on quit: \"%1\" stays where it was"_s)
            .arg(file.filePath),
        [fileSystem, keep, file, folder, madeFolders](const CopyControl &control) {
            return keep ? DecisionWork::keep(*fileSystem, file, folder, &control, madeFolders)
                        : DecisionWork::trash(*fileSystem, file);
        },
        [this, ticket, kind, file](const DecisionWork::Outcome &outcome) {
            finishDecision(ticket, kind, file, outcome);
        });
}

void AppState::finishDecision(quint64 ticket, DecisionHistory::Kind kind, const TrackedFile &file,
                              const DecisionWork::Outcome &outcome)
{
    const bool ok = applyOutcome(kind, file, outcome);
    // The entry of that file, not a position: the list may have been reordered meanwhile.
    if (ok) {
        if (const qsizetype index = indexOfFile(file); index >= 0)
            removeEntryAt(index);
    }
    --m_busy;
    emit decisionFinished(ticket, ok,
                          ok ? QString() : DecisionWork::failureText(kind, file, outcome));
    runDeferred();
}

void AppState::undoLastDecision()
{
    const std::optional<DecisionHistory::Decision> decision = m_history.latest();
    if (!decision)
        return;
    // The one named in the menu now, even if a decision under way is recorded before it runs.
    if (m_busy > 0) {
        m_deferredUndos.append(decision->serial);
        return;
    }
    startUndo(decision->serial);
}

void AppState::startUndo(quint64 serial)
{
    const std::optional<DecisionHistory::Decision> decision = m_history.find(serial);
    if (!decision) {
        runDeferred();
        return;
    }
    ++m_busy;
    const FileSystem *fileSystem = &m_fileSystem;
    const DecisionHistory::Decision undone = *decision;
    const QString stays =
        undone.kind == DecisionHistory::Kind::Keep ? undone.keptPath : undone.trashed.filePath;
    runOnWorker(
        0, u"Undo cancelled on quit: \"%1\" stays where it was"_s.arg(stays),
        [fileSystem, undone](const CopyControl &control) {
            DecisionWork::Outcome outcome;
            outcome.result =
                DecisionHistory::undo(undone, *fileSystem, &control, &outcome.retryable);
            outcome.done = true;
            return outcome;
        },
        [this, undone](const DecisionWork::Outcome &outcome) {
            // A failed undo that changed nothing stays the latest while its file is still
            // where Mirel put it, so it can be tried again once the cause is gone.
            if (outcome.result.ok() || !outcome.retryable)
                m_history.drop(undone.serial);
            emit lastDecisionChanged();
            --m_busy;
            if (!outcome.result.ok()) {
                Console::writeLine(u"Failed to undo: "_s + outcome.result.message);
                emit undoFailed(outcome.result.message);
            } else {
                m_currentAfterScan = undone.originalPath;
                scanFolders();
                emit this->undone(undone.originalPath);
            }
            emit undoFinished(outcome.result.ok());
            runDeferred();
        });
}

void AppState::runDeferred()
{
    if (m_busy > 0)
        return;
    if (!m_deferredUndos.isEmpty()) {
        startUndo(m_deferredUndos.takeFirst());
        return;
    }
    if (m_scanDeferred)
        scanFolders();
}
