// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QString>

// Name arithmetic on absolute paths, shared by the scan, Keep, the trash and the views. The
// path helpers take the text of a path or the bytes the file system uses; one rule serves both.
namespace FileNames {

// Last path component ("report.pdf" of "/home/a/report.pdf").
QString fileName(const QString &path);
QByteArray fileName(const QByteArray &path);
// The last component of a folder or file path, ignoring trailing slashes ("Tool.app" of
// "/x/Tool.app/"); the root names itself.
QString lastPathComponent(const QString &path);
// Everything before the last "/" ("/" for a file at the root).
QString parentPath(const QString &path);
QByteArray parentPath(const QByteArray &path);
// The one extension rule: the text after the last dot of the name, as written. Empty for
// "notes", "file." and for a dot-file such as ".bashrc" (its dot starts the name); "gz" for
// "archive.tar.gz".
QString extension(const QString &name);
// The name without its extension and dot.
QString stem(const QString &name);
// What follows the counter of a clash name: ".pdf" of "report.pdf", ".tar.gz" of
// "archive.tar.gz"; empty when there is no extension.
QString clashSuffix(const QString &name);
// The n-th free-name candidate for a name taken already, the one rule for kept files and
// downloaded updates: "report (2).pdf" for n = 2, "archive (2).tar.gz", "notes (2)"; n = 0
// gives the name itself. The stem is shortened so that the name fits 255 bytes; an extension
// too long to leave room for the counter counts as part of the stem.
QString clashName(const QString &name, int n);
// The file name as shown to a person (undecodable bytes read as U+FFFD).
QString displayName(const QString &path);

} // namespace FileNames
