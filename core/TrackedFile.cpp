// SPDX-License-Identifier: GPL-3.0-or-later
#include "TrackedFile.h"

#include "FileNames.h"

using namespace Qt::StringLiterals;

QString TrackedFile::sourceFolderName() const
{
    const QString parent = FileNames::parentPath(filePath);
    if (parent.contains(u"Desktop"_s))
        return u"Desktop"_s;
    if (parent.contains(u"Downloads"_s))
        return u"Downloads"_s;
    return parent == u"/"_s ? parent : FileNames::fileName(parent);
}
