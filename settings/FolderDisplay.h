// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QList>
#include <QString>
#include <QUrl>

class FolderAccessService;

// How the settings window lists folders.
namespace FolderDisplay {

// The stored folders in their order, without the Desktop and Downloads folders
// (UserFolders::isStandardFolder), which have their own switches. Paths are compared as exact
// strings.
QList<QUrl> customFolders(const FolderAccessService &store);

// "~" for the home folder and what lies under it, the folder's own name elsewhere. The home
// test is a plain string prefix, so /home/anna/Work under the home /home/ann reads "~a/Work".
QString abbreviatedPath(const QUrl &url);
QString abbreviatedPath(const QUrl &url, const QString &homePath);

} // namespace FolderDisplay
