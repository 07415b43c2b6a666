// SPDX-License-Identifier: GPL-3.0-or-later
#include "BuildInfo.h"

#include "MirelVersion.h"

using namespace Qt::StringLiterals;

BuildInfo BuildInfo::current()
{
    return fromValues(QString::fromUtf8(MIREL_VERSION), QString::fromUtf8(MIREL_BUILD_NUMBER));
}

BuildInfo BuildInfo::fromValues(const QString &version, const QString &build)
{
    // A build number set to blanks is as good as none.
    const QString trimmedVersion = version.trimmed();
    const QString trimmedBuild = build.trimmed();
    return BuildInfo{trimmedVersion.isEmpty() ? u"1.0"_s : trimmedVersion,
                     trimmedBuild.isEmpty() ? u"1"_s : trimmedBuild};
}
