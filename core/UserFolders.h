// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

// The user's Desktop, Downloads and Documents folders as the desktop names them
// (xdg-user-dirs: ~/Schreibtisch, ~/Téléchargements, ~/Dokumente on localised desktops),
// falling back to ~/Desktop, ~/Downloads and ~/Documents. Everything that compares with these
// folders asks here. Read afresh on every call, so a changed user-dirs.dirs counts at once.
namespace UserFolders {

// Empty when the desktop sets the folder to the home folder itself: that means "no such
// folder", and scanning the whole home in its place would be wrong.
QString desktop();
QString downloads();
QString documents();

// Where Keep files things: <documents>/Kept, or ~/Documents/Kept when there is no
// documents folder of its own.
QString keptFiles();

// Whether the path is the Desktop or the Downloads folder, which have their own switches and
// are never custom folders. ~/Desktop and ~/Downloads count too: earlier versions stored
// them as the default folder list, whatever the desktop called its folders.
bool isStandardFolder(const QString &path);

} // namespace UserFolders
