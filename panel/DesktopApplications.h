// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QStringList>

class QMimeType;

// Whether the desktop has an application for a type of file, as xdg-open and the file managers
// find one: an application whose desktop entry lists the type (or a type it derives from, as a
// C source is a text file), through the desktop's mimeinfo.cache or, in folders without one,
// the entries themselves, and the defaults and added associations of mimeapps.list. Reads
// files: call it off the GUI thread.
namespace DesktopApplications {

// $XDG_CONFIG_HOME, $XDG_CONFIG_DIRS, then the applications folders of $XDG_DATA_HOME and
// $XDG_DATA_DIRS: where mimeapps.list and the desktop entries are looked for.
QStringList configFolders();
QStringList applicationFolders();

bool canOpen(const QMimeType &type, const QStringList &configs = configFolders(),
             const QStringList &applications = applicationFolders());

} // namespace DesktopApplications
