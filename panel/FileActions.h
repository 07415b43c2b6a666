// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QUrl>

#include <functional>

class QMenu;
class QObject;
class QPoint;
class QWidget;

// What the desktop offers for a file under review: open it, show it in the file manager,
// copy its path. URLs are built from the path's bytes, so names that are not valid UTF-8
// reach other programs unchanged.
namespace FileActions {

QUrl fileUrl(const QString &path);
// Hands the file to the application the desktop has for its type. Where there is none (or no
// way to start one), `failed` is called on `context`'s thread with the words to show.
using OpenFailed = std::function<void(const QString &reason)>;
void open(const QString &path, QObject *context = nullptr, OpenFailed failed = {});
// The file manager with the file selected; where none answers on the session bus, the
// folder is opened instead.
void showInFolder(const QString &path);
void copyPath(const QString &path);

// "Open", "Show in Folder" and "Copy Path" for the file, popped up at the given point. The
// menu deletes itself once closed. `openFailed` as for open(), with the menu's parent as context.
QMenu *popUpMenu(const QString &path, const QPoint &globalPosition, QWidget *parent,
                 OpenFailed openFailed = {});

} // namespace FileActions
