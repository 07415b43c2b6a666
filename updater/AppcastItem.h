// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDateTime>
#include <QList>
#include <QString>
#include <QUrl>

// One release listed in an appcast feed.
struct AppcastItem
{
    QString title;
    QString pubDate;
    QDateTime published; // invalid when pubDate is missing or not an RFC 2822 date
    QString version;     // compared as dotted numbers to pick the newest release
    QString shortVersionString;
    QUrl releaseNotesLink;
    QString description;
    QUrl enclosureUrl;
    qint64 enclosureLength = -1; // -1 when missing or not a number
    QString enclosureType;
    QString edSignature;

    // The version people see: the short version when the feed gives one.
    QString displayVersion() const
    {
        return shortVersionString.isEmpty() ? version : shortVersionString;
    }
};

// The item with the highest version; the first of equals; nullptr for an empty list.
const AppcastItem *newestItem(const QList<AppcastItem> &items);
