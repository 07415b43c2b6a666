// SPDX-License-Identifier: GPL-3.0-or-later
#include "AppState.h"
#include "ElidedLabel.h"
#include "FolderDisplay.h"
#include "FolderPicker.h"
#include "Settings.h"
#include "SettingsView.h"
#include "TestHome.h"

#include <QAbstractButton>
#include <QAccessible>
#include <QApplication>
#include <QLabel>
#include <QLayout>
#include <QPointer>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

// Stands in for the folder picker, answering in the user's place.
class AnsweringFolderPicker final : public FolderPicker
{
public:
    explicit AnsweringFolderPicker(std::function<QList<QUrl>()> answer)
        : m_answer(std::move(answer))
    {}

    QList<QUrl> pickFolders(QWidget *) override { return m_answer(); }

private:
    std::function<QList<QUrl>()> m_answer;
};

const QString nothingStored = u"<nothing>"_s;

// Paths in the test data are relative to the test's home unless they start with a slash; "" is
// the home itself.
QStringList absolute(const TestHome &home, const QStringList &paths)
{
    if (paths == QStringList{nothingStored})
        return paths;
    QStringList result;
    for (const QString &path : paths)
        result.append(path.isEmpty()          ? home.path()
                      : path.startsWith(u'/') ? path
                                              : home.path(path));
    return result;
}

QStringList stored()
{
    return Settings::readStringList(Settings::monitoredFolders)
        .value_or(QStringList{nothingStored});
}

// The one visible button with this accessible name, or null.
QAbstractButton *buttonNamed(QWidget &view, const QString &name)
{
    for (QAbstractButton *button : view.findChildren<QAbstractButton *>()) {
        if (button->accessibleName() == name && button->isVisibleTo(&view))
            return button;
    }
    return nullptr;
}

// The texts of the custom folder rows, top to bottom.
QStringList folderRows(QWidget &view)
{
    QAbstractButton *addButton = buttonNamed(view, u"Add Folder"_s);
    if (addButton == nullptr)
        return {u"<no Add Folder button>"_s};
    QLayout *group = addButton->parentWidget()->parentWidget()->layout();
    QStringList rows;
    for (int index = 0; index < group->count(); ++index) {
        QWidget *row = group->itemAt(index)->widget();
        if (row == addButton->parentWidget())
            continue;
        const auto *label = row->findChild<ElidedLabel *>();
        rows.append(label != nullptr ? label->text() : u"<row without a label>"_s);
    }
    return rows;
}

// The text at the right of the row titled `title`.
QString rowValue(QWidget &view, const QString &title)
{
    for (QLabel *label : view.findChildren<QLabel *>()) {
        if (label->text() != title)
            continue;
        const QList<QLabel *> inRow = label->parentWidget()->findChildren<QLabel *>();
        if (inRow.size() == 2)
            return inRow.at(inRow.at(0) == label ? 1 : 0)->text();
    }
    return u"<no row titled "_s + title + u'>';
}

bool lists(const AppState &state, const QString &path)
{
    const QList<TrackedFile> files = state.files();
    return std::any_of(files.begin(), files.end(),
                       [&path](const TrackedFile &file) { return file.filePath == path; });
}

void deleteRemovedRows()
{
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

// Everything one settings window works with, in a private home with a file in each of the
// standard folders.
struct Session
{
    explicit Session(const QStringList &storedFolders = {nothingStored})
    {
        writeBytes(home.folder(u"Desktop"_s) + u"/notes.txt"_s, "data");
        writeBytes(home.folder(u"Downloads"_s) + u"/setup.iso"_s, "data");
        if (storedFolders != QStringList{nothingStored})
            Settings::writeStringList(Settings::monitoredFolders, absolute(home, storedFolders));
        appState = std::make_unique<AppState>();
        view = std::make_unique<SettingsView>(*appState, [this] { ++checksAsked; });
        answerPicker({});
        view->show();
        home.lines().clear();
    }

    // Counts how often the picker was asked; `whileOpen` runs once while it is open, as a user
    // acting on the window behind it would.
    void answerPicker(const QList<QUrl> &answer, std::function<void()> whileOpen = {})
    {
        view->setFolderPicker(
            std::make_unique<AnsweringFolderPicker>([this, answer, whileOpen]() mutable {
                ++pickerAsked;
                if (const auto action = std::exchange(whileOpen, {}))
                    action();
                return answer;
            }));
    }

    TestHome home;
    int checksAsked = 0;
    int pickerAsked = 0;
    std::unique_ptr<AppState> appState;
    std::unique_ptr<SettingsView> view;
};

} // namespace

