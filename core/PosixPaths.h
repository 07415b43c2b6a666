#pragma once

#include <QByteArray>

#include <sys/types.h>

// Path arithmetic and folder creation on the bytes of a path, for the code that talks to
// the file system directly.
namespace PosixPaths {

// Everything before the last "/" ("/" for an item at the root).
QByteArray parentOf(const QByteArray &path);
// The last path component.
QByteArray nameOf(const QByteArray &path);
// Creates the folder and every missing parent with `mode`. Returns 0, or an errno code;
// ENOTDIR when something other than a folder stands at the path.
int makePath(const QByteArray &path, mode_t mode);

} // namespace PosixPaths
