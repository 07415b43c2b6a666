// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "DBusMenuTypes.h"

#include <QDBusConnection>
#include <QDBusObjectPath>
#include <QIcon>
#include <QObject>
#include <QPoint>

class DBusMenu;
class QDBusServiceWatcher;
class QMenu;

// The tray icon as an org.kde.StatusNotifierItem on the session bus, with its menu over
// com.canonical.dbusmenu. It registers with the org.kde.StatusNotifierWatcher whenever one
// appears, also after Mirel started. A click reports the position the host sends, which
// Qt's own D-Bus tray icon drops.
class StatusNotifierItem final : public QObject
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.kde.StatusNotifierItem")
    Q_PROPERTY(QString Category READ category CONSTANT)
    Q_PROPERTY(QString Id READ id CONSTANT)
    Q_PROPERTY(QString Title READ title CONSTANT)
    Q_PROPERTY(QString Status READ status CONSTANT)
    Q_PROPERTY(int WindowId READ windowId CONSTANT)
    Q_PROPERTY(QString IconName READ iconName CONSTANT)
    Q_PROPERTY(SniIconPixmapList IconPixmap READ iconPixmap)
    Q_PROPERTY(QString OverlayIconName READ iconName CONSTANT)
    Q_PROPERTY(SniIconPixmapList OverlayIconPixmap READ noPixmap CONSTANT)
    Q_PROPERTY(QString AttentionIconName READ iconName CONSTANT)
    Q_PROPERTY(SniIconPixmapList AttentionIconPixmap READ noPixmap CONSTANT)
    Q_PROPERTY(QString AttentionMovieName READ iconName CONSTANT)
    Q_PROPERTY(SniToolTip ToolTip READ dbusToolTip)
    Q_PROPERTY(bool ItemIsMenu READ itemIsMenu CONSTANT)
    Q_PROPERTY(QDBusObjectPath Menu READ menuPath CONSTANT)

public:
    static constexpr const char *watcherService = "org.kde.StatusNotifierWatcher";

    StatusNotifierItem(QMenu *menu, const QDBusConnection &bus, QObject *parent = nullptr);
    ~StatusNotifierItem() override;

    // False when the bus refused the item's name or object (no session bus).
    bool isServed() const { return m_served; }
    // Whether a watcher has accepted the item, so a tray shows it.
    bool isRegistered() const { return m_registered; }
    // Whether the watcher answered the latest registration, either way.
    bool registrationAnswered() const { return m_answered; }
    QString serviceName() const { return m_serviceName; }

    void setIcon(const QIcon &icon);
    void setToolTip(const QString &text);
    QString toolTip() const { return m_toolTip; }

    QString category() const { return QStringLiteral("ApplicationStatus"); }
    QString id() const { return QStringLiteral("io.mirel.Mirel"); }
    QString title() const { return QStringLiteral("Mirel"); }
    QString status() const { return QStringLiteral("Active"); }
    int windowId() const { return 0; }
    QString iconName() const { return {}; }
    SniIconPixmapList iconPixmap() const { return m_pixmaps; }
    SniIconPixmapList noPixmap() const { return {}; }
    SniToolTip dbusToolTip() const;
    // A click is Activate, not the menu: the menu has its own button.
    bool itemIsMenu() const { return false; }
    QDBusObjectPath menuPath() const;

public slots:
    void Activate(int x, int y);
    void SecondaryActivate(int x, int y);
    void ContextMenu(int x, int y);
    void Scroll(int delta, const QString &orientation);

signals:
    // x, y as the host sent them; (0, 0) from hosts that do not know the position.
    void activated(QPoint position);
    void registeredChanged(bool registered);
    void registrationFinished();

    void NewTitle();
    void NewIcon();
    void NewAttentionIcon();
    void NewOverlayIcon();
    void NewToolTip();
    void NewStatus(const QString &status);

private:
    void registerWithWatcher();
    void setRegistered(bool registered);

    QDBusConnection m_bus;
    DBusMenu *m_menu;               // child
    QDBusServiceWatcher *m_watcher; // child
    QString m_serviceName;
    QString m_toolTip;
    SniIconPixmapList m_pixmaps;
    bool m_served = false;
    bool m_registered = false;
    bool m_answered = false;
};
