// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "FileSystem.h"

#include <QString>

#include <optional>
#include <vector>

// This run's Keep and Delete decisions, latest last, with where each file went, so that they
// can be taken back one by one. Nothing is stored: the history ends with the program.
class DecisionHistory final
{
public:
    enum class Kind { Keep, Delete };

    struct Decision
    {
        Kind kind = Kind::Keep;
        QString originalPath;
        QString keptPath;    // Keep: where the file was filed
        FileIdentity kept;   // Keep: the item filed there, so a later file of that name is left
        TrashedItem trashed; // Delete: where the Trash put it
    };

    void recordKeep(const QString &originalPath, const QString &keptPath, const FileIdentity &kept);
    void recordDelete(const QString &originalPath, const TrashedItem &trashed);

    std::optional<Decision> latest() const;

    // Puts the file of the latest decision back at its original path, never replacing
    // anything. A failure names what is missing or in the way and changes nothing; the
    // decision then stays the latest while its file is still where Mirel put it, and is
    // dropped once the file has left that place.
    FileResult undoLatest(const FileSystem &fileSystem);

private:
    std::vector<Decision> m_decisions;
};
