// SPDX-License-Identifier: GPL-3.0-or-later
#include "AppState.h"

#include "Console.h"
#include "DecisionWork.h"
#include "FileSystem.h"

#include <QLocale>

using namespace Qt::StringLiterals;

void AppState::keepCurrentFile()
{
    const std::optional<TrackedFile> file = currentFile();
    if (file && moveToKept(*file))
        removeEntryAt(m_currentIndex);
}

void AppState::deleteCurrentFile()
{
    const std::optional<TrackedFile> file = currentFile();
    if (file && moveToTrash(*file))
        removeEntryAt(m_currentIndex);
}

void AppState::keepFile(const QUuid &id)
{
    const qsizetype index = indexOf(id);
    if (index >= 0 && moveToKept(m_files.at(index)))
        removeEntryAt(index);
}

void AppState::deleteFile(const QUuid &id)
{
    const qsizetype index = indexOf(id);
    if (index >= 0 && moveToTrash(m_files.at(index)))
        removeEntryAt(index);
}

qsizetype AppState::indexOf(const QUuid &id) const
{
    const auto found = std::find_if(m_files.cbegin(), m_files.cend(),
                                    [&id](const TrackedFile &file) { return file.id == id; });
    return found == m_files.cend() ? -1 : qsizetype(found - m_files.cbegin());
}

qsizetype AppState::indexOfFile(const TrackedFile &wanted) const
{
    const auto found =
        std::find_if(m_files.cbegin(), m_files.cend(), [&wanted](const TrackedFile &file) {
            return file.filePath == wanted.filePath &&
                   file.identity.device == wanted.identity.device &&
                   file.identity.inode == wanted.identity.inode;
        });
    return found == m_files.cend() ? -1 : qsizetype(found - m_files.cbegin());
}

qsizetype AppState::indexOfPath(const QString &path) const
{
    const auto found =
        std::find_if(m_files.cbegin(), m_files.cend(),
                     [&path](const TrackedFile &file) { return file.filePath == path; });
    return found == m_files.cend() ? -1 : qsizetype(found - m_files.cbegin());
}

QString AppState::monthFolder() const
{
    const QDate today = m_clock().date();
    return m_keptFilesPath + u'/' + QString::number(today.year()) + u'/' +
           QLocale().toString(today, u"MMMM"_s);
}

bool AppState::moveToKept(const TrackedFile &file)
{
    return applyOutcome(DecisionHistory::Kind::Keep, file,
                        DecisionWork::keep(m_fileSystem, file, monthFolder()));
}

bool AppState::moveToTrash(const TrackedFile &file)
{
    return applyOutcome(DecisionHistory::Kind::Delete, file,
                        DecisionWork::trash(m_fileSystem, file));
}

bool AppState::applyOutcome(DecisionHistory::Kind kind, const TrackedFile &file,
                            const DecisionWork::Outcome &outcome)
{
    const bool keep = kind == DecisionHistory::Kind::Keep;
    if (!outcome.result.ok()) {
        Console::writeLine((keep ? u"Failed to keep: "_s : u"Failed to delete: "_s) +
                           outcome.result.message);
        emit decisionFailed(outcome.result.message);
        return false;
    }
    if (keep)
        m_history.recordKeep(file.filePath, outcome.keptPath, outcome.kept);
    else
        m_history.recordDelete(file.filePath, outcome.trashed);
    emit lastDecisionChanged();
    return true;
}

void AppState::removeEntryAt(qsizetype index)
{
    const qsizetype current = m_currentIndex;
    m_files.removeAt(index);
    announceFiles();
    if (index < current)
        setCurrentIndex(current - 1);
    else if (current >= m_files.size())
        setCurrentIndex(std::max<qsizetype>(0, m_files.size() - 1));
}
