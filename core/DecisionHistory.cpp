// SPDX-License-Identifier: GPL-3.0-or-later
#include "DecisionHistory.h"

#include "FileNames.h"

#include <cerrno>

using namespace Qt::StringLiterals;

void DecisionHistory::recordKeep(const QString &originalPath, const QString &keptPath,
                                 const FileIdentity &kept)
{
    m_decisions.push_back({Kind::Keep, originalPath, keptPath, kept, {}});
}

void DecisionHistory::recordDelete(const QString &originalPath, const TrashedItem &trashed)
{
    m_decisions.push_back({Kind::Delete, originalPath, {}, {}, trashed});
}

std::optional<DecisionHistory::Decision> DecisionHistory::latest() const
{
    if (m_decisions.empty())
        return std::nullopt;
    return m_decisions.back();
}

FileResult DecisionHistory::undoLatest(const FileSystem &fileSystem)
{
    if (m_decisions.empty())
        return FileResult::failure(ENOENT, u"there is nothing to undo"_s);
    const Decision decision = m_decisions.back();
    const bool keep = decision.kind == Kind::Keep;
    const FileResult undone =
        keep ? fileSystem.moveWithoutReplacing(decision.keptPath, decision.originalPath,
                                               decision.kept)
             : fileSystem.restoreFromTrash(decision.trashed, decision.originalPath);
    if (undone.ok()) {
        m_decisions.pop_back();
        return undone;
    }

    // A failed undo changes nothing. While the file is still where Mirel put it, the decision
    // stays the latest, so the undo can be tried again once the cause is gone; a file that
    // has left that place (the Trash emptied, the file moved or replaced) cannot come back.
    FileIdentity placed = decision.kept;
    if (!keep) {
        placed = decision.trashed.identity;
        placed.changedNs = decision.trashed.changedNs;
    }
    const QString placedPath = keep ? decision.keptPath : decision.trashed.filePath;
    if (!placed.isKnown() || fileSystem.identityOf(placedPath) != placed) {
        m_decisions.pop_back();
        if (!keep)
            return undone;
        return FileResult::failure(ENOENT, u"\"%1\" is no longer in \"%2\""_s.arg(
                                               FileNames::fileName(decision.originalPath),
                                               FileNames::parentPath(decision.keptPath)));
    }

    const QString name = FileNames::fileName(decision.originalPath);
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
