#include "DownloadFileName.h"

using namespace Qt::StringLiterals;

QString DownloadFileName::fromUrl(const QUrl &url)
{
    QString name = url.fileName(QUrl::FullyDecoded);
    name.removeIf(
        [](QChar c) { return c == u'/' || c == u'\\' || c.category() == QChar::Other_Control; });
    while (name.startsWith(u'.'))
        name.remove(0, 1);
    name = name.trimmed();
    if (name.isEmpty())
        return u"Mirel-update"_s;
    // Keeps room for " (N)" and the temporary suffix within common file name limits.
    if (name.size() > 200)
        name = name.right(200);
    return name;
}

QString DownloadFileName::numbered(const QString &name, int number)
{
    if (number == 0)
        return name;
    qsizetype dot = name.lastIndexOf(u'.');
    // A compressed tarball keeps both parts of its extension together.
    if (dot > 0 && name.left(dot).endsWith(u".tar"_s, Qt::CaseInsensitive))
        dot -= 4;
    if (dot <= 0)
        dot = name.size();
    return name.left(dot) + u" ("_s + QString::number(number) + u')' + name.mid(dot);
}
