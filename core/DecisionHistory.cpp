// SPDX-License-Identifier: GPL-3.0-or-later
#include "DecisionHistory.h"

#include "FileNames.h"

#include <algorithm>
#include <cerrno>

using namespace Qt::StringLiterals;

void DecisionHistory::recordKeep(const QString &originalPath, const QString &keptPath,
                                 const FileIdentity &kept)
{
    m_decisions.push_back({Kind::Keep, originalPath, keptPath, kept, {}, m_nextSerial++});
}

void DecisionHistory::recordDelete(const QString &originalPath, const TrashedItem &trashed)
{
    m_decisions.push_back({Kind::Delete, originalPath, {}, {}, trashed, m_nextSerial++});
}

std::optional<DecisionHistory::Decision> DecisionHistory::latest() const
{
    if (m_decisions.empty())
        return std::nullopt;
    return m_decisions.back();
}

std::optional<DecisionHistory::Decision> DecisionHistory::find(quint64 serial) const
{
    const auto found = std::find_if(m_decisions.cbegin(), m_decisions.cend(),
                                    [serial](const Decision &d) { return d.serial == serial; });
    if (found == m_decisions.cend())
        return std::nullopt;
    return *found;
}

void DecisionHistory::drop(quint64 serial)
{
    std::erase_if(m_decisions, [serial](const Decision &d) { return d.serial == serial; });
}

FileResult DecisionHistory::undo(const Decision &decision, const FileSystem &fileSystem,
                                 const CopyControl *control, bool *retryable)
{
    if (retryable)
        *retryable = false;
    const bool keep = decision.kind == Kind::Keep;
    const FileResult undone =
        keep ? fileSystem.moveWithoutReplacing(decision.keptPath, decision.originalPath,
                                               decision.kept, control)
             : fileSystem.restoreFromTrash(decision.trashed, decision.originalPath);
    if (undone.ok())
        return undone;

    // A failed undo changes nothing. While the file is still where Mirel put it, the decision
    // can stay the latest, so the undo can be tried again once the cause is gone; a file that
    // has left that place (the Trash emptied, the file moved or replaced) cannot come back.
    FileIdentity placed = decision.kept;
    if (!keep) {
        placed = decision.trashed.identity;
        placed.changedNs = decision.trashed.changedNs;
    }
    const QString placedPath = keep ? decision.keptPath : decision.trashed.filePath;
    const QString name = FileNames::fileName(decision.originalPath);
    if (!placed.isKnown() || fileSystem.identityOf(placedPath) != placed) {
        if (!keep)
            return undone;
        return FileResult::failure(ENOENT, u"\"%1\" is no longer in \"%2\""_s.arg(
                                               name, FileNames::parentPath(decision.keptPath)));
    }
    if (retryable)
        *retryable = true;

    const QString folder = FileNames::parentPath(decision.originalPath);
    if (undone.code == EEXIST) {
        return FileResult::failure(EEXIST,
                                   u"\"%1\" could not be put back: \"%2\" already exists"_s.arg(
                                       name, decision.originalPath));
    }
    // What is missing is the folder the file came from, not the file.
    if ((undone.code == ENOENT || undone.code == ENOTDIR) && !fileSystem.isFolder(folder)) {
        return FileResult::failure(
            undone.code, u"\"%1\" could not be put back: the folder \"%2\" no longer exists"_s.arg(
                             name, folder));
    }
    return undone;
}
