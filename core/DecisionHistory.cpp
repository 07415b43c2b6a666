// SPDX-License-Identifier: GPL-3.0-or-later
#include "DecisionHistory.h"

#include "FileNames.h"
#include "NoReplaceMove.h"

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
                                 const CopyControl *control)
{
    if (decision.kind == Kind::Delete)
        return fileSystem.restoreFromTrash(decision.trashed, decision.originalPath);

    const QString name = FileNames::fileName(decision.originalPath);
    const FileResult moved = fileSystem.moveWithoutReplacing(
        decision.keptPath, decision.originalPath, decision.kept, control);
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
