// SPDX-License-Identifier: GPL-3.0-or-later
#include "AppState.h"

#include "Console.h"
#include "FileNames.h"
#include "FileSystem.h"

#include <QLocale>

#include <cerrno>

using namespace Qt::StringLiterals;

namespace {
// A month folder holding this many copies of one name is not a clash any more.
constexpr int maxNameAttempts = 100000;
} // namespace

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

qsizetype AppState::indexOfPath(const QString &path) const
{
    const auto found =
        std::find_if(m_files.cbegin(), m_files.cend(),
                     [&path](const TrackedFile &file) { return file.filePath == path; });
    return found == m_files.cend() ? -1 : qsizetype(found - m_files.cbegin());
}

// The folders a Keep is about to make for its month; removed again, if still empty, when the
// Keep fails, so a refused Keep leaves no empty year or month folder behind.
class MadeFolders final
{
public:
    MadeFolders(const FileSystem &fileSystem, const QString &folder)
        : m_fileSystem(fileSystem)
    {
        for (QString missing = folder; missing.size() > 1 && !m_fileSystem.exists(missing);
             missing = FileNames::parentPath(missing))
            m_folders.append(missing);
    }
    ~MadeFolders()
    {
        for (const QString &folder : std::as_const(m_folders))
            m_fileSystem.removeEmptyFolder(folder);
    }
    MadeFolders(const MadeFolders &) = delete;
    MadeFolders &operator=(const MadeFolders &) = delete;
    void keep() { m_folders.clear(); }

private:
    const FileSystem &m_fileSystem;
    QStringList m_folders; // deepest first
};

bool AppState::moveToKept(const TrackedFile &file)
{
    const QDate today = m_clock().date();
    const QString folder = m_keptFilesPath + u'/' + QString::number(today.year()) + u'/' +
                           QLocale().toString(today, u"MMMM"_s);
    MadeFolders madeFolders(m_fileSystem, folder);
    if (const FileResult made = m_fileSystem.makePath(folder); !made.ok()) {
        Console::writeLine(u"Failed to keep: "_s + made.message);
        emit decisionFailed(made.message);
        return false;
    }
    const QString name = FileNames::fileName(file.filePath);
    for (int n = 0; n < maxNameAttempts; ++n) {
        const QString candidate = folder + u'/' + (n == 0 ? name : FileNames::clashName(name, n));
        if (m_fileSystem.exists(candidate))
            continue;
        // Another program may take the name after the check: the move refuses to replace
        // it, and the next name is tried.
        const FileResult moved =
            m_fileSystem.moveWithoutReplacing(file.filePath, candidate, file.identity);
        if (moved.code == EEXIST)
            continue;
        if (!moved.ok()) {
            Console::writeLine(u"Failed to keep: "_s + moved.message);
            emit decisionFailed(moved.message);
            return false;
        }
        madeFolders.keep();
        m_history.recordKeep(file.filePath, candidate, m_fileSystem.identityOf(candidate));
        emit lastDecisionChanged();
        return true;
    }
    const QString reason = u"no free name for \"%1\" in \"%2\""_s.arg(name, folder);
    Console::writeLine(u"Failed to keep: "_s + reason);
    emit decisionFailed(reason);
    return false;
}

bool AppState::moveToTrash(const TrackedFile &file)
{
    TrashedItem item;
    const FileResult trashed = m_fileSystem.moveToTrash(file.filePath, file.identity, &item);
    if (!trashed.ok()) {
        Console::writeLine(u"Failed to delete: "_s + trashed.message);
        emit decisionFailed(trashed.message);
        return false;
    }
    m_history.recordDelete(file.filePath, item);
    emit lastDecisionChanged();
    return true;
}

void AppState::undoLastDecision()
{
    const std::optional<DecisionHistory::Decision> decision = m_history.latest();
    if (!decision)
        return;
    const FileResult result = m_history.undoLatest(m_fileSystem);
    emit lastDecisionChanged();
    if (!result.ok()) {
        Console::writeLine(u"Failed to undo: "_s + result.message);
        emit undoFailed(result.message);
        return;
    }
    scanFolders();
    const qsizetype restored = indexOfPath(decision->originalPath);
    if (restored > 0)
        setCurrentIndex(restored);
    emit undone(decision->originalPath);
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
