// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "FileIdentity.h"
#include "FileSystem.h"

#include <QByteArray>

#include <cerrno>
#include <functional>

// A move that can never replace what stands at the destination, on one file system or
// across two.
namespace NoReplaceMove {

// Refuses, leaving everything in place, when `from` no longer holds the `expected` item.
// Across file systems the copy keeps the holes of a sparse file, reports its progress to
// `control` and stops when asked to.
FileResult move(const QString &from, const QString &to, const FileIdentity &expected = {},
                const CopyControl *control = nullptr);

// Gives `from` the name `to` on the same file system, failing with EEXIST when `to` is taken.
// Returns 0 or an errno code.
int renameNoReplace(const QByteArray &from, const QByteArray &to);
// The same with each name relative to an open folder (or AT_FDCWD).
int renameNoReplaceAt(int fromFolder, const QByteArray &from, int toFolder, const QByteArray &to);

// Gives the unnamed file (O_TMPFILE) open as `file` the name `to` in the open `folder`,
// failing with EEXIST when the name is taken. Returns 0 or an errno code.
int linkUnnamedAt(int file, int folder, const QByteArray &to);

// Removes the hidden partial copies that a Mirel killed while copying left in the month
// folders under `keptRoot` (<keptRoot>/<year>/<month>/): those a minute old, of the user's
// own, that no running copy holds locked. May block on a slow drive: never on the GUI thread.
void sweepStalePartials(const QString &keptRoot);

// The code and reason given when a path no longer holds the item that was listed.
inline constexpr int replacedError = ESTALE;
QString replacedReason();
// The code given when the source was written to while it was copied across file systems:
// the copy is discarded and the source stays.
inline constexpr int changedError = EBUSY;
QString changedReason();

// Runs after a copy across file systems is complete and named, just before the source is
// checked a last time and removed. Tests replace or change the source there, as another
// program could.
void setBeforeSourceRemovedHook(std::function<void()> hook);

} // namespace NoReplaceMove
