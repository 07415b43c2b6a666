// SPDX-License-Identifier: GPL-3.0-or-later
#include "Settings.h"

#include "UserFolders.h"

#include <QFileInfo>
#include <QSettings>

using namespace Qt::StringLiterals;

namespace {
QSettings store()
{
    return QSettings(u"Mirel"_s, u"Mirel"_s);
}
} // namespace

bool Settings::storeExists()
{
    return QFileInfo::exists(store().fileName());
}

bool Settings::contains(QLatin1String key)
{
    return store().contains(key);
}

bool Settings::readBool(const BoolKey &key)
{
    return store().value(key.name, key.defaultValue).toBool();
}

void Settings::writeBool(const BoolKey &key, bool value)
{
    store().setValue(key.name, value);
}

void Settings::writeDefaultIfAbsent(const BoolKey &key)
{
    if (!contains(key.name))
        writeBool(key, key.defaultValue);
}

QStringList Settings::defaultMonitoredFolders()
{
    QStringList folders;
    for (const QString &path : {UserFolders::desktop(), UserFolders::downloads()}) {
        if (!path.isEmpty())
            folders.append(path);
    }
    return folders;
}

std::optional<QStringList> Settings::readStringList(const StringListKey &key)
{
    const QSettings settings = store();
    if (!settings.contains(key.name))
        return std::nullopt;
    const QVariant value = settings.value(key.name);
    // QSettings writes an empty list as "@Invalid()": it reads back as an invalid value
    // while the key is present, and must stay an empty list.
    if (!value.isValid())
        return QStringList();
    switch (value.typeId()) {
    case QMetaType::QStringList:
        return value.toStringList();
    case QMetaType::QString: // a one-element list in the INI format
        return QStringList{value.toString()};
    case QMetaType::QVariantList: {
        QStringList list;
        for (const QVariant &item : value.toList()) {
            if (item.typeId() != QMetaType::QString)
                return std::nullopt;
            list.append(item.toString());
        }
        return list;
    }
    default:
        return std::nullopt;
    }
}

QStringList Settings::readStringListOrDefault(const StringListKey &key)
{
    if (std::optional<QStringList> stored = readStringList(key))
        return *std::move(stored);
    return key.defaultValue();
}

void Settings::writeStringList(const StringListKey &key, const QStringList &value)
{
    store().setValue(key.name, value);
}
