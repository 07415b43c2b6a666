// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QUrl>

// Which addresses the updater may contact: HTTPS anywhere; plain HTTP only to a loopback
// address written as such (so no name lookup can send it elsewhere), and only when the feed
// itself is configured on one, as in a local test set-up. A feed on the network can thus
// never send Mirel, by a redirect or a download address, to a service on this machine.
class UpdateUrlPolicy final
{
public:
    // The policy for the updater whose feed is feedUrl.
    explicit UpdateUrlPolicy(const QUrl &feedUrl);

    bool allows(const QUrl &url) const;

private:
    bool m_loopbackHttp = false;
};
