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

inline constexpr BoolKey includeDesktop{QLatin1String("includeDesktop"), true};
inline constexpr BoolKey includeDownloads{QLatin1String("includeDownloads"), true};
// An array of absolute folder paths; absent means "the default folders".
inline constexpr QLatin1String monitoredFolders("monitoredFolders");

bool contains(QLatin1String key);
bool readBool(const BoolKey &key);
void writeBool(const BoolKey &key, bool value);

// nullopt when nothing is stored or the stored value is not a list of strings.
std::optional<QStringList> readStringList(QLatin1String key);
void writeStringList(QLatin1String key, const QStringList &value);

} // namespace Settings
