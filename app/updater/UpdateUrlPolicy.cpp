#include "UpdateUrlPolicy.h"

#include <QHostAddress>

using namespace Qt::StringLiterals;

bool UpdateUrlPolicy::allows(const QUrl &url)
{
    if (!url.isValid() || url.host().isEmpty())
        return false;
    const QString scheme = url.scheme().toLower();
    if (scheme == u"https"_s)
        return true;
    if (scheme != u"http"_s)
        return false;
    QHostAddress address;
    return address.setAddress(url.host()) && address.isLoopback();
}
