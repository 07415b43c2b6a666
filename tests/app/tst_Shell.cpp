// SPDX-License-Identifier: GPL-3.0-or-later
#include "CountLabel.h"
#include "DesktopNotification.h"
#include "ElidedLabel.h"
#include "MenuBarView.h"
#include "MirelApp.h"
#include "SettingsView.h"
#include "StartAtLogin.h"
#include "TestHome.h"
#include "ToggleSwitch.h"
#include "TrayIcon.h"

#include <QApplication>
#include <QDialog>
#include <QMenu>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QToolButton>

#include <algorithm>

using namespace Qt::StringLiterals;

class TestShell final : public QObject
{
    Q_OBJECT

public:
    static void initMain()
    {
        useTemporaryHome();
        // No desktop's tray: every Mirel here runs as the window used without one.
        qputenv("DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent/mirel-test-bus");
        QApplication::setQuitOnLastWindowClosed(false);
    }

private slots:
    void startedAtLoginWaitsForTheTray();
    void oneSettingsWindowWithTheUpdater();
    void germanTranslation();
    void startAtLogin();
    void firstAndLaterStarts();
    void undoFromTheTrayMenu();
};

namespace {

// The menu's entry whose text starts with `text`, or null.
QAction *menuEntry(QMenu *menu, const QString &text)
{
    const QList<QAction *> actions = menu->actions();
    const auto found = std::find_if(actions.cbegin(), actions.cend(), [&text](QAction *action) {
        return action->text().startsWith(text);
    });
    return found == actions.cend() ? nullptr : *found;
}

} // namespace

void TestShell::startedAtLoginWaitsForTheTray()
{
    TestHome home;
    MirelApp atLogin(MirelApp::Start::AtLogin);
    MirelApp normal;
    QTRY_VERIFY(normal.isStarted());
    QVERIFY(normal.panel()->isVisible());
    // No tray has come yet, but it may: no window flashes up at login meanwhile.
    QVERIFY(!atLogin.isStarted());
    QVERIFY(!atLogin.panel()->isVisible());
    QTRY_VERIFY_WITH_TIMEOUT(atLogin.isStarted(), MirelApp::trayWaitAtLoginMs + 5000);
    QVERIFY(atLogin.usesFallbackWindow());
    QVERIFY(atLogin.panel()->isVisible());
}

void TestShell::oneSettingsWindowWithTheUpdater()
{
    TestHome home;
    MirelApp mirel;
    QTest::mouseClick(mirel.panel()->settingsButton(), Qt::LeftButton);
    SettingsView *settings = mirel.settingsWindow();
    QVERIFY(settings);
    QVERIFY(settings->isVisible());

    settings->close();
    mirel.showSettings();
    QCOMPARE(mirel.settingsWindow(), settings);
    QVERIFY(settings->isVisible());

    // Its update check reaches the program's one updater, which answers with a dialog.
    const QList<QPushButton *> buttons = settings->findChildren<QPushButton *>();
    const auto found = std::find_if(buttons.cbegin(), buttons.cend(), [](QPushButton *button) {
        return button->accessibleName() == u"Check for Updates..."_s;
    });
    QVERIFY(found != buttons.cend());
    const auto updaterDialogShown = [] {
        const QWidgetList windows = QApplication::topLevelWidgets();
        return std::any_of(windows.cbegin(), windows.cend(), [](QWidget *window) {
            return qobject_cast<QDialog *>(window) != nullptr && window->isVisible();
        });
    };
    QVERIFY(!updaterDialogShown());
    QTest::mouseClick(*found, Qt::LeftButton);
    QTRY_VERIFY(updaterDialogShown());
}

void TestShell::germanTranslation()
{
    TestHome home;
    QObject translations;
    // Both Mirel's and Qt's own texts: each is checked below.
    MirelApp::installTranslations(QLocale(QLocale::German, QLocale::Germany), &translations);
    QVERIFY(writeFile(home.folder(u"Downloads"_s) + u"/a.txt"_s));
    AppState state;
    MenuBarView panel(state);
    panel.show();

    // German has a singular, English deliberately not.
    QCOMPARE(panel.countLabel()->text(), u"1 Datei"_s);
    QVERIFY(writeFile(home.path(u"Downloads/b.txt"_s)));
    state.scanFolders();
    QCOMPARE(panel.countLabel()->text(), u"2 Dateien"_s);
    // Qt's own texts, as in the folder picker.
    QCOMPARE(QCoreApplication::translate("QFileDialog", "Look in:"), u"Suchen in:"_s);
    QCOMPARE(QCoreApplication::translate("QPlatformTheme", "Cancel"), u"Abbrechen"_s);
}

void TestShell::firstAndLaterStarts()
{
    TestHome home;
    const QString downloads = home.folder(u"Downloads"_s);
    QVERIFY(writeFile(downloads + u"/a.txt"_s));
    const QString settingsFile = TestHome::store().fileName();
    QVERIFY(!QFileInfo::exists(settingsFile) || QFile::remove(settingsFile));
    {
        MirelApp first;
        QCOMPARE(first.welcomeMessage(), u"Mirel is in the system tray. Files to review: 1"_s);
        QCOMPARE(first.trayIcon()->toolTip(), u"Mirel: 1 files to review"_s);
        QVERIFY(writeFile(downloads + u"/b.txt"_s));
        first.appState().scanFolders();
        QCOMPARE(first.trayIcon()->toolTip(), u"Mirel: 2 files to review"_s);
    }
    QVERIFY(QFileInfo::exists(settingsFile));
    MirelApp again;
    QCOMPARE(again.welcomeMessage(), QString());

    QTRY_VERIFY(again.isStarted());
    QVERIFY(again.usesFallbackWindow());
    // Without a tray the panel is an ordinary window. Escape would hide a popup; this window is
    // the only way back to Mirel, so it stays.
    QSignalSpy dismissed(again.panel(), &MenuBarView::dismissRequested);
    QTest::keyClick(again.panel(), Qt::Key_Escape);
    QCOMPARE(dismissed.count(), 1);
    QVERIFY(again.panel()->isVisible());
}

