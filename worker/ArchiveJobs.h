// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "ArchiveListing.h"

// Archive listings in the preview process. libarchive and what it brings (libxml2, Nettle, ACLs,
// bzip2) cost every process's start time and memory, so the listing lives in a module
// (mirel-archive.so, ArchiveModule.cpp) that the process loads on its first archive.
namespace ArchiveJobs {

// ArchiveLister::list run by the module; a read error when the module cannot be loaded.
ArchiveListing list(int fd, const ArchiveLister::Limits &limits);

// The module's one entry point, looked up by this name.
using ListFunction = void (*)(int fd, const ArchiveLister::Limits *limits, ArchiveListing *listing);
inline constexpr char listSymbol[] = "mirelListArchive";
inline constexpr char moduleName[] = "mirel-archive.so";

} // namespace ArchiveJobs
