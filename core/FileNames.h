#pragma once

#include <QString>

// Name arithmetic on absolute path strings, shared by the scan, Keep and the views.
namespace FileNames {

// Last path component ("report.pdf" of "/home/a/report.pdf").
QString fileName(const QString &path);
// Everything before the last "/" ("/" for a file at the root).
QString parentPath(const QString &path);
// Text after the last dot of the name; empty for "notes", ".bashrc" and "file.".
QString extension(const QString &name);
// The name without its extension and dot.
QString stem(const QString &name);
// "report (2).pdf" for n = 2; "notes (2)" when there is no extension. The stem is
// shortened (never the extension) so that the name fits 255 bytes.
QString clashName(const QString &name, int n);
// The file name as shown to a person (undecodable bytes read as U+FFFD).
QString displayName(const QString &path);

} // namespace FileNames
