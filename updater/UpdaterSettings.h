// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QString>
#include <QUrl>

#include <chrono>

// What the updater works with; fromBuild() gives the values compiled into this build.
struct UpdaterSettings
{
    QUrl feedUrl;           // empty: updates come from the system's package manager
    QByteArray publicKey;   // base64 of the raw 32-byte Ed25519 key that signs downloads
    QString runningVersion; // compared with the feed's versions
    std::chrono::milliseconds timeout{15000}; // for the feed as a whole; per stall for downloads

    static UpdaterSettings fromBuild();
    // Whether a program running from binaryDir was installed by the system's package manager,
    // which alone puts programs into /usr/bin; anything else was built or installed by hand.
    static bool isPackaged(const QString &binaryDir);
};
