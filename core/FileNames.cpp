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

QString FileNames::clashName(const QString &name, int n)
{
    const QString ext = extension(name);
    const QString tail =
        u" ("_s % QString::number(n) % u')' % (ext.isEmpty() ? QString() : u'.' % ext);
    // A file name holds at most 255 bytes: the stem gives way, a whole character at a time,
    // so that the counted name of a long name still fits.
    constexpr qsizetype maxNameBytes = 255;
    const qsizetype room = maxNameBytes - PathCodec::encode(tail).size();
    QString head = stem(name);
    while (!head.isEmpty() && PathCodec::encode(head).size() > room) {
        qsizetype cut = head.size() - 1;
        if (cut > 0 && head.at(cut).isLowSurrogate() && head.at(cut - 1).isHighSurrogate())
            --cut;
        head.truncate(cut);
    }
    return head + tail;
}

QString FileNames::displayName(const QString &path)
{
    return PathCodec::displayString(fileName(path));
}
