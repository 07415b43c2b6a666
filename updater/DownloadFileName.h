// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QUrl>

// Names for a downloaded update in the Downloads folder.
class DownloadFileName final
{
public:
    // The longest name fromUrl() gives, in UTF-8 bytes: with " (999)" added it still fits the
    // 255-byte limit of Linux file systems.
    static constexpr qsizetype maxBytes = 249;

    // The last part of the address's path, made safe as a file name in a shared folder, in one
    // pass: no folder separators, no control, bidirectional or other invisible formatting
    // characters, no leading dot or space, at most maxBytes bytes with the extension kept;
    // a fixed name when nothing visible is left. A name taken already gets a counter as a
    // kept file does (FileNames::clashName).
    static QString fromUrl(const QUrl &url);
};
