// SPDX-License-Identifier: GPL-3.0-or-later
#include "DBusMenu.h"

#include <QActionEvent>
#include <QActionGroup>
#include <QGuiApplication>
#include <QMenu>
#include <QTimer>

using namespace Qt::StringLiterals;

DBusMenu::DBusMenu(QMenu *menu, QObject *parent)
    : QObject(parent)
    , m_menu(menu)
{
    DBusMenuTypes::registerTypes();
    watch(menu);
}

QString DBusMenu::labelFor(const QString &qtText)
{
    QString label;
    label.reserve(qtText.size() + 4);
    for (qsizetype i = 0; i < qtText.size(); ++i) {
        const QChar c = qtText.at(i);
        if (c == u'_') {
            label += u"__"_s;
        } else if (c == u'&' && i + 1 < qtText.size()) {
            if (qtText.at(i + 1) == u'&') {
                label += u'&';
                ++i;
            } else {
                label += u'_';
            }
        } else {
            label += c;
        }
    }
    return label;
}

QString DBusMenu::textDirection() const
{
    return QGuiApplication::layoutDirection() == Qt::RightToLeft ? u"rtl"_s : u"ltr"_s;
}

void DBusMenu::watch(QMenu *menu)
{
    if (!menu)
        return;
    menu->installEventFilter(this);
    for (QAction *action : menu->actions()) {
        idOf(action);
        watch(action->menu());
    }
}

int DBusMenu::idOf(QAction *action)
{
    const auto found = m_ids.constFind(action);
    if (found != m_ids.cend())
        return *found;
    const int id = m_nextId++;
    m_ids.insert(action, id);
    m_actions.insert(id, action);
    // A deleted entry's id is never given again, so a host's stale click hits nothing.
    connect(action, &QObject::destroyed, this, [this, action, id] {
        m_ids.remove(action);
        m_actions.remove(id);
        layoutChanged();
    });
    return id;
}

QAction *DBusMenu::actionOf(int id) const
{
    return m_actions.value(id);
}

QMenu *DBusMenu::menuOf(int id) const
{
    if (id == 0)
        return m_menu;
    QAction *action = actionOf(id);
    return action ? action->menu() : nullptr;
}

QVariantMap DBusMenu::propertiesOf(int id, const QStringList &names)
{
    QVariantMap properties;
    if (id == 0) {
        properties.insert(u"children-display"_s, u"submenu"_s);
    } else if (QAction *action = actionOf(id)) {
        if (action->isSeparator()) {
            properties.insert(u"type"_s, u"separator"_s);
        } else {
            properties.insert(u"label"_s, labelFor(action->text()));
            if (action->isCheckable()) {
                properties.insert(u"toggle-type"_s,
                                  action->actionGroup() && action->actionGroup()->isExclusive()
                                      ? u"radio"_s
                                      : u"checkmark"_s);
                properties.insert(u"toggle-state"_s, action->isChecked() ? 1 : 0);
            }
            if (action->menu())
                properties.insert(u"children-display"_s, u"submenu"_s);
        }
        properties.insert(u"enabled"_s, action->isEnabled());
        properties.insert(u"visible"_s, action->isVisible());
    }
    if (!names.isEmpty()) {
        for (auto it = properties.begin(); it != properties.end();) {
            if (names.contains(it.key()))
                ++it;
            else
                it = properties.erase(it);
        }
    }
    return properties;
}

DBusMenuLayoutItem DBusMenu::layoutOf(int id, int depth, const QStringList &names)
{
    DBusMenuLayoutItem item;
    item.id = id;
    item.properties = propertiesOf(id, names);
    QMenu *menu = menuOf(id);
    if (!menu || depth == 0)
        return item;
    for (QAction *action : menu->actions()) {
        watch(action->menu());
        item.children.append(layoutOf(idOf(action), depth < 0 ? -1 : depth - 1, names));
    }
    return item;
}

uint DBusMenu::GetLayout(int parentId, int recursionDepth, const QStringList &propertyNames,
                         DBusMenuLayoutItem &layout)
{
    layout =
        layoutOf(menuOf(parentId) || parentId == 0 ? parentId : 0, recursionDepth, propertyNames);
    return m_revision;
}

QList<DBusMenuItem> DBusMenu::GetGroupProperties(const QList<int> &ids,
                                                 const QStringList &propertyNames)
{
    QList<DBusMenuItem> items;
    for (const int id : ids) {
        if (id == 0 || actionOf(id))
            items.append({id, propertiesOf(id, propertyNames)});
    }
    return items;
}

QDBusVariant DBusMenu::GetProperty(int id, const QString &name)
{
    return QDBusVariant(propertiesOf(id, {name}).value(name));
}

void DBusMenu::Event(int id, const QString &eventId, const QDBusVariant &data, uint timestamp)
{
    Q_UNUSED(data)
    Q_UNUSED(timestamp)
    if (eventId == u"opened"_s && id == 0 && m_menu) {
        emit m_menu->aboutToShow();
        return;
    }
    if (eventId != u"clicked"_s)
        return;
    QPointer<QAction> action = actionOf(id);
    if (!action || !action->isEnabled() || action->isSeparator())
        return;
    // After the reply: what the entry does (quitting, opening a window) must not hold it up.
    QTimer::singleShot(0, this, [action] {
        if (action && action->isEnabled())
            action->trigger();
    });
}

QList<int> DBusMenu::EventGroup(const QList<DBusMenuEvent> &events)
{
    QList<int> unknown;
    for (const DBusMenuEvent &event : events) {
        if (event.id != 0 && !actionOf(event.id))
            unknown.append(event.id);
        else
            Event(event.id, event.eventId, event.data, event.timestamp);
    }
    return unknown;
}

bool DBusMenu::AboutToShow(int id)
{
    // The program brings its entries up to date (the undo entry's name, the login check mark)
    // the way it does for its own menu.
    if (QMenu *menu = menuOf(id))
        emit menu->aboutToShow();
    return announceLayout();
}

QList<int> DBusMenu::AboutToShowGroup(const QList<int> &ids, QList<int> &idErrors)
{
    QList<int> updates;
    for (const int id : ids) {
        if (!menuOf(id)) {
            idErrors.append(id);
            continue;
        }
        if (AboutToShow(id))
            updates.append(id);
    }
    return updates;
}

bool DBusMenu::eventFilter(QObject *watched, QEvent *event)
{
    switch (event->type()) {
    case QEvent::ActionAdded:
        watch(static_cast<QActionEvent *>(event)->action()->menu());
        layoutChanged();
        break;
    case QEvent::ActionChanged:
    case QEvent::ActionRemoved:
        layoutChanged();
        break;
    default:
        break;
    }
    return QObject::eventFilter(watched, event);
}

void DBusMenu::layoutChanged()
{
    if (m_changed)
        return;
    m_changed = true;
    // Several changes at once (a refresh sets text and enabled) make one announcement.
    QTimer::singleShot(0, this, [this] { announceLayout(); });
}

bool DBusMenu::announceLayout()
{
    if (!m_changed)
        return false;
    m_changed = false;
    ++m_revision;
    emit LayoutUpdated(m_revision, 0);
    return true;
}