class TestSettingsView final : public TemporaryHomeSuite
{
    Q_OBJECT

private slots:
    void theWindow();
    void switchFlipsStoreAndRescan_data();
    void switchFlipsStoreAndRescan();
    void switchesNameTheDesktopsFolders();
    void customFolderRows_data();
    void customFolderRows();
    void rowsFollowTheStore();
    void addFolder_data();
    void addFolder();
    void secondPressWhilePickerIsOpen();
    void removeFolder();
    void switchesFollowTheState();
    void abbreviatedPath_data();
    void abbreviatedPath();
};

void TestSettingsView::theWindow()
{
    Session session;
    QCOMPARE(rowValue(*session.view, u"Move kept files to:"_s), u"~/Documents/Kept"_s);
    session.appState->setKeptFilesPath(u"/srv/archive/Kept"_s);
    QCOMPARE(rowValue(*session.view, u"Move kept files to:"_s), u"Kept"_s);
    QCOMPARE(rowValue(*session.view, u"Mirel"_s),
             u"v"_s + QString::fromUtf8(MIREL_PROJECT_VERSION));
    // Every press is passed on; the updater itself decides what one during a check does.
    QAbstractButton *check = buttonNamed(*session.view, u"Check for Updates..."_s);
    QVERIFY(check != nullptr);
    QTest::mouseClick(check, Qt::LeftButton);
    QTest::mouseClick(check, Qt::LeftButton);
    QCOMPARE(session.checksAsked, 2);
}

void TestSettingsView::switchFlipsStoreAndRescan_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("file");
    QTest::newRow("Desktop") << u"Desktop"_s << u"includeDesktop"_s << u"Desktop/notes.txt"_s;
    QTest::newRow("Downloads") << u"Downloads"_s << u"includeDownloads"_s
                               << u"Downloads/setup.iso"_s;
}

void TestSettingsView::switchFlipsStoreAndRescan()
{
    QFETCH(QString, name);
    QFETCH(QString, key);
    QFETCH(QString, file);
    Session session;
    QAbstractButton *toggle = buttonNamed(*session.view, name);
    QVERIFY(toggle != nullptr);
    QLabel *title = nullptr;
    for (QLabel *label : session.view->findChildren<QLabel *>())
        title = label->text() == name ? label : title;
    QVERIFY(title != nullptr);
    QAccessibleInterface *accessible = QAccessible::queryAccessibleInterface(toggle);
    QVERIFY(accessible && accessible->actionInterface());

    // From on: a click, a click on the title, and a screen reader's toggle action, which flips
    // the switch without a click.
    const QList<std::function<void()>> flips{
        [toggle] { QTest::mouseClick(toggle, Qt::LeftButton); },
        [title] { QTest::mouseClick(title, Qt::LeftButton); },
        [accessible] {
            accessible->actionInterface()->doAction(QAccessibleActionInterface::toggleAction());
        }};
    bool on = true;
    for (qsizetype flip = 0; flip < flips.size(); ++flip) {
        flips[flip]();
        on = !on;
        QCOMPARE(toggle->isChecked(), on);
        QCOMPARE(TestHome::store().value(key, !on).toBool(), on); // stored, not a default
        QCOMPARE(session.home.scanCount(), flip + 1);
        QCOMPARE(lists(*session.appState, session.home.path(file)), on);
    }
}

void TestSettingsView::switchesNameTheDesktopsFolders()
{
    // Downloads set to the home itself: there is no such folder to name.
    const UserDirsFile names(
        {u"XDG_DESKTOP_DIR=\"$HOME/Schreibtisch\""_s, u"XDG_DOWNLOAD_DIR=\"$HOME\""_s});
    Session session;
    QCOMPARE(buttonNamed(*session.view, u"Desktop"_s)->toolTip(),
             session.home.path(u"Schreibtisch"_s));
    QCOMPARE(buttonNamed(*session.view, u"Downloads"_s)->toolTip(), QString());
}

