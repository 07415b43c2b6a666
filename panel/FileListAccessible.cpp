// SPDX-License-Identifier: GPL-3.0-or-later
#include "FileListAccessible.h"

#include "FileListView.h"
#include "FileRowView.h"

#include <QAccessibleWidget>
#include <QCoreApplication>

using namespace Qt::StringLiterals;

namespace {

// Only the rows on screen exist as widgets; they are the list's children. The description
// gives the whole count.
class ListInterface final : public QAccessibleWidget
{
public:
    explicit ListInterface(FileListView *list)
        : QAccessibleWidget(list, QAccessible::List)
    {}

    FileListView *list() const { return static_cast<FileListView *>(widget()); }

    int childCount() const override { return int(list()->visibleRows().size()); }

    QAccessibleInterface *child(int index) const override
    {
        const QList<FileRowView *> rows = list()->visibleRows();
        if (index < 0 || index >= rows.size())
            return nullptr;
        return QAccessible::queryAccessibleInterface(rows.at(index));
    }

    int indexOfChild(const QAccessibleInterface *child) const override
    {
        if (!child)
            return -1;
        return int(list()->visibleRows().indexOf(qobject_cast<FileRowView *>(child->object())));
    }

    QAccessibleInterface *childAt(int x, int y) const override
    {
        for (FileRowView *row : list()->visibleRows()) {
            if (row->isVisible() && QRect(row->mapToGlobal(QPoint()), row->size()).contains(x, y))
                return QAccessible::queryAccessibleInterface(row);
        }
        return nullptr;
    }

    QString text(QAccessible::Text kind) const override
    {
        if (kind == QAccessible::Description)
            return QCoreApplication::translate("FileListView", "%n items", nullptr,
                                               list()->itemCount());
        return QAccessibleWidget::text(kind);
    }
};

class RowInterface final : public QAccessibleWidget
{
public:
    explicit RowInterface(FileRowView *row)
        : QAccessibleWidget(row, QAccessible::ListItem)
    {}

    FileRowView *row() const { return static_cast<FileRowView *>(widget()); }

    QAccessibleInterface *parent() const override
    {
        for (QWidget *up = row()->parentWidget(); up; up = up->parentWidget()) {
            if (auto *list = qobject_cast<FileListView *>(up))
                return QAccessible::queryAccessibleInterface(list);
        }
        return QAccessibleWidget::parent();
    }

    // What is inside (thumbnail, name, size, badge) is said as the row's own name and
    // description, not as separate pieces.
    int childCount() const override { return 0; }
    QAccessibleInterface *child(int) const override { return nullptr; }
    int indexOfChild(const QAccessibleInterface *) const override { return -1; }

    QString text(QAccessible::Text kind) const override
    {
        if (kind == QAccessible::Description)
            return row()->sizeText() + u", "_s + row()->badgeText();
        return QAccessibleWidget::text(kind);
    }

    QAccessible::State state() const override
    {
        QAccessible::State state = QAccessibleWidget::state();
        state.selectable = true;
        state.selected = row()->isSelected();
        return state;
    }
};

} // namespace

QAccessibleInterface *FileListAccessible::create(const QString &className, QObject *object)
{
    if (className == u"FileListView"_s) {
        if (auto *list = qobject_cast<FileListView *>(object))
            return new ListInterface(list);
    } else if (className == u"FileRowView"_s) {
        if (auto *row = qobject_cast<FileRowView *>(object))
            return new RowInterface(row);
    }
    return nullptr;
}
