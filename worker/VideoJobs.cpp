// SPDX-License-Identifier: GPL-3.0-or-later
#include "VideoJobs.h"

#include <QCoreApplication>
#include <QFile>

#include <dlfcn.h>

namespace VideoJobs {

namespace {

// Loaded once, on the first video, and kept for the life of the process (which ends after a few
// idle seconds anyway); null when the module is missing or broken.
DecodeFunction decoder()
{
    static const DecodeFunction loaded = [] {
        // Beside this executable, wherever it lies: never found through a search path.
        const QByteArray module = QFile::encodeName(QCoreApplication::applicationDirPath() + u'/' +
                                                    QLatin1StringView(moduleName));
        void *handle = ::dlopen(module.constData(), RTLD_NOW | RTLD_LOCAL);
        if (!handle)
            return DecodeFunction(nullptr);
        return reinterpret_cast<DecodeFunction>(::dlsym(handle, decodeSymbol));
    }();
    return loaded;
}

} // namespace

Frame frame(int file, const QSize &bounds)
{
    Frame result;
    if (const DecodeFunction decode = decoder())
        decode(file, bounds.width(), bounds.height(), &result);
    return result;
}

} // namespace VideoJobs
