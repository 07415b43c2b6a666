// SPDX-License-Identifier: GPL-3.0-or-later
#include "DecisionHistory.h"

#include "FileNames.h"
#include "NoReplaceMove.h"

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
    m_decisions.pop_back();

    if (decision.kind == Kind::Delete)
        return fileSystem.restoreFromTrash(decision.trashed, decision.originalPath);

    const QString name = FileNames::fileName(decision.originalPath);
    const FileResult moved =
        fileSystem.moveWithoutReplacing(decision.keptPath, decision.originalPath, decision.kept);
    // Gone, or another file of that name now in its place: either way the kept one is not there.
    if (moved.code == ENOENT || moved.code == NoReplaceMove::replacedError) {
        return FileResult::failure(ENOENT, u"\"%1\" is no longer in \"%2\""_s.arg(
                                               name, FileNames::parentPath(decision.keptPath)));
    }
    if (moved.code == EEXIST) {
        return FileResult::failure(EEXIST,
                                   u"\"%1\" could not be put back: \"%2\" already exists"_s.arg(
                                       name, decision.originalPath));
    }
    return moved;
}
