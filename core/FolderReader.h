// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "FileSystem.h"

// Lists a folder with readdir: Qt's own listings skip names that are not valid UTF-8, and
// stat-ing each entry relative to the open folder is what keeps a big folder fast.
namespace FolderReader {

FolderListing read(const QString &folder);

} // namespace FolderReader
