// SPDX-License-Identifier: GPL-3.0-or-later
#include "UpdaterSettings.h"

#include "MirelVersion.h"
#include "UpdaterBuildConfig.h"

#include <QDir>

using namespace Qt::StringLiterals;

UpdaterSettings UpdaterSettings::fromBuild()
{
    UpdaterSettings settings;
    settings.feedUrl = QUrl(QString::fromUtf8(MIREL_UPDATE_FEED_URL), QUrl::StrictMode);
    settings.publicKey = QByteArray(MIREL_UPDATE_PUBLIC_KEY);
    settings.runningVersion = QString::fromUtf8(MIREL_VERSION);
    return settings;
}

bool UpdaterSettings::isPackaged(const QString &binaryDir)
{
    return QDir::cleanPath(binaryDir) == u"/usr/bin"_s;
}
