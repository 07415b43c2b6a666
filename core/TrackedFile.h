// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "FileIdentity.h"
#include "FileSystem.h"

#include <QDateTime>
#include <QMetaType>
#include <QString>
#include <QUuid>

// One file waiting for the user's decision. Made only by the scan; identity is `id`, so the
// same file scanned twice gives two different records.
struct TrackedFile
{
    QUuid id;
    QString filePath;
    QDateTime dateAdded;
    qint64 fileSize = 0;
    QString fileType;
    // What the path held when it was listed: Keep and Delete refuse anything else.
    FileIdentity identity;
    // Content modification time in nanoseconds as listed (links followed): the review order,
    // newest first. Unknown sorts last.
    qint64 modifiedNs = FolderEntry::unknownTime;

    // The label of the folder holding the file: "Desktop", "Downloads" or the folder's name.
    QString sourceFolderName() const;

    friend bool operator==(const TrackedFile &a, const TrackedFile &b) { return a.id == b.id; }
};

Q_DECLARE_METATYPE(TrackedFile)
