// SPDX-License-Identifier: GPL-3.0-or-later
#include "UpdateUrlPolicy.h"

#include <QHostAddress>

using namespace Qt::StringLiterals;

namespace {

bool isLoopbackAddress(const QUrl &url)
{
    QHostAddress address;
    return address.setAddress(url.host()) && address.isLoopback();
}

} // namespace

UpdateUrlPolicy::UpdateUrlPolicy(const QUrl &feedUrl)
    : m_loopbackHttp(feedUrl.isValid() && isLoopbackAddress(feedUrl))
{}

bool UpdateUrlPolicy::allows(const QUrl &url) const
{
    if (!url.isValid() || url.host().isEmpty())
        return false;
    const QString scheme = url.scheme().toLower();
    if (scheme == u"https"_s)
        return true;
    return scheme == u"http"_s && m_loopbackHttp && isLoopbackAddress(url);
}
