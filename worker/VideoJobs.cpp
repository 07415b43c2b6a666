// SPDX-License-Identifier: GPL-3.0-or-later
#include "VideoJobs.h"

#include "WorkerModules.h"

namespace VideoJobs {

Frame frame(int file, const QSize &bounds)
{
    // Loaded once, on the first video, and kept for the life of the process.
    static const auto decoder =
        reinterpret_cast<DecodeFunction>(WorkerModules::symbol(moduleName, decodeSymbol));
    Frame result;
    if (decoder)
        decoder(file, bounds.width(), bounds.height(), &result);
    return result;
}

} // namespace VideoJobs
