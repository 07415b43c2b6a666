// SPDX-License-Identifier: GPL-3.0-or-later
#include "DesktopApplications.h"

#include <QDir>
#include <QFile>
#include <QMimeType>
#include <QSet>
#include <QStandardPaths>

using namespace Qt::StringLiterals;

namespace {

// The types listed under any of `sections` in a desktop-style file: "type=a.desktop;b.desktop;"
// lines (mimeapps.list, mimeinfo.cache), or one "MimeType=" line (a desktop entry).
void collectTypes(const QString &path, const QStringList &sections, QSet<QString> &types)
{
    QFile file(path);
    // Small text files; anything larger is not one.
    if (!file.open(QIODevice::ReadOnly) || file.size() > 8 * 1024 * 1024)
        return;
    bool inSection = false;
    bool entry = sections.isEmpty();
    while (!file.atEnd()) {
        const QString line = QString::fromUtf8(file.readLine()).trimmed();
        if (line.startsWith(u'[')) {
            inSection = sections.contains(line.mid(1, line.size() - 2));
            entry = line == "[Desktop Entry]"_L1;
            continue;
        }
        if (sections.isEmpty()) {
            if (entry && line.startsWith("MimeType="_L1)) {
                for (const QString &type : line.mid(9).split(u';', Qt::SkipEmptyParts))
                    types.insert(type.trimmed());
            }
            continue;
        }
        const qsizetype equals = line.indexOf(u'=');
        if (inSection && equals > 0 && !line.mid(equals + 1).remove(u';').trimmed().isEmpty())
            types.insert(line.left(equals).trimmed());
    }
}

QStringList environmentFolders(const char *variable, const QString &fallback)
{
    const QString value = qEnvironmentVariable(variable);
    return (value.isEmpty() ? fallback : value).split(u':', Qt::SkipEmptyParts);
}

} // namespace

QStringList DesktopApplications::configFolders()
{
    return QStringList{QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation)} +
           environmentFolders("XDG_CONFIG_DIRS", u"/etc/xdg"_s);
}

QStringList DesktopApplications::applicationFolders()
{
    QStringList folders;
    const QStringList data =
        QStringList{QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation)} +
        environmentFolders("XDG_DATA_DIRS", u"/usr/local/share:/usr/share"_s);
    for (const QString &folder : data)
        folders << folder + u"/applications"_s;
    return folders;
}

bool DesktopApplications::canOpen(const QMimeType &type, const QStringList &configs,
                                  const QStringList &applications)
{
    if (!type.isValid())
        return false;
    QSet<QString> handled;
    const QStringList associations = {u"Default Applications"_s, u"Added Associations"_s};
    for (const QString &folder : configs)
        collectTypes(folder + u"/mimeapps.list"_s, associations, handled);
    for (const QString &folder : applications) {
        collectTypes(folder + u"/mimeapps.list"_s, associations, handled);
        const QString cache = folder + u"/mimeinfo.cache"_s;
        if (QFile::exists(cache)) {
            collectTypes(cache, {u"MIME Cache"_s}, handled);
            continue;
        }
        // A user's own folder often has no cache: its entries are read one by one.
        const QStringList entries = QDir(folder).entryList({u"*.desktop"_s}, QDir::Files);
        for (const QString &entry : entries)
            collectTypes(folder + u'/' + entry, {}, handled);
    }
    if (handled.contains(type.name()))
        return true;
    const QStringList aliases = type.aliases();
    const QStringList ancestors = type.allAncestors();
    for (const QString &name : aliases + ancestors) {
        if (handled.contains(name))
            return true;
    }
    return false;
}
