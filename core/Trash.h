// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "FileIdentity.h"
#include "FileSystem.h"

#include <QByteArray>
#include <QDateTime>

#include <functional>

// Mirel's own freedesktop.org Trash: the home trash for files on the home file system, the
// mount's ".Trash/$uid" or ".Trash-$uid" for files elsewhere, so the desktop's file manager
// can list and restore what Mirel deleted.
namespace Trash {

// Refuses, leaving everything in place, when `path` no longer holds the `expected` item.
// Tells where the item went when `trashed` is given.
FileResult moveToTrash(const QString &path, const FileIdentity &expected = {},
                       TrashedItem *trashed = nullptr);

// Puts a trashed item back at `to`, never replacing what stands there, and then removes its
// info file. Refuses when the item in files/ is no longer the one trashed or the info file
// no longer names the original location (the user emptied the Trash or restored the item).
FileResult restore(const TrashedItem &item, const QString &to);

// The ".trashinfo" text for an item whose original location is `path` (absolute, or
// relative to the top folder of a mount's trash), deleted at `when` (local time).
QByteArray infoContents(const QByteArray &path, const QDateTime &when);

// The mount point that holds `path` (resolved), from /proc/self/mountinfo.
QByteArray mountPointOf(const QByteArray &resolvedPath);

// Runs after the trash folder is chosen and checked, before anything is written into it.
// Tests swap folders there, as another user who can write the drive could.
void setCheckedHook(std::function<void()> hook);

} // namespace Trash
