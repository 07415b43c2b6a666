// SPDX-License-Identifier: GPL-3.0-or-later
#include "AppcastItem.h"

#include "VersionComparison.h"

const AppcastItem *newestItem(const QList<AppcastItem> &items)
{
    const AppcastItem *newest = nullptr;
    for (const AppcastItem &item : items) {
        if (newest == nullptr || compareVersions(item.version, newest->version) > 0)
            newest = &item;
    }
    return newest;
}
