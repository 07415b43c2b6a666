// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

namespace FileTypes {

// The MIME type that shared-mime-info gives a file name extension, or the extension itself
// when there is none ("application/octet-stream" counts as none). Cached per extension:
// the scan asks once per file.
QString typeForExtension(const QString &extension);

} // namespace FileTypes
