// SPDX-License-Identifier: GPL-3.0-or-later
#include "HeifJobs.h"

#include "WorkerModules.h"

namespace HeifJobs {

Picture decode(int file, qint64 size, const QSize &bounds, int maxMegabytes)
{
    static const auto decoder =
        reinterpret_cast<DecodeFunction>(WorkerModules::symbol(moduleName, decodeSymbol));
    Picture result;
    if (decoder)
        decoder(file, size, bounds.width(), bounds.height(), maxMegabytes, &result);
    return result;
}

} // namespace HeifJobs
