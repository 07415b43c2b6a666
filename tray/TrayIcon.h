// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDBusConnection>
#include <QIcon>
#include <QObject>
#include <QRect>
#include <QTimer>

class QMenu;
class QSystemTrayIcon;
class StatusNotifierItem;

// Mirel's icon in whatever tray the desktop has: a StatusNotifierItem where a
// org.kde.StatusNotifierWatcher runs (the D-Bus trays of Plasma, Xfce, GNOME's AppIndicator
// extension, waybar), else Qt's XEmbed icon where an X tray owns its selection. A tray that
// appears later, as panels often do at login, gets the icon when it comes.
class TrayIcon final : public QObject
{
    Q_OBJECT

public:
    enum class Kind { None, StatusNotifier, XEmbed };

    // menu stays the caller's; bus is where the StatusNotifierItem is served.
    TrayIcon(const QIcon &icon, QMenu *menu, const QDBusConnection &bus, QObject *parent = nullptr);
    ~TrayIcon() override;

    Kind kind() const { return m_kind; }
    bool isDocked() const { return m_kind != Kind::None; }
    // Whether the first look for a tray is done; until then isDocked() may still change
    // without a tray having come.
    bool isSettled() const { return m_settled; }

    void setToolTip(const QString &text);
    QString toolTip() const { return m_toolTip; }
    QMenu *contextMenu() const { return m_menu; }
    // A desktop notification from the tray icon (nothing when no tray is there).
    void showMessage(const QString &title, const QString &message);

    StatusNotifierItem *statusNotifierItem() const { return m_item; }

signals:
    // A click on the icon. where: the icon's geometry, or a 1 x 1 rectangle at the point
    // the tray named; invalid when the tray did not say.
    void activated(QRect where);
    void dockedChanged(bool docked);
    void settled();

private:
    void lookForWatcher();
    void update();
    void useXEmbed();

    QIcon m_icon;
    QMenu *m_menu;
    QDBusConnection m_bus;
    StatusNotifierItem *m_item = nullptr; // child
    QSystemTrayIcon *m_xembed = nullptr;  // child
    QTimer m_xembedPoll;
    QString m_toolTip;
    Kind m_kind = Kind::None;
    // Whether a org.kde.StatusNotifierWatcher owns its name: unknown until the bus answered.
    enum class Watcher { Unknown, Absent, Present } m_watcher = Watcher::Unknown;
    bool m_settled = false;
};
