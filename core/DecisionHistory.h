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
        quint64 serial = 0;  // names the decision while later ones are recorded
    };

    void recordKeep(const QString &originalPath, const QString &keptPath, const FileIdentity &kept);
    void recordDelete(const QString &originalPath, const TrashedItem &trashed);

    std::optional<Decision> latest() const;
    std::optional<Decision> find(quint64 serial) const;
    // Takes the decision out of the history (after its undo), wherever it is in it.
    void drop(quint64 serial);

    // Puts the file of the decision back at its original path, never replacing anything.
    // Safe on any thread: it only reads the decision. A failure names what is missing or in
    // the way and changes nothing; `retryable` says whether the file is still where Mirel put
    // it, so that the decision can stay the latest and be tried again once the cause is gone.
    static FileResult undo(const Decision &decision, const FileSystem &fileSystem,
                           const CopyControl *control = nullptr, bool *retryable = nullptr);

private:
    std::vector<Decision> m_decisions;
    quint64 m_nextSerial = 1;
};
