// SPDX-License-Identifier: GPL-3.0-or-later
#include "ArchiveJobs.h"

#include "WorkerModules.h"

namespace ArchiveJobs {

ArchiveListing list(int fd, const ArchiveLister::Limits &limits)
{
    // Loaded once, on the first archive, and kept for the life of the process.
    static const auto lister =
        reinterpret_cast<ListFunction>(WorkerModules::symbol(moduleName, listSymbol));
    ArchiveListing listing;
    if (lister) {
        lister(fd, &limits, &listing);
    } else {
        listing.problem = ArchiveListing::Problem::ReadError;
        listing.detail = QStringLiteral("Mirel's archive module (%1) could not be loaded")
                             .arg(QLatin1StringView(moduleName));
    }
    return listing;
}

} // namespace ArchiveJobs
