// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QUrl>

class QMenu;
class QPoint;
class QWidget;

// What the desktop offers for a file under review: open it, show it in the file manager,
// copy its path. URLs are built from the path's bytes, so names that are not valid UTF-8
// reach other programs unchanged.
namespace FileActions {

QUrl fileUrl(const QString &path);
void open(const QString &path);
// The file manager with the file selected; where none answers on the session bus, the
// folder is opened instead.
void showInFolder(const QString &path);
void copyPath(const QString &path);

// "Open", "Show in Folder" and "Copy Path" for the file, popped up at the given point. The
// menu deletes itself once closed.
QMenu *popUpMenu(const QString &path, const QPoint &globalPosition, QWidget *parent);

} // namespace FileActions
