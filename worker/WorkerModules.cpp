// SPDX-License-Identifier: GPL-3.0-or-later
#include "WorkerModules.h"

#include <QCoreApplication>
#include <QFile>

#include <dlfcn.h>

namespace WorkerModules {

void *symbol(const char *module, const char *symbol)
{
    const QByteArray path = QFile::encodeName(QCoreApplication::applicationDirPath() + u'/' +
                                              QLatin1StringView(module));
    void *handle = ::dlopen(path.constData(), RTLD_NOW | RTLD_LOCAL);
    return handle ? ::dlsym(handle, symbol) : nullptr;
}

} // namespace WorkerModules
