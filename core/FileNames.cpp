#include "FileNames.h"

#include "PathCodec.h"

using namespace Qt::StringLiterals;

QString FileNames::fileName(const QString &path)
{
    return path.sliced(path.lastIndexOf(u'/') + 1);
}

QString FileNames::parentPath(const QString &path)
{
    const qsizetype slash = path.lastIndexOf(u'/');
    return slash <= 0 ? u"/"_s : path.first(slash);
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
