// SPDX-License-Identifier: GPL-3.0-or-later
#include "AppState.h"
#include "FileListView.h"
#include "FileRowView.h"
#include "TestHome.h"

#include <QAccessible>
#include <QApplication>
#include <QContextMenuEvent>
#include <QMenu>
#include <QTest>

using namespace Qt::StringLiterals;

// The file list for keyboard and screen-reader users: the row menu from the keyboard, and
// the list and its rows as a screen reader sees them.
class TestFileListKeyboard final : public TemporaryHomeSuite
{
    Q_OBJECT

private slots:
    void cleanup();
    void menuFromTheKeyboard_data();
    void menuFromTheKeyboard();
    void listAndRowsForScreenReaders();
};

namespace {

QMenu *openPopup()
{
    return qobject_cast<QMenu *>(QApplication::activePopupWidget());
}

QStringList texts(const QMenu *menu)
{
    QStringList texts;
    for (const QAction *action : menu->actions())
        texts.append(action->text());
    return texts;
}

} // namespace

void TestFileListKeyboard::cleanup()
{
    while (QMenu *menu = openPopup())
        menu->close();
}

void TestFileListKeyboard::menuFromTheKeyboard_data()
{
    QTest::addColumn<int>("key"); // 0: the event the platform sends for the Menu key
    QTest::addColumn<int>("modifiers");
    QTest::addColumn<bool>("opens");
    QTest::newRow("the platform's menu event") << 0 << int(Qt::NoModifier) << true;
    QTest::newRow("the Menu key") << int(Qt::Key_Menu) << int(Qt::NoModifier) << true;
    QTest::newRow("Shift+F10") << int(Qt::Key_F10) << int(Qt::ShiftModifier) << true;
    QTest::newRow("F10 alone") << int(Qt::Key_F10) << int(Qt::NoModifier) << false;
    QTest::newRow("Ctrl+F10") << int(Qt::Key_F10) << int(Qt::ControlModifier) << false;
}

void TestFileListKeyboard::menuFromTheKeyboard()
{
    QFETCH(int, key);
    QFETCH(int, modifiers);
    QFETCH(bool, opens);
    TestHome home;
    home.makeFiles(3);
    AppState state;
    QTRY_COMPARE(state.files().size(), 3);
    state.setCurrentIndex(1);
    FileListView list(state);
    list.resize(320, 200);
    list.show();
    QVERIFY(QTest::qWaitForWindowExposed(&list));
    FileRowView *current = list.rowAt(1);
    QVERIFY(current);
    QVERIFY(!current->isMenuOpen());

    if (key == 0) {
        // At a point over another row: the menu still acts on the current file.
        QContextMenuEvent event(QContextMenuEvent::Keyboard, QPoint(5, 5),
                                list.mapToGlobal(QPoint(5, 5)));
        QApplication::sendEvent(&list, &event);
    } else {
        QTest::keyClick(&list, Qt::Key(key), Qt::KeyboardModifiers(modifiers));
    }
    if (!opens) {
        QVERIFY(!openPopup());
        QVERIFY(!current->isMenuOpen());
        return;
    }
    QTRY_VERIFY(openPopup());
    QCOMPARE(texts(openPopup()), QStringList({u"Open"_s, u"Show in Folder"_s, u"Copy Path"_s}));
    // The row the menu acts on, and no other, is highlighted while it is open, and only then.
    for (qsizetype i = 0; i < 3; ++i)
        QCOMPARE(list.rowAt(i)->isMenuOpen(), i == 1);
    openPopup()->close();
    QTRY_VERIFY(!current->isMenuOpen());
}

void TestFileListKeyboard::listAndRowsForScreenReaders()
{
    TestHome home;
    home.makeFiles(38);
    AppState state;
    QTRY_COMPARE(state.files().size(), 38);
    FileListView list(state);
    list.resize(320, 200);
    list.show();
    QVERIFY(QTest::qWaitForWindowExposed(&list));

    QAccessibleInterface *listInterface = QAccessible::queryAccessibleInterface(&list);
    QVERIFY(listInterface);
    QCOMPARE(listInterface->role(), QAccessible::List);
    QCOMPARE(listInterface->text(QAccessible::Name), u"Files"_s);
    QCOMPARE(listInterface->text(QAccessible::Description), u"38 items"_s);
    // The rows that exist, each a list item named after its file, the current one selected.
    const QList<FileRowView *> rows = list.visibleRows();
    QVERIFY(!rows.isEmpty());
    QCOMPARE(listInterface->childCount(), int(rows.size()));
    int selected = 0;
    for (int i = 0; i < listInterface->childCount(); ++i) {
        QAccessibleInterface *item = listInterface->child(i);
        QVERIFY(item);
        QCOMPARE(item->role(), QAccessible::ListItem);
        QCOMPARE(item->object(), rows.at(i));
        QCOMPARE(item->text(QAccessible::Name), rows.at(i)->nameText());
        QCOMPARE(item->parent(), listInterface);
        QCOMPARE(listInterface->indexOfChild(item), i);
        QVERIFY(item->state().selectable);
        if (item->state().selected) {
            ++selected;
            QCOMPARE(rows.at(i)->file().id, state.currentFile()->id);
        }
    }
    QCOMPARE(selected, 1);
}

QTEST_MAIN(TestFileListKeyboard)
#include "tst_FileListKeyboard.moc"
