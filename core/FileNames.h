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
