// SPDX-License-Identifier: GPL-3.0-or-later
#include "DBusMenu.h"
#include "DBusMenuTypes.h"
#include "StatusNotifierItem.h"
#include "TrayIcon.h"
#include "TrayTestBus.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusReply>
#include <QMenu>
#include <QProcess>
#include <QSignalSpy>
#include <QTest>

#include <memory>

using namespace Qt::StringLiterals;

namespace {

QDBusMessage callOn(const QDBusConnection &bus, const QString &service, const QString &path,
                    const QString &interface, const QString &method, const QVariantList &args)
{
    QDBusMessage call = QDBusMessage::createMethodCall(service, path, interface, method);
    call.setArguments(args);
    return bus.call(call, QDBus::BlockWithGui, 5000);
}

QVariant dbusProperty(const QDBusConnection &bus, const QString &service, const QString &path,
                      const QString &interface, const QString &name)
{
    const QDBusMessage reply = callOn(bus, service, path, u"org.freedesktop.DBus.Properties"_s,
                                      u"Get"_s, {interface, name});
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty())
        return {};
    return qvariant_cast<QDBusVariant>(reply.arguments().constFirst()).variant();
}

// The menu as a host reads it: label, enabled, toggle state, one entry a line.
QStringList layoutLines(const QDBusConnection &bus, const QString &service)
{
    const QDBusMessage reply = callOn(bus, service, u"/MenuBar"_s, u"com.canonical.dbusmenu"_s,
                                      u"GetLayout"_s, {0, -1, QStringList()});
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().size() != 2)
        return {u"no layout: "_s + reply.errorMessage()};
    DBusMenuLayoutItem root;
    qvariant_cast<QDBusArgument>(reply.arguments().at(1)) >> root;
    QStringList lines;
    for (const DBusMenuLayoutItem &child : std::as_const(root.children)) {
        const QVariantMap &p = child.properties;
        if (p.value(u"type"_s).toString() == u"separator"_s) {
            lines.append(u"-"_s);
            continue;
        }
        QString line = p.value(u"label"_s).toString();
        if (!p.value(u"enabled"_s, true).toBool())
            line += u" [disabled]"_s;
        if (p.contains(u"toggle-state"_s))
            line += p.value(u"toggle-state"_s).toInt() == 1 ? u" [x]"_s : u" [ ]"_s;
        lines.append(line);
    }
    return lines;
}

int idOf(const QDBusConnection &bus, const QString &service, const QString &label)
{
    const QDBusMessage reply = callOn(bus, service, u"/MenuBar"_s, u"com.canonical.dbusmenu"_s,
                                      u"GetLayout"_s, {0, 1, QStringList{u"label"_s}});
    DBusMenuLayoutItem root;
    qvariant_cast<QDBusArgument>(reply.arguments().value(1)) >> root;
    for (const DBusMenuLayoutItem &child : std::as_const(root.children)) {
        if (child.properties.value(u"label"_s).toString() == label)
            return child.id;
    }
    return -1;
}

} // namespace

class TestTray final : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void dbusMenuLabel_data();
    void dbusMenuLabel();
    void itemRegistersWithAWatcherThatComesLater();
    void itemProperties();
    void activatePassesThePosition_data();
    void activatePassesThePosition();
    void menuLayoutAndUpdateOnAboutToShow();
    void menuClickTriggersTheEntry();
    void trayIconWithoutAnyTraySettlesUndocked();

private:
    std::unique_ptr<PrivateBus> m_bus;
    int m_connections = 0;
    QDBusConnection connection() { return m_bus->connect(u"tst_tray_%1"_s.arg(++m_connections)); }
};

void TestTray::init()
{
    m_bus = std::make_unique<PrivateBus>();
    if (!m_bus->isRunning())
        QSKIP("dbus-daemon could not start");
}

void TestTray::cleanup()
{
    m_bus.reset();
}

void TestTray::dbusMenuLabel_data()
{
    QTest::addColumn<QString>("qtText");
    QTest::addColumn<QString>("label");
    QTest::newRow("underscores are not access keys")
        << u"Undo Delete: PXL_20250210_phone.jpg"_s << u"Undo Delete: PXL__20250210__phone.jpg"_s;
    QTest::newRow("a doubled ampersand is one")
        << u"Undo Keep: old && odd.txt"_s << u"Undo Keep: old & odd.txt"_s;
    QTest::newRow("an access key") << u"&Open Mirel"_s << u"_Open Mirel"_s;
    QTest::newRow("an ampersand at the end stays") << u"A&"_s << u"A&"_s;
}

