// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QStringView>

// Compares two dotted version numbers part by part as numbers, so 1.10 is newer than 1.9.
// Missing parts count as zero (1.0 equals 1.0.0). Text after a part's digits marks a
// pre-release of that number (1.2b1 is older than 1.2); two such texts compare as text.
// Digit runs of any length compare correctly: no integer conversion can overflow.
// Returns <0, 0 or >0 like strcmp.
int compareVersions(QStringView left, QStringView right);
