// SPDX-License-Identifier: GPL-3.0-or-later
#include "PosixPaths.h"

#include <cerrno>
#include <sys/stat.h>

int PosixPaths::makePath(const QByteArray &path, mode_t mode)
{
    for (qsizetype slash = path.indexOf('/', 1);; slash = path.indexOf('/', slash + 1)) {
        const QByteArray part = slash < 0 ? path : path.first(slash);
        if (::mkdir(part.constData(), mode) != 0 && errno != EEXIST)
            return errno;
        if (slash < 0)
            break;
    }
    struct stat attributes = {};
    return ::stat(path.constData(), &attributes) == 0 && S_ISDIR(attributes.st_mode) ? 0 : ENOTDIR;
}