void TestTray::dbusMenuLabel()
{
    QFETCH(QString, qtText);
    QFETCH(QString, label);
    QCOMPARE(DBusMenu::labelFor(qtText), label);
}

void TestTray::itemRegistersWithAWatcherThatComesLater()
{
    QMenu menu;
    menu.addAction(u"Open Mirel"_s);
    TrayIcon tray(QIcon(), &menu, connection());
    QSignalSpy settled(&tray, &TrayIcon::settled);
    QSignalSpy docked(&tray, &TrayIcon::dockedChanged);
    QVERIFY(settled.wait(5000));
    QVERIFY(!tray.isDocked());
    QCOMPARE(tray.kind(), TrayIcon::Kind::None);

    // The panel's tray starts after Mirel, as it often does at login.
    const QDBusConnection hostBus = connection();
    FakeWatcher watcher(hostBus);
    QVERIFY(watcher.owned());
    QTRY_COMPARE_WITH_TIMEOUT(docked.count(), 1, 5000);
    QCOMPARE(docked.constFirst().constFirst().toBool(), true);
    QCOMPARE(tray.kind(), TrayIcon::Kind::StatusNotifier);
    QCOMPARE(watcher.items, QStringList{tray.statusNotifierItem()->serviceName()});
    QCOMPARE(settled.count(), 1);
}

void TestTray::itemProperties()
{
    QMenu menu;
    const QDBusConnection bus = connection();
    StatusNotifierItem item(&menu, bus);
    QVERIFY(item.isServed());
    QImage red(32, 32, QImage::Format_ARGB32);
    red.fill(QColor(255, 0, 0, 128));
    item.setIcon(QIcon(QPixmap::fromImage(red)));
    QSignalSpy toolTipChanged(&item, &StatusNotifierItem::NewToolTip);
    item.setToolTip(u"Mirel: 3 files to review"_s);
    QCOMPARE(toolTipChanged.count(), 1);

    const QDBusConnection host = connection();
    const QString service = item.serviceName();
    const QString sni = u"org.kde.StatusNotifierItem"_s;
    const auto get = [&](const QString &name) {
        return dbusProperty(host, service, u"/StatusNotifierItem"_s, sni, name);
    };
    QCOMPARE(get(u"ItemIsMenu"_s), QVariant(false));
    QCOMPARE(get(u"Status"_s), QVariant(u"Active"_s));
    QCOMPARE(qvariant_cast<QDBusObjectPath>(get(u"Menu"_s)).path(), u"/MenuBar"_s);
    SniToolTip toolTip;
    qvariant_cast<QDBusArgument>(get(u"ToolTip"_s)) >> toolTip;
    QCOMPARE(toolTip.text, u"Mirel: 3 files to review"_s);
    SniIconPixmapList pixmaps;
    qvariant_cast<QDBusArgument>(get(u"IconPixmap"_s)) >> pixmaps;
    QVERIFY(!pixmaps.isEmpty());
    const SniIconPixmap &first = pixmaps.constFirst();
    QCOMPARE(first.bytes.size(), first.width * first.height * 4);
    // ARGB in network byte order: alpha first, then red.
    QCOMPARE(quint8(first.bytes.at(0)), quint8(128));
    QVERIFY(quint8(first.bytes.at(1)) > 200);
    QCOMPARE(quint8(first.bytes.at(3)), quint8(0));
}

void TestTray::activatePassesThePosition_data()
{
    QTest::addColumn<QString>("method");
    QTest::addColumn<QPoint>("point");
    QTest::addColumn<QRect>("reported");
    QTest::newRow("a click at the top right")
        << u"Activate"_s << QPoint(1200, 10) << QRect(1200, 10, 1, 1);
    QTest::newRow("a middle click")
        << u"SecondaryActivate"_s << QPoint(5, 790) << QRect(5, 790, 1, 1);
    QTest::newRow("a host that does not know") << u"Activate"_s << QPoint(0, 0) << QRect();
}

void TestTray::activatePassesThePosition()
{
    QFETCH(QString, method);
    QFETCH(QPoint, point);
    QFETCH(QRect, reported);
    QMenu menu;
    TrayIcon tray(QIcon(), &menu, connection());
    QSignalSpy activated(&tray, &TrayIcon::activated);
    const QDBusMessage reply =
        callOn(connection(), tray.statusNotifierItem()->serviceName(), u"/StatusNotifierItem"_s,
               u"org.kde.StatusNotifierItem"_s, method, {point.x(), point.y()});
    QCOMPARE(reply.type(), QDBusMessage::ReplyMessage);
    QTRY_COMPARE(activated.count(), 1);
    QCOMPARE(activated.constFirst().constFirst().toRect(), reported);
}

