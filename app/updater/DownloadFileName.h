#pragma once

#include <QString>
#include <QUrl>

// Names for a downloaded update in the Downloads folder.
class DownloadFileName final
{
public:
    // The last part of the address's path, made safe as a file name in a shared folder:
    // no folder separators, no control characters, not hidden; a fixed name when nothing
    // usable is left.
    static QString fromUrl(const QUrl &url);

    // name with " (number)" before its extension: "Mirel.AppImage" -> "Mirel (2).AppImage",
    // "Mirel.tar.gz" -> "Mirel (2).tar.gz". Number 0 gives the name itself.
    static QString numbered(const QString &name, int number);
};
