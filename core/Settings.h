// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QLatin1String>
#include <QStringList>

#include <optional>

// Every key Mirel stores, declared once with its type and default, read through typed
// accessors. The store is QSettings("Mirel", "Mirel"): ~/.config/Mirel/Mirel.conf.
namespace Settings {

struct BoolKey
{
    QLatin1String name;
    bool defaultValue;
};

struct StringListKey
{
    QLatin1String name;
    // A function, not a value: the default may depend on what the desktop says at the time.
    QStringList (*defaultValue)();
};

// The Desktop and Downloads folders (UserFolders) that exist: what an absent folder list
// means. Returned, never written.
QStringList defaultMonitoredFolders();

inline constexpr BoolKey includeDesktop{QLatin1String("includeDesktop"), true};
inline constexpr BoolKey includeDownloads{QLatin1String("includeDownloads"), true};
// An array of absolute folder paths, in the order they were added.
inline constexpr StringListKey monitoredFolders{QLatin1String("monitoredFolders"),
                                                &defaultMonitoredFolders};

// Whether anything was ever stored: false on a first start.
bool storeExists();
bool contains(QLatin1String key);
bool readBool(const BoolKey &key);
void writeBool(const BoolKey &key, bool value);
// Stores the key's default when nothing is stored under it; a value of another type counts
// as stored.
void writeDefaultIfAbsent(const BoolKey &key);

// nullopt when nothing is stored or the stored value is not a list of strings.
std::optional<QStringList> readStringList(const StringListKey &key);
// The stored list, or the key's default when readStringList() gives nullopt.
QStringList readStringListOrDefault(const StringListKey &key);
void writeStringList(const StringListKey &key, const QStringList &value);

} // namespace Settings
