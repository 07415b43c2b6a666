// SPDX-License-Identifier: GPL-3.0-or-later
// libFuzzer target for the appcast parser: feeds arbitrary bytes to it and checks that the
// newest item it picks is never older than another item.
#include "AppcastItem.h"
#include "AppcastParser.h"
#include "VersionComparison.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const QByteArray document =
        QByteArray::fromRawData(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size));
    const AppcastParser::Result result = AppcastParser::parse(document);
    if (!result.isFeed() && !result.items.isEmpty())
        std::abort(); // a refused document must not hand out items
    const AppcastItem *newest = newestItem(result.items);
    for (const AppcastItem &item : result.items) {
        if (item.version.isEmpty() || compareVersions(item.version, newest->version) > 0)
            std::abort();
        if (compareVersions(item.version, newest->version) !=
            -compareVersions(newest->version, item.version))
            std::abort();
    }
    return 0;
}
