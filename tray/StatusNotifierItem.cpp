// SPDX-License-Identifier: GPL-3.0-or-later
#include "StatusNotifierItem.h"

#include "DBusMenu.h"

#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusServiceWatcher>
#include <QImage>
#include <QMenu>
#include <QtEndian>

#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {
const QString itemPath = u"/StatusNotifierItem"_s;
const QString menuObjectPath = u"/MenuBar"_s;
int itemCount = 0;
constexpr int registrationTimeoutMs = 5000;
} // namespace

StatusNotifierItem::StatusNotifierItem(QMenu *menu, const QDBusConnection &bus, QObject *parent)
    : QObject(parent)
    , m_bus(bus)
    , m_menu(new DBusMenu(menu, this))
    , m_watcher(new QDBusServiceWatcher(QString::fromLatin1(watcherService), m_bus,
                                        QDBusServiceWatcher::WatchForOwnerChange, this))
    , m_serviceName(u"org.kde.StatusNotifierItem-%1-%2"_s.arg(::getpid()).arg(++itemCount))
{
    DBusMenuTypes::registerTypes();
    if (!m_bus.isConnected())
        return;
    m_served =
        m_bus.registerObject(itemPath, this,
                             QDBusConnection::ExportAllSlots | QDBusConnection::ExportAllSignals |
                                 QDBusConnection::ExportAllProperties) &&
        m_bus.registerObject(menuObjectPath, m_menu,
                             QDBusConnection::ExportAllSlots | QDBusConnection::ExportAllSignals |
                                 QDBusConnection::ExportAllProperties) &&
        m_bus.registerService(m_serviceName);
    if (!m_served)
        return;
    // A watcher that comes (a panel started after Mirel, or restarted) gets the item again.
    connect(m_watcher, &QDBusServiceWatcher::serviceOwnerChanged, this,
            [this](const QString &, const QString &, const QString &newOwner) {
                m_answered = false;
                setRegistered(false);
                if (!newOwner.isEmpty())
                    registerWithWatcher();
            });
    registerWithWatcher();
}

StatusNotifierItem::~StatusNotifierItem()
{
    if (!m_served)
        return;
    m_bus.unregisterService(m_serviceName);
    m_bus.unregisterObject(menuObjectPath);
    m_bus.unregisterObject(itemPath);
}

void StatusNotifierItem::registerWithWatcher()
{
    QDBusMessage call = QDBusMessage::createMethodCall(
        QString::fromLatin1(watcherService), u"/StatusNotifierWatcher"_s,
        QString::fromLatin1(watcherService), u"RegisterStatusNotifierItem"_s);
    call << m_serviceName;
    // Asynchronous, and not waited for long: a watcher that hangs must not hold up the
    // window Mirel opens without a tray.
    auto *pending = new QDBusPendingCallWatcher(m_bus.asyncCall(call, registrationTimeoutMs), this);
    connect(pending, &QDBusPendingCallWatcher::finished, this,
            [this](QDBusPendingCallWatcher *finished) {
                finished->deleteLater();
                m_answered = true;
                setRegistered(!finished->isError());
                emit registrationFinished();
            });
}

void StatusNotifierItem::setRegistered(bool registered)
{
    if (m_registered == registered)
        return;
    m_registered = registered;
    emit registeredChanged(registered);
}

void StatusNotifierItem::setIcon(const QIcon &icon)
{
    m_pixmaps.clear();
    for (const int size : {16, 22, 24, 32, 48, 64}) {
        const QImage image = icon.pixmap(size).toImage().convertToFormat(QImage::Format_ARGB32);
        if (image.isNull())
            continue;
        SniIconPixmap pixmap{image.width(), image.height(), {}};
        pixmap.bytes.resize(qsizetype(image.width()) * image.height() * 4);
        auto *out = reinterpret_cast<uchar *>(pixmap.bytes.data());
        for (int y = 0; y < image.height(); ++y) {
            const auto *line = reinterpret_cast<const quint32 *>(image.constScanLine(y));
            for (int x = 0; x < image.width(); ++x, out += 4)
                qToBigEndian(line[x], out);
        }
        m_pixmaps.append(pixmap);
    }
    emit NewIcon();
}

void StatusNotifierItem::setToolTip(const QString &text)
{
    if (m_toolTip == text)
        return;
    m_toolTip = text;
    emit NewToolTip();
}

SniToolTip StatusNotifierItem::dbusToolTip() const
{
    return {{}, {}, title(), m_toolTip};
}

QDBusObjectPath StatusNotifierItem::menuPath() const
{
    return QDBusObjectPath(menuObjectPath);
}

void StatusNotifierItem::Activate(int x, int y)
{
    emit activated({x, y});
}

void StatusNotifierItem::SecondaryActivate(int x, int y)
{
    // A middle click: the same as a click, as nothing else would be expected of it.
    emit activated({x, y});
}

void StatusNotifierItem::ContextMenu(int x, int y)
{
    Q_UNUSED(x)
    Q_UNUSED(y)
    // Hosts draw the menu themselves from /MenuBar; one that asks the item instead gets
    // nothing: a popup of Mirel's own would open at a place it cannot know on Wayland.
}

void StatusNotifierItem::Scroll(int delta, const QString &orientation)
{
    Q_UNUSED(delta)
    Q_UNUSED(orientation)
}
