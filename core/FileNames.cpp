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
    const QString counted = stem(name) % u" ("_s % QString::number(n) % u')';
    return ext.isEmpty() ? counted : counted % u'.' % ext;
}

QString FileNames::displayName(const QString &path)
{
    return PathCodec::displayString(fileName(path));
}
