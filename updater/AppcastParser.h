// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "AppcastItem.h"

#include <QByteArray>
#include <QList>
#include <QString>

// Reads an appcast: an RSS 2.0 document whose items carry release data in the sparkle
// namespace. QtCore only, so the parser can be fuzzed on its own.
namespace AppcastParser {

struct Result
{
    QList<AppcastItem> items; // only items with a version and a download address
    QString error;            // empty when the document is an appcast
    bool isFeed() const { return error.isEmpty(); }
};

Result parse(const QByteArray &document);

} // namespace AppcastParser