void TestTray::menuLayoutAndUpdateOnAboutToShow()
{
    QMenu menu;
    menu.addAction(u"Open Mirel"_s);
    QAction *undo = menu.addAction(u"Undo"_s);
    undo->setEnabled(false);
    menu.addSeparator();
    QAction *login = menu.addAction(u"Start at Login"_s);
    login->setCheckable(true);
    // What the program does when its menu is about to open: name the latest decision.
    connect(&menu, &QMenu::aboutToShow, undo, [undo] {
        undo->setText(u"Undo Delete: PXL_20250210_phone.jpg"_s);
        undo->setEnabled(true);
    });
    const QDBusConnection bus = connection();
    StatusNotifierItem item(&menu, bus);
    QVERIFY(item.isServed());
    const QDBusConnection host = connection();
    const QString service = item.serviceName();
    QCOMPARE(layoutLines(host, service),
             QStringList({u"Open Mirel"_s, u"Undo [disabled]"_s, u"-"_s, u"Start at Login [ ]"_s}));

    const QDBusMessage shown =
        callOn(host, service, u"/MenuBar"_s, u"com.canonical.dbusmenu"_s, u"AboutToShow"_s, {0});
    QCOMPARE(shown.type(), QDBusMessage::ReplyMessage);
    // The entry changed, so the host is told to read the layout again.
    QCOMPARE(shown.arguments().value(0), QVariant(true));
    QCOMPARE(layoutLines(host, service),
             QStringList({u"Open Mirel"_s, u"Undo Delete: PXL__20250210__phone.jpg"_s, u"-"_s,
                          u"Start at Login [ ]"_s}));
    // Nothing changed since: no update needed.
    QCOMPARE(
        callOn(host, service, u"/MenuBar"_s, u"com.canonical.dbusmenu"_s, u"AboutToShow"_s, {0})
            .arguments()
            .value(0),
        QVariant(false));

    login->setChecked(true);
    QTRY_COMPARE(layoutLines(host, service).value(3), u"Start at Login [x]"_s);
}

void TestTray::menuClickTriggersTheEntry()
{
    QMenu menu;
    QAction *open = menu.addAction(u"Open Mirel"_s);
    QAction *quit = menu.addAction(u"Quit"_s);
    quit->setEnabled(false);
    QSignalSpy opened(open, &QAction::triggered);
    QSignalSpy quitted(quit, &QAction::triggered);
    const QDBusConnection bus = connection();
    StatusNotifierItem item(&menu, bus);
    const QDBusConnection host = connection();
    const QString service = item.serviceName();
    const int openId = idOf(host, service, u"Open Mirel"_s);
    const int quitId = idOf(host, service, u"Quit"_s);
    QVERIFY(openId > 0 && quitId > 0 && openId != quitId);

    const auto click = [&](int id) {
        return callOn(host, service, u"/MenuBar"_s, u"com.canonical.dbusmenu"_s, u"Event"_s,
                      {id, u"clicked"_s, QVariant::fromValue(QDBusVariant(0)), 0u});
    };
    QCOMPARE(click(openId).type(), QDBusMessage::ReplyMessage);
    QTRY_COMPARE(opened.count(), 1);
    // A disabled entry and an id that never was do nothing.
    click(quitId);
    click(4711);
    QTest::qWait(50);
    QCOMPARE(quitted.count(), 0);
    QCOMPARE(opened.count(), 1);

    // The group form that newer hosts use.
    DBusMenuEventList events{{openId, u"clicked"_s, QDBusVariant(0), 0}};
    QDBusMessage group = QDBusMessage::createMethodCall(
        service, u"/MenuBar"_s, u"com.canonical.dbusmenu"_s, u"EventGroup"_s);
    group << QVariant::fromValue(events);
    const QDBusMessage grouped = host.call(group, QDBus::BlockWithGui, 5000);
    QVERIFY2(grouped.type() == QDBusMessage::ReplyMessage, qPrintable(grouped.errorMessage()));
    QTRY_COMPARE(opened.count(), 2);
}

void TestTray::trayIconWithoutAnyTraySettlesUndocked()
{
    QMenu menu;
    // No bus at all, and no X server under the offscreen platform.
    TrayIcon tray(QIcon(), &menu, QDBusConnection(u"no such connection"_s));
    QSignalSpy settled(&tray, &TrayIcon::settled);
    QVERIFY(settled.wait(2000));
    QVERIFY(!tray.isDocked());
    QVERIFY(!tray.statusNotifierItem());
}

QTEST_MAIN(TestTray)
#include "tst_Tray.moc"
