#pragma once

#include "FileSystem.h"

#include <QByteArray>
#include <QDateTime>

// Mirel's own freedesktop.org Trash: the home trash for files on the home file system, the
// mount's ".Trash/$uid" or ".Trash-$uid" for files elsewhere, so the desktop's file manager
// can list and restore what Mirel deleted.
namespace Trash {

FileResult moveToTrash(const QString &path);

// The ".trashinfo" text for an item whose original location is `path` (absolute, or
// relative to the top folder of a mount's trash), deleted at `when` (local time).
QByteArray infoContents(const QByteArray &path, const QDateTime &when);

// The mount point that holds `path` (resolved), from /proc/self/mountinfo.
QByteArray mountPointOf(const QByteArray &resolvedPath);

} // namespace Trash