void TestSettingsView::customFolderRows_data()
{
    QTest::addColumn<QStringList>("storedFolders"); // "" is the home itself
    QTest::addColumn<QStringList>("rows");
    QTest::addColumn<QStringList>("userDirs"); // lines of user-dirs.dirs

    const QStringList none;
    QTest::newRow("standard folders hidden, others in order")
        << QStringList{u"Desktop"_s, u"/srv/b"_s, u"Downloads"_s, u"Desktop/Screenshots"_s,
                       u"/srv/a"_s}
        << QStringList{u"b"_s, u"~/Desktop/Screenshots"_s, u"a"_s} << none;
    QTest::newRow("exact comparison: letter case and trailing slash")
        << QStringList{u"desktop"_s, u"Downloads/"_s}
        << QStringList{u"~/desktop"_s, u"~/Downloads/"_s} << none;
    QTest::newRow("Desktop of another home")
        << QStringList{u"/home/other/Desktop"_s} << QStringList{u"Desktop"_s} << none;
    QTest::newRow("folders named by the desktop, and the older defaults")
        << QStringList{u"Schreibtisch"_s, u"Desktop"_s, u"Herunterladen"_s, u"Downloads"_s,
                       u"/srv/a"_s}
        << QStringList{u"a"_s}
        << QStringList{u"XDG_DESKTOP_DIR=\"$HOME/Schreibtisch\""_s,
                       u"XDG_DOWNLOAD_DIR=\"$HOME/Herunterladen\""_s};
    QTest::newRow("desktop set to the home: the home is a custom folder")
        << QStringList{u"/srv/a"_s, u""_s} << QStringList{u"a"_s, u"~"_s}
        << QStringList{u"XDG_DESKTOP_DIR=\"$HOME\""_s};
}

void TestSettingsView::customFolderRows()
{
    QFETCH(QStringList, storedFolders);
    QFETCH(QStringList, rows);
    QFETCH(QStringList, userDirs);
    const UserDirsFile names(userDirs);
    Session session(storedFolders);
    QCOMPARE(folderRows(*session.view), rows);
}

void TestSettingsView::rowsFollowTheStore()
{
    Session session({u"Projects"_s});
    // A rescan with the same list keeps the rows, so a row's button keeps its focus.
    QPointer<QAbstractButton> removeButton = buttonNamed(*session.view, u"Remove ~/Projects"_s);
    session.appState->scanFolders();
    deleteRemovedRows();
    QVERIFY(removeButton);
    QVERIFY(removeButton->isVisibleTo(session.view.get()));
}

void TestSettingsView::addFolder_data()
{
    QTest::addColumn<QStringList>("storedFolders");
    QTest::addColumn<QString>("picked"); // "~/..." a folder made in the home; empty: cancelled
    QTest::addColumn<QStringList>("expectedStore");
    QTest::addColumn<QStringList>("rows");

    const QStringList none{nothingStored};
    const QStringList standard{u"Desktop"_s, u"Downloads"_s};
    const QStringList photos = standard + QStringList{u"/srv/Photos"_s};
    QTest::newRow("appended at the end")
        << photos << u"~/Music"_s << photos + QStringList{u"Music"_s}
        << QStringList{u"Photos"_s, u"~/Music"_s};
    QTest::newRow("cancelled, a list stored")
        << photos << QString() << photos << QStringList{u"Photos"_s};
    QTest::newRow("not a local folder")
        << none << u"sftp://host/home/ann"_s << none << QStringList{};
}

