// SPDX-License-Identifier: GPL-3.0-or-later
#include "FileNames.h"

#include "PathCodec.h"

using namespace Qt::StringLiterals;

namespace {

template<typename Path> Path lastComponent(const Path &path)
{
    return path.sliced(path.lastIndexOf(typename Path::value_type(u'/')) + 1);
}

template<typename Path> Path beforeLastSlash(const Path &path)
{
    const auto slash = typename Path::value_type(u'/');
    const qsizetype at = path.lastIndexOf(slash);
    return at <= 0 ? Path(1, slash) : path.first(at);
}

} // namespace

QString FileNames::fileName(const QString &path)
{
    return lastComponent(path);
}

QByteArray FileNames::fileName(const QByteArray &path)
{
    return lastComponent(path);
}

QString FileNames::lastPathComponent(const QString &path)
{
    qsizetype end = path.size();
    while (end > 1 && path.at(end - 1) == u'/')
        --end;
    const QString trimmed = path.first(end);
    return trimmed == u"/"_s ? trimmed : fileName(trimmed);
}

QString FileNames::parentPath(const QString &path)
{
    return beforeLastSlash(path);
}

QByteArray FileNames::parentPath(const QByteArray &path)
{
    return beforeLastSlash(path);
}

QString FileNames::extension(const QString &name)
{
    const qsizetype dot = name.lastIndexOf(u'.');
    if (dot <= 0)
        return {};
    return name.sliced(dot + 1);
}

QString FileNames::stem(const QString &name)
{
    const QString ext = extension(name);
    return ext.isEmpty() ? name : name.first(name.size() - ext.size() - 1);
}

QString FileNames::clashSuffix(const QString &name)
{
    const QString ext = extension(name);
    if (ext.isEmpty())
        return {};
    qsizetype start = name.size() - ext.size() - 1;
    // A compressed tarball keeps both parts of its extension together, so the counter never
    // lands between them ("x.tar (2).gz" would no longer open as one).
    const QStringView before = QStringView(name).first(start);
    if (before.size() > 4 && before.endsWith(u".tar"_s, Qt::CaseInsensitive))
        start -= 4;
    return name.sliced(start);
}

QString FileNames::clashName(const QString &name, int n)
{
    if (n == 0)
        return name;
    // A file name holds at most 255 bytes: the stem gives way, a whole character at a time,
    // so that the counted name of a long name still fits.
    constexpr qsizetype maxNameBytes = 255;
    const QString counter = u" ("_s % QString::number(n) % u')';
    QString suffix = clashSuffix(name);
    if (PathCodec::encode(counter + suffix).size() >= maxNameBytes)
        suffix.clear();
    const qsizetype room = maxNameBytes - PathCodec::encode(counter + suffix).size();
    QString head = name.chopped(suffix.size());
    while (!head.isEmpty() && PathCodec::encode(head).size() > room) {
        qsizetype cut = head.size() - 1;
        if (cut > 0 && head.at(cut).isLowSurrogate() && head.at(cut - 1).isHighSurrogate())
            --cut;
        head.truncate(cut);
    }
    return head + counter + suffix;
}

QString FileNames::displayName(const QString &path)
{
    return PathCodec::displayString(fileName(path));
}
