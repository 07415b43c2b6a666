// SPDX-License-Identifier: GPL-3.0-or-later
#include "DesktopNotification.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCall>
#include <QDBusPendingCallWatcher>
#include <QStringList>
#include <QVariantMap>

using namespace Qt::StringLiterals;

namespace {

std::function<void(const QString &, const QString &)> &sink()
{
    static std::function<void(const QString &, const QString &)> instance;
    return instance;
}

// Shown until the user dismisses it would be too much for a failed undo; the server's own
// default duration fits.
constexpr int serverDefaultTimeout = -1;

} // namespace

void DesktopNotification::setSink(std::function<void(const QString &, const QString &)> replacement)
{
    sink() = std::move(replacement);
}

void DesktopNotification::show(const QString &title, const QString &body, QObject *context,
                               std::function<void()> fallback)
{
    if (sink()) {
        sink()(title, body);
        return;
    }
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) {
        if (fallback)
            fallback();
        return;
    }
    QDBusMessage notify = QDBusMessage::createMethodCall(
        u"org.freedesktop.Notifications"_s, u"/org/freedesktop/Notifications"_s,
        u"org.freedesktop.Notifications"_s, u"Notify"_s);
    notify << u"Mirel"_s << uint(0) << u"io.mirel.Mirel"_s << title << body << QStringList()
           << QVariantMap() << serverDefaultTimeout;
    auto *watcher = new QDBusPendingCallWatcher(bus.asyncCall(notify), context);
    QObject::connect(watcher, &QDBusPendingCallWatcher::finished, context,
                     [watcher, fallback = std::move(fallback)] {
                         if (watcher->isError() && fallback)
                             fallback();
                         watcher->deleteLater();
                     });
}