void TestSettingsView::addFolder()
{
    QFETCH(QStringList, storedFolders);
    QFETCH(QString, picked);
    QFETCH(QStringList, expectedStore);
    QFETCH(QStringList, rows);
    Session session(storedFolders);
    const bool chosen = picked.startsWith(u"~/"_s);
    const QString path = chosen ? session.home.folder(picked.sliced(2)) : QString();
    if (chosen)
        writeBytes(path + u"/song.ogg"_s, "data");
    session.answerPicker(chosen             ? QList<QUrl>{QUrl::fromLocalFile(path)}
                         : picked.isEmpty() ? QList<QUrl>{}
                                            : QList<QUrl>{QUrl(picked)});

    QAbstractButton *addButton = buttonNamed(*session.view, u"Add Folder"_s);
    QVERIFY(addButton != nullptr);
    QTest::mouseClick(addButton, Qt::LeftButton);

    QCOMPARE(session.pickerAsked, 1);
    QCOMPARE(stored(), absolute(session.home, expectedStore));
    QCOMPARE(folderRows(*session.view), rows);
    // Said first and once, then the rescan, which picks up the new folder's file.
    const QStringList said =
        chosen ? QStringList{u"[Mirel] Custom folder selected: "_s + path} : QStringList{};
    QCOMPARE(session.home.lines().mid(0, 1), said);
    QCOMPARE(session.home.lines().filter(u"[Mirel]"_s), said);
    QCOMPARE(session.home.scanCount(), chosen ? 1 : 0);
    QCOMPARE(lists(*session.appState, path + u"/song.ogg"_s), chosen);
}

void TestSettingsView::secondPressWhilePickerIsOpen()
{
    Session session;
    const QString path = session.home.folder(u"Projects"_s);
    QAbstractButton *addButton = buttonNamed(*session.view, u"Add Folder"_s);
    session.answerPicker({QUrl::fromLocalFile(path)},
                         [addButton] { QTest::mouseClick(addButton, Qt::LeftButton); });

    QTest::mouseClick(addButton, Qt::LeftButton);
    QCOMPARE(session.pickerAsked, 1);
    QCOMPARE(session.home.lines().filter(u"[Mirel]"_s).size(), 1);
    QCOMPARE(session.home.scanCount(), 1);

    // Once it has closed, the button opens it again.
    session.answerPicker({});
    QTest::mouseClick(addButton, Qt::LeftButton);
    QCOMPARE(session.pickerAsked, 2);
}

void TestSettingsView::removeFolder()
{
    // Every entry with the path goes, the others stay in order.
    Session session(
        {u"Desktop"_s, u"Work/a"_s, u"Downloads"_s, u"Work/b"_s, u"Work/a"_s, u"Work/c"_s});
    QPointer<QAbstractButton> removeButton = buttonNamed(*session.view, u"Remove ~/Work/a"_s);
    QVERIFY(removeButton);
    QTest::mouseClick(removeButton, Qt::LeftButton);

    QCOMPARE(stored(),
             absolute(session.home, {u"Desktop"_s, u"Downloads"_s, u"Work/b"_s, u"Work/c"_s}));
    QCOMPARE(folderRows(*session.view), (QStringList{u"~/Work/b"_s, u"~/Work/c"_s}));
    QCOMPARE(session.home.scanCount(), 1);
    QCOMPARE(session.home.lines().filter(u"[Mirel]"_s), QStringList{});
    // The pressed button's row goes once its click is over.
    deleteRemovedRows();
    QVERIFY(!removeButton);
}

void TestSettingsView::switchesFollowTheState()
{
    Session session;
    auto *desktop = buttonNamed(*session.view, u"Desktop"_s);
    auto *downloads = buttonNamed(*session.view, u"Downloads"_s);
    session.appState->setIncludeDownloads(false);
    QVERIFY(desktop->isChecked());
    QVERIFY(!downloads->isChecked());
    QCOMPARE(session.home.scanCount(), 1); // showing the state is not a flip: no second scan
    session.appState->setIncludeDesktop(false);
    QVERIFY(!desktop->isChecked());
    QCOMPARE(session.home.scanCount(), 2);
}

void TestSettingsView::abbreviatedPath_data()
{
    QTest::addColumn<QString>("home");
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("expected");

    // Under, outside and the home itself: see the rows in customFolderRows.
    QTest::newRow("string prefix, not a component")
        << u"/home/ann"_s << u"/home/anna/Work"_s << u"Work"_s;
    QTest::newRow("outside, trailing slash") << u"/home/ann"_s << u"/srv/data/"_s << u"data"_s;
    QTest::newRow("the root") << u"/home/ann"_s << u"/"_s << u"/"_s;
}

void TestSettingsView::abbreviatedPath()
{
    QFETCH(QString, home);
    QFETCH(QString, path);
    QFETCH(QString, expected);
    QCOMPARE(FolderDisplay::abbreviatedPath(QUrl::fromLocalFile(path), home), expected);
}

QTEST_MAIN(TestSettingsView)
#include "tst_SettingsView.moc"
