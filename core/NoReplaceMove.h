#pragma once

#include "FileSystem.h"

#include <QByteArray>

// A move that can never replace what stands at the destination, on one file system or
// across two.
namespace NoReplaceMove {

FileResult move(const QString &from, const QString &to);

// Gives `from` the name `to` on the same file system, failing with EEXIST when `to` is taken.
// Returns 0 or an errno code.
int renameNoReplace(const QByteArray &from, const QByteArray &to);

} // namespace NoReplaceMove
