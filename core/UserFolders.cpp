// SPDX-License-Identifier: GPL-3.0-or-later
#include "UserFolders.h"

#include <QDir>
#include <QStandardPaths>

using namespace Qt::StringLiterals;

namespace {

QString userFolder(QStandardPaths::StandardLocation location)
{
    const QString path = QDir::cleanPath(QStandardPaths::writableLocation(location));
    // A relative entry would name a folder under whatever the working folder happens to be.
    if (!path.startsWith(u'/') || path == QDir::cleanPath(QDir::homePath()))
        return {};
    return path;
}

} // namespace

QString UserFolders::desktop()
{
    return userFolder(QStandardPaths::DesktopLocation);
}

QString UserFolders::downloads()
{
    return userFolder(QStandardPaths::DownloadLocation);
}

QString UserFolders::documents()
{
    return userFolder(QStandardPaths::DocumentsLocation);
}

QString UserFolders::keptFiles()
{
    const QString folder = documents();
    return (folder.isEmpty() ? QDir::homePath() + u"/Documents"_s : folder) + u"/Kept"_s;
}

bool UserFolders::isStandardFolder(const QString &path)
{
    if (path.isEmpty())
        return false;
    const QString home = QDir::homePath();
    return path == desktop() || path == downloads() || path == home + u"/Desktop"_s ||
           path == home + u"/Downloads"_s;
}
