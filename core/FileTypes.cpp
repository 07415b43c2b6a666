// SPDX-License-Identifier: GPL-3.0-or-later
#include "FileTypes.h"

#include <QHash>
#include <QMimeDatabase>

using namespace Qt::StringLiterals;

QString FileTypes::typeForExtension(const QString &extension)
{
    if (extension.isEmpty())
        return extension;
    static QHash<QString, QString> cache;
    const auto cached = cache.constFind(extension);
    if (cached != cache.cend())
        return *cached;

    QString type = extension;
    const QList<QMimeType> matches = QMimeDatabase().mimeTypesForFileName(u"file."_s + extension);
    if (!matches.isEmpty() && !matches.first().isDefault())
        type = matches.first().name();
    cache.insert(extension, type);
    return type;
}
