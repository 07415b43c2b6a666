// SPDX-License-Identifier: GPL-3.0-or-later
#include "TrayIcon.h"

#include "StatusNotifierItem.h"
#include "XEmbedTray.h"

#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusServiceWatcher>
#include <QMenu>
#include <QSystemTrayIcon>

using namespace Qt::StringLiterals;

namespace {
// An XEmbed tray announces itself only by taking a selection; a cheap look once a second
// catches it without listening to every event of the root window.
constexpr int xembedPollMs = 1000;
} // namespace

TrayIcon::TrayIcon(const QIcon &icon, QMenu *menu, const QDBusConnection &bus, QObject *parent)
    : QObject(parent)
    , m_icon(icon)
    , m_menu(menu)
    , m_bus(bus)
{
    m_xembedPoll.setInterval(xembedPollMs);
    connect(&m_xembedPoll, &QTimer::timeout, this, &TrayIcon::update);
    if (m_bus.isConnected()) {
        m_item = new StatusNotifierItem(menu, m_bus, this);
        if (!m_item->isServed()) {
            // The bus refused the item's name or objects: no D-Bus tray can show it.
            delete m_item;
            m_item = nullptr;
        }
    }
    if (m_item) {
        m_item->setIcon(icon);
        connect(m_item, &StatusNotifierItem::registeredChanged, this, &TrayIcon::update);
        connect(m_item, &StatusNotifierItem::registrationFinished, this, &TrayIcon::update);
        connect(m_item, &StatusNotifierItem::activated, this, [this](QPoint position) {
            // (0, 0) is what hosts send that do not know where the icon is.
            emit activated(position.isNull() ? QRect() : QRect(position, QSize(1, 1)));
        });
        auto *watcher =
            new QDBusServiceWatcher(QString::fromLatin1(StatusNotifierItem::watcherService), m_bus,
                                    QDBusServiceWatcher::WatchForOwnerChange, this);
        connect(watcher, &QDBusServiceWatcher::serviceOwnerChanged, this,
                [this](const QString &, const QString &, const QString &newOwner) {
                    m_watcher = newOwner.isEmpty() ? Watcher::Absent : Watcher::Present;
                    update();
                });
        lookForWatcher();
    } else {
        m_watcher = Watcher::Absent;
        QTimer::singleShot(0, this, &TrayIcon::update);
    }
}

TrayIcon::~TrayIcon() = default;

void TrayIcon::lookForWatcher()
{
    QDBusMessage call =
        QDBusMessage::createMethodCall(u"org.freedesktop.DBus"_s, u"/org/freedesktop/DBus"_s,
                                       u"org.freedesktop.DBus"_s, u"NameHasOwner"_s);
    call << QString::fromLatin1(StatusNotifierItem::watcherService);
    auto *pending = new QDBusPendingCallWatcher(m_bus.asyncCall(call), this);
    connect(pending, &QDBusPendingCallWatcher::finished, this,
            [this](QDBusPendingCallWatcher *finished) {
                finished->deleteLater();
                const QDBusMessage reply = finished->reply();
                const bool present = reply.type() == QDBusMessage::ReplyMessage &&
                                     !reply.arguments().isEmpty() &&
                                     reply.arguments().constFirst().toBool();
                if (m_watcher == Watcher::Unknown)
                    m_watcher = present ? Watcher::Present : Watcher::Absent;
                update();
            });
}

void TrayIcon::update()
{
    const Kind before = m_kind;
    if (m_item && m_item->isRegistered()) {
        m_kind = Kind::StatusNotifier;
        if (m_xembed)
            m_xembed->hide();
    } else if (m_watcher == Watcher::Absent && XEmbedTray::isRunning()) {
        // Qt picks its own D-Bus icon when a watcher runs the first time it looks; it looks
        // here only when none does, so its icon is the XEmbed one.
        useXEmbed();
        m_kind = Kind::XEmbed;
    } else {
        m_kind = Kind::None;
    }

    // Settled once the bus has answered, and, with a watcher, the registration too.
    const bool answered =
        m_watcher == Watcher::Absent ||
        (m_watcher == Watcher::Present && (!m_item || m_item->registrationAnswered()));
    if (m_kind == Kind::None)
        m_xembedPoll.start();
    else
        m_xembedPoll.stop();
    if (before != m_kind && (before == Kind::None || m_kind == Kind::None))
        emit dockedChanged(m_kind != Kind::None);
    if (!m_settled && (answered || m_kind != Kind::None)) {
        m_settled = true;
        emit settled();
    }
}

void TrayIcon::useXEmbed()
{
    if (!m_xembed) {
        m_xembed = new QSystemTrayIcon(m_icon, this);
        m_xembed->setToolTip(m_toolTip);
        m_xembed->setContextMenu(m_menu);
        connect(m_xembed, &QSystemTrayIcon::activated, this,
                [this](QSystemTrayIcon::ActivationReason reason) {
                    if (reason == QSystemTrayIcon::Trigger ||
                        reason == QSystemTrayIcon::MiddleClick)
                        emit activated(m_xembed->geometry());
                });
    }
    m_xembed->show();
}

void TrayIcon::setToolTip(const QString &text)
{
    m_toolTip = text;
    if (m_item)
        m_item->setToolTip(text);
    if (m_xembed)
        m_xembed->setToolTip(text);
}

void TrayIcon::showMessage(const QString &title, const QString &message)
{
    if (m_kind == Kind::XEmbed) {
        m_xembed->showMessage(title, message, m_icon);
    } else if (m_kind == Kind::StatusNotifier) {
        QDBusMessage notify = QDBusMessage::createMethodCall(
            u"org.freedesktop.Notifications"_s, u"/org/freedesktop/Notifications"_s,
            u"org.freedesktop.Notifications"_s, u"Notify"_s);
        notify << title << 0u << u"io.mirel.Mirel"_s << title << message << QStringList()
               << QVariantMap() << -1;
        // Nobody waits for the answer: a desktop without a notification service just
        // shows none.
        m_bus.send(notify);
    }
}