void TestShell::undoFromTheTrayMenu()
{
    TestHome home;
    const QString desktop = home.folder(u"Desktop"_s);
    QVERIFY(writeFile(desktop + u"/newer.txt"_s, "newer", 1'600'000'200));
    QVERIFY(writeFile(desktop + u"/a.txt"_s, "a", 1'600'000'100));
    QList<QStringList> notified;
    const auto record = [&notified](const QString &title, const QString &body) {
        notified.append({title, body});
    };
    DesktopNotification::setSink(record);
    const auto noSink = qScopeGuard([] { DesktopNotification::setSink({}); });
    MirelApp mirel;
    MenuBarView *panel = mirel.panel();
    const auto undoEntry = [&mirel] {
        return menuEntry(mirel.trayIcon()->contextMenu(), u"Undo"_s);
    };
    QVERIFY(undoEntry());
    const auto keepA = [&] {
        panel->show();
        QCOMPARE(mirel.appState().files().at(1).filePath, desktop + u"/a.txt"_s);
        mirel.appState().keepFile(mirel.appState().files().at(1).id);
        // The tray menu takes the focus, which closes the panel.
        panel->hide();
    };

    // Undone from the menu while the panel is closed: the panel opens on the restored file,
    // though it is not the newest.
    QSignalSpy finished(&mirel.appState(), &AppState::undoFinished);
    keepA();
    undoEntry()->trigger();
    QVERIFY(finished.wait());
    QVERIFY(panel->isVisible());
    QCOMPARE(mirel.appState().currentFile()->filePath, desktop + u"/a.txt"_s);
    QCOMPARE(panel->nameLabel()->text(), u"a.txt"_s);
    QVERIFY(notified.isEmpty());

    // Failed with the panel closed: the desktop tells, and the panel stays closed.
    keepA();
    QVERIFY(writeFile(desktop + u"/a.txt"_s, "in the way"));
    undoEntry()->trigger();
    const QString reason =
        u"\"a.txt\" could not be put back: \"%1/a.txt\" already exists"_s.arg(desktop);
    QVERIFY(finished.wait());
    QCOMPARE(notified, (QList<QStringList>{{u"Could not undo"_s, reason}}));
    QVERIFY(!panel->isVisible());

    // Failed again with the panel open: its card says so, under the current file.
    panel->show();
    undoEntry()->trigger();
    QVERIFY(finished.wait());
    QCOMPARE(notified.size(), 1);
    QVERIFY(panel->failureLabel()->isVisible());
    QCOMPARE(panel->failureLabel()->text(), reason);
}

void TestShell::startAtLogin()
{
    TestHome home;
    const QString entry = StartAtLogin::entryPath();
    const QString folder = QFileInfo(entry).absolutePath();
    QVERIFY(entry.startsWith(qEnvironmentVariable("XDG_CONFIG_HOME") + u"/autostart/"_s));
    const auto cleanUp = qScopeGuard([&] {
        QFile::remove(entry);
        QFile::remove(folder);
        QDir().rmdir(folder);
    });
    QDir().rmdir(folder); // the folder is made when needed
    MirelApp mirel;
    QMenu *menu = mirel.trayIcon()->contextMenu();
    QAction *trayEntry = menuEntry(menu, u"Start at Login"_s);
    QVERIFY(trayEntry);
    QVERIFY(!trayEntry->isChecked());
    mirel.showSettings();
    ToggleSwitch *toggle = mirel.settingsWindow()->startAtLoginSwitch();
    QVERIFY(toggle);
    QVERIFY(!toggle->isChecked());

    // The switch writes the entry, and the tray's check mark follows; and the other way round.
    QTest::mouseClick(toggle, Qt::LeftButton);
    QVERIFY(toggle->isChecked());
    QVERIFY(trayEntry->isChecked());
    const QByteArray written = readFile(entry);
    QVERIFY2(written.contains(QByteArray(
                 "\nExec=" + QCoreApplication::applicationFilePath().toUtf8() + " --autostart\n")),
             written.constData());
    QVERIFY(written.startsWith("[Desktop Entry]\n"));
    trayEntry->trigger();
    QVERIFY(!QFileInfo::exists(entry));
    QVERIFY(!trayEntry->isChecked());
    QVERIFY(!toggle->isChecked());

    // Where no entry can be written, neither the switch nor the check mark claims one.
    QDir(folder).removeRecursively();
    QVERIFY(writeFile(folder));
    QTest::mouseClick(toggle, Qt::LeftButton);
    QVERIFY(!toggle->isChecked());
    QVERIFY(!trayEntry->isChecked());
    trayEntry->trigger();
    QVERIFY(!trayEntry->isChecked());
    QVERIFY(QFile::remove(folder));

    // Deleted by hand: the menu says so the next time it opens.
    trayEntry->trigger();
    QVERIFY(trayEntry->isChecked());
    QVERIFY(QFile::remove(entry));
    emit menu->aboutToShow();
    QVERIFY(!trayEntry->isChecked());
}

QTEST_MAIN(TestShell)
#include "tst_Shell.moc"
