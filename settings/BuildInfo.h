// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

// The version and build number compiled into this build, as the About section shows them.
struct BuildInfo
{
    QString appVersion;
    QString buildNumber;

    // The values of this build.
    static BuildInfo current();
    // A value the build left empty reads as "1.0" for the version and "1" for the build.
    static BuildInfo fromValues(const QString &version, const QString &build);
};
