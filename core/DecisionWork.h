// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "DecisionHistory.h"
#include "FileSystem.h"
#include "TrackedFile.h"

#include <QString>
#include <QStringList>

// The file operations of a Keep or a Delete, apart from the review state, so that they can
// run on a worker thread: they touch nothing but the file system and what they are given.
namespace DecisionWork {

using Kind = DecisionHistory::Kind;

struct Outcome
{
    FileResult result;       // the message is what the console line says after its prefix
    QString cause;           // on failure: why, in plain words, for the line under the file
    bool done = false;       // the operation itself ran (a check that failed ran it at once)
    QString keptPath;        // Keep: where the file went
    FileIdentity kept;       // Keep: the item filed there
    TrashedItem trashed;     // Delete: where the Trash put it
    bool retryable = false;  // Undo: failed, but the file is still where Mirel put it
    QStringList madeFolders; // Keep: the folders it made for its month, deepest first
};

// What can be told at once, before the feedback has played: that the path still holds the
// listed file and, for a Keep, that its month folder is there or can be made. A file that
// is gone or replaced is decided at once (the operation refuses with its usual reason), so
// a failure is known before any success symbol shows.
Outcome check(const FileSystem &fileSystem, Kind kind, const TrackedFile &file,
              const QString &monthFolder);

// Files the listed file into the month folder under its name or the first free clash name.
// A failed Keep removes again, while still empty, the folders it made, including those its
// check made (`madeBefore`), so a refused Keep leaves no empty year or month folder behind.
Outcome keep(const FileSystem &fileSystem, const TrackedFile &file, const QString &monthFolder,
             const CopyControl *control = nullptr, const QStringList &madeBefore = {});
// The Keep itself, leaving any folders it made.
Outcome keepInto(const FileSystem &fileSystem, const TrackedFile &file, const QString &monthFolder,
                 const CopyControl *control);
Outcome trash(const FileSystem &fileSystem, const TrackedFile &file);

// The line under the file: `Could not keep "report.pdf": it is no longer in Downloads`.
QString failureText(Kind kind, const TrackedFile &file, const Outcome &outcome);

} // namespace DecisionWork
