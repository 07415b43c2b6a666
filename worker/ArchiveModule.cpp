// SPDX-License-Identifier: GPL-3.0-or-later
// The archive module (mirel-archive.so): libarchive, loaded by the preview process on its first
// archive.
#include "ArchiveJobs.h"

extern "C" __attribute__((visibility("default"))) void
mirelListArchive(int fd, const ArchiveLister::Limits *limits, ArchiveListing *listing)
{
    *listing = ArchiveLister::list(fd, *limits);
}
