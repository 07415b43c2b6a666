// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDBusConnection>
#include <QObject>
#include <QProcess>
#include <QStringList>

#include <utility>

using namespace Qt::StringLiterals;

// A session bus of the test's own: nothing of the developer's desktop answers on it.
class PrivateBus final
{
public:
    PrivateBus()
    {
        m_daemon.start(u"dbus-daemon"_s, {u"--session"_s, u"--nofork"_s, u"--print-address=1"_s});
        if (!m_daemon.waitForStarted(10000))
            return;
        QByteArray line;
        while (!line.contains('\n') && m_daemon.waitForReadyRead(10000))
            line += m_daemon.readAllStandardOutput();
        m_address = QString::fromUtf8(line.trimmed());
    }
    ~PrivateBus()
    {
        m_daemon.kill();
        m_daemon.waitForFinished(5000);
    }
    // A new connection to the bus, as another program would have.
    QDBusConnection connect(const QString &name) const
    {
        return QDBusConnection::connectToBus(m_address, name);
    }
    bool isRunning() const { return !m_address.isEmpty(); }

private:
    QProcess m_daemon;
    QString m_address;
};

// The part of a tray host that programs talk to: it records who registered.
class FakeWatcher final : public QObject
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.kde.StatusNotifierWatcher")

public:
    explicit FakeWatcher(QDBusConnection bus)
        : m_bus(std::move(bus))
    {
        m_bus.registerObject(u"/StatusNotifierWatcher"_s, this, QDBusConnection::ExportAllSlots);
        m_owned = m_bus.registerService(u"org.kde.StatusNotifierWatcher"_s);
    }
    ~FakeWatcher() override
    {
        m_bus.unregisterService(u"org.kde.StatusNotifierWatcher"_s);
        m_bus.unregisterObject(u"/StatusNotifierWatcher"_s);
    }
    bool owned() const { return m_owned; }
    QStringList items;

public slots:
    void RegisterStatusNotifierItem(const QString &service) { items.append(service); }

private:
    QDBusConnection m_bus;
    bool m_owned = false;
};
