// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "DBusMenuTypes.h"

#include <QHash>
#include <QObject>
#include <QPointer>

class QAction;
class QMenu;

// A QMenu served over com.canonical.dbusmenu, so a D-Bus tray host draws it in its own style.
// Entries keep their ids as long as they exist; any change to the menu or its entries tells
// the host to fetch the layout again. Its public slots and signals are the D-Bus interface.
class DBusMenu final : public QObject
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "com.canonical.dbusmenu")
    Q_PROPERTY(uint Version READ version CONSTANT)
    Q_PROPERTY(QString TextDirection READ textDirection CONSTANT)
    Q_PROPERTY(QString Status READ status CONSTANT)
    Q_PROPERTY(QStringList IconThemePath READ iconThemePath CONSTANT)

public:
    explicit DBusMenu(QMenu *menu, QObject *parent = nullptr);

    // A Qt entry text ("&&" a literal ampersand, "&x" an access key) as a dbusmenu label,
    // where "_" marks the access key and "__" is a literal underscore.
    static QString labelFor(const QString &qtText);

    uint version() const { return 3; }
    QString textDirection() const;
    QString status() const { return QStringLiteral("normal"); }
    QStringList iconThemePath() const { return {}; }

public slots:
    uint GetLayout(int parentId, int recursionDepth, const QStringList &propertyNames,
                   DBusMenuLayoutItem &layout);
    QList<DBusMenuItem> GetGroupProperties(const QList<int> &ids, const QStringList &propertyNames);
    QDBusVariant GetProperty(int id, const QString &name);
    void Event(int id, const QString &eventId, const QDBusVariant &data, uint timestamp);
    QList<int> EventGroup(const QList<DBusMenuEvent> &events);
    bool AboutToShow(int id);
    QList<int> AboutToShowGroup(const QList<int> &ids, QList<int> &idErrors);

signals:
    void ItemsPropertiesUpdated(const QList<DBusMenuItem> &updatedProps,
                                const QList<DBusMenuItemKeys> &removedProps);
    void LayoutUpdated(uint revision, int parent);
    void ItemActivationRequested(int id, uint timestamp);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    int idOf(QAction *action);
    QAction *actionOf(int id) const;
    QMenu *menuOf(int id) const;
    QVariantMap propertiesOf(int id, const QStringList &names);
    DBusMenuLayoutItem layoutOf(int id, int depth, const QStringList &names);
    void watch(QMenu *menu);
    void layoutChanged();
    bool announceLayout();

    QPointer<QMenu> m_menu;
    QHash<QAction *, int> m_ids;
    QHash<int, QPointer<QAction>> m_actions;
    int m_nextId = 1;
    uint m_revision = 1;
    bool m_changed = false;
};
