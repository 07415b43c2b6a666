// SPDX-License-Identifier: GPL-3.0-or-later
#include "CommandLine.h"
#include "CountLabel.h"
#include "DesktopNotification.h"
#include "ElidedLabel.h"
#include "MenuBarView.h"
#include "MirelApp.h"
#include "MirelVersion.h"
#include "PanelPlacement.h"
#include "SettingsView.h"
#include "SingleInstance.h"
#include "StartAtLogin.h"
#include "TestHome.h"
#include "ToggleSwitch.h"
#include "TrayIcon.h"
#include "TrayTestBus.h"

#include <QApplication>
#include <QDBusMessage>
#include <QDialog>
#include <QLocalServer>
#include <QMenu>
#include <QProcess>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QToolButton>

#include <algorithm>

#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>

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
    void placement_data();
    void placement();
    void trayCorner_data();
    void trayCorner();
    void trayMenuOpensFirstThenUndo();
    void undoWithoutTray();
    void startAtLoginSwitchInSettings();
    void startedAtLoginWaitsForTheTray();
    void windowBecomesThePanelWhenATrayComes();
    void secondInstanceDefersToTheFirst();
    void withoutRuntimeFolder_data();
    void withoutRuntimeFolder();
    void socketOfAnotherUserIsNotObeyed();
    void oneSettingsWindowWithTheUpdater();
    void germanTranslation();
    void startAtLoginFromTheTrayMenu();
    void startAtLoginEntryNamesTheProgram_data();
    void startAtLoginEntryNamesTheProgram();
    void commandLine_data();
    void commandLine();
    void waylandRunsOnXcb_data();
    void waylandRunsOnXcb();
    void versionLeavesTheRunningMirelAlone();
    void firstAndLaterStarts();
    void undoFromTheTrayMenu();
};

namespace {

// The built program, run with the given arguments (and, unless empty, that X display, where
// "none" is no display server and no offscreen platform); with a private HOME so that
// nothing of the user's is scanned.
struct Run
{
    int exitCode = -1;
    QString out;
    QString err;
};

Run runMirel(const QStringList &arguments, const QString &display = {})
{
    QTemporaryDir home;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(u"HOME"_s, home.path());
    // English, whatever the developer's language.
    environment.insert(u"LC_ALL"_s, u"C.UTF-8"_s);
    environment.remove(u"LANGUAGE"_s);
    if (!display.isEmpty()) {
        for (const QString &name : {u"QT_QPA_PLATFORM"_s, u"WAYLAND_DISPLAY"_s, u"DISPLAY"_s})
            environment.remove(name);
        if (display != u"none"_s)
            environment.insert(u"DISPLAY"_s, display);
    }
    QProcess mirel;
    mirel.setProcessEnvironment(environment);
    mirel.start(QString::fromUtf8(MIREL_PROGRAM), arguments);
    Run run;
    if (!mirel.waitForFinished(60000) || mirel.exitStatus() != QProcess::NormalExit)
        return run;
    run.exitCode = mirel.exitCode();
    run.out = QString::fromLocal8Bit(mirel.readAllStandardOutput());
    run.err = QString::fromLocal8Bit(mirel.readAllStandardError());
    return run;
}

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

void TestShell::placement_data()
{
    QTest::addColumn<QRect>("icon");
    QTest::addColumn<QPoint>("pointer");
    QTest::addColumn<QPoint>("expected");
    // Screen 1280 x 800 with a 24 px panel at the top: available from y = 24.
    QTest::newRow("under an icon at the top right")
        << QRect(1200, 0, 24, 24) << QPoint() << QPoint(960, 28);
    QTest::newRow("above an icon at the bottom")
        << QRect(600, 776, 24, 24) << QPoint() << QPoint(451, 292);
    QTest::newRow("unknown icon: by the pointer") << QRect() << QPoint(100, 100) << QPoint(0, 104);
    QTest::newRow("unknown icon, pointer low: above it")
        << QRect() << QPoint(700, 700) << QPoint(540, 216);
}

void TestShell::placement()
{
    QFETCH(QRect, icon);
    QFETCH(QPoint, pointer);
    QFETCH(QPoint, expected);
    QCOMPARE(PanelPlacement::topLeft(QSize(320, 480), icon, pointer, QRect(0, 24, 1280, 776)),
             expected);
}

void TestShell::trayCorner_data()
{
    QTest::addColumn<QRect>("available");
    QTest::addColumn<QPoint>("corner");
    QTest::addColumn<QPoint>("panel");
    // Screen 1280 x 800; the panel is 320 x 480.
    QTest::newRow("a panel at the top")
        << QRect(0, 24, 1280, 776) << QPoint(1279, 24) << QPoint(960, 28);
    QTest::newRow("a panel at the bottom")
        << QRect(0, 0, 1280, 776) << QPoint(1279, 775) << QPoint(960, 291);
    QTest::newRow("a dock on the left")
        << QRect(48, 0, 1232, 800) << QPoint(48, 0) << QPoint(48, 4);
    QTest::newRow("a panel on the right")
        << QRect(0, 0, 1232, 800) << QPoint(1231, 0) << QPoint(912, 4);
    QTest::newRow("no panel: top right")
        << QRect(0, 0, 1280, 800) << QPoint(1279, 0) << QPoint(960, 4);
}

void TestShell::trayCorner()
{
    QFETCH(QRect, available);
    QFETCH(QPoint, corner);
    QFETCH(QPoint, panel);
    const QRect screen(0, 0, 1280, 800);
    QCOMPARE(PanelPlacement::trayCorner(screen, available), corner);
    QCOMPARE(PanelPlacement::topLeft(QSize(320, 480), QRect(), corner, available), panel);
    // A click seen on the icon wins over the corner.
    const QRect click(QPoint(200, 10), QSize(1, 1));
    QCOMPARE(PanelPlacement::topLeft(QSize(320, 480), click, corner, QRect(0, 24, 1280, 776)),
             QPoint(40, 24));
}

void TestShell::trayMenuOpensFirstThenUndo()
{
    TestHome home;
    MirelApp mirel;
    QStringList texts;
    for (QAction *action : mirel.trayMenu()->actions())
        texts.append(action->isSeparator() ? u"-"_s : action->text());
    // GNOME's AppIndicator opens the menu on a click: the way in comes first.
    QCOMPARE(texts, QStringList({u"Open Mirel"_s, u"Undo"_s, u"-"_s, u"Settings..."_s,
                                 u"Start at Login"_s, u"-"_s, u"Quit"_s}));
}

void TestShell::undoWithoutTray()
{
    TestHome home;
    const QString downloads = home.folder(u"Downloads"_s);
    QVERIFY(writeFile(downloads + u"/PXL_20250210_phone.jpg"_s, "photo"));
    MirelApp mirel;
    QTRY_VERIFY(mirel.isStarted());
    QVERIFY(mirel.usesFallbackWindow());
    MenuBarView *window = mirel.panel();
    QVERIFY(window->isVisible());
    QVERIFY(!mirel.undoButton()->isVisible());

    mirel.appState().keepCurrentFile();
    QTRY_VERIFY(!QFileInfo::exists(downloads + u"/PXL_20250210_phone.jpg"_s));
    QTRY_VERIFY(mirel.undoButton()->isVisible());
    QCOMPARE(mirel.undoButton()->accessibleName(), u"Undo Keep: PXL_20250210_phone.jpg"_s);
    QVERIFY2(mirel.undoButton()->text().startsWith(u"Undo Keep: PXL_"_s),
             qPrintable(mirel.undoButton()->text()));

    // Ctrl+Z in the window takes the Keep back.
    window->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(window));
    QTest::keyClick(window, Qt::Key_Z, Qt::ControlModifier);
    QTRY_VERIFY(QFileInfo::exists(downloads + u"/PXL_20250210_phone.jpg"_s));
    QCOMPARE(readFile(downloads + u"/PXL_20250210_phone.jpg"_s), QByteArray("photo"));
    QTRY_VERIFY(!mirel.undoButton()->isVisible());
    // With nothing left to undo, Ctrl+Z does nothing.
    QTest::keyClick(window, Qt::Key_Z, Qt::ControlModifier);
    QVERIFY(QFileInfo::exists(downloads + u"/PXL_20250210_phone.jpg"_s));

    // The footer's button does the same.
    mirel.appState().keepCurrentFile();
    QTRY_VERIFY(mirel.undoButton()->isVisible());
    QTest::mouseClick(mirel.undoButton(), Qt::LeftButton);
    QTRY_VERIFY(QFileInfo::exists(downloads + u"/PXL_20250210_phone.jpg"_s));
}

void TestShell::startAtLoginSwitchInSettings()
{
    TestHome home;
    const QString entry = StartAtLogin::entryPath();
    const auto cleanUp = qScopeGuard([&entry] { QFile::remove(entry); });
    QFile::remove(entry);
    MirelApp mirel;
    mirel.showSettings();
    ToggleSwitch *toggle = mirel.settingsWindow()->startAtLoginSwitch();
    QVERIFY(toggle);
    QCOMPARE(toggle->accessibleName(), u"Start at Login"_s);
    QVERIFY(!toggle->isChecked());
    QAction *trayEntry = menuEntry(mirel.trayMenu(), u"Start at Login"_s);
    QVERIFY(trayEntry);

    // The switch writes the entry, and the tray's check mark follows.
    QTest::mouseClick(toggle, Qt::LeftButton);
    QVERIFY(QFileInfo::exists(entry));
    QVERIFY(toggle->isChecked());
    QVERIFY(trayEntry->isChecked());
    // And the other way round.
    trayEntry->trigger();
    QVERIFY(!QFileInfo::exists(entry));
    QVERIFY(!toggle->isChecked());

    // Where no entry can be written, the switch goes back to off.
    const QString folder = QFileInfo(entry).absolutePath();
    QDir(folder).removeRecursively();
    QVERIFY(writeFile(folder));
    const auto unblock = qScopeGuard([&folder] { QFile::remove(folder); });
    QTest::mouseClick(toggle, Qt::LeftButton);
    QVERIFY(!toggle->isChecked());
    QVERIFY(!trayEntry->isChecked());
}

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

void TestShell::windowBecomesThePanelWhenATrayComes()
{
    TestHome home;
    QVERIFY(writeFile(home.folder(u"Downloads"_s) + u"/a.txt"_s));
    PrivateBus bus;
    if (!bus.isRunning())
        QSKIP("dbus-daemon could not start");
    MirelApp mirel(MirelApp::Start::Normal, bus.connect(u"shell_mirel"_s));
    QTRY_VERIFY(mirel.isStarted());
    QVERIFY(mirel.usesFallbackWindow());
    QVERIFY(mirel.panel()->isVisible());

    // The desktop's tray starts after Mirel: the icon docks and the window becomes the
    // panel, hidden until the icon is clicked.
    const QDBusConnection host = bus.connect(u"shell_host"_s);
    FakeWatcher watcher(host);
    QVERIFY(watcher.owned());
    QTRY_VERIFY(mirel.trayIcon()->isDocked());
    QVERIFY(!mirel.usesFallbackWindow());
    QVERIFY(!mirel.panel()->isVisible());
    QCOMPARE(watcher.items.size(), 1);

    // A click the tray reports at (300, 10) opens the panel right there.
    QDBusMessage activate =
        QDBusMessage::createMethodCall(watcher.items.constFirst(), u"/StatusNotifierItem"_s,
                                       u"org.kde.StatusNotifierItem"_s, u"Activate"_s);
    activate << 300 << 10;
    QCOMPARE(host.call(activate, QDBus::BlockWithGui, 5000).type(), QDBusMessage::ReplyMessage);
    QTRY_VERIFY(mirel.panel()->isVisible());
    const QRect panel = mirel.panel()->geometry();
    QVERIFY2(panel.left() <= 300 && 300 <= panel.right() && std::abs(panel.top() - 10) <= 8,
             qPrintable(u"%1,%2"_s.arg(panel.left()).arg(panel.top())));
    // "Open Mirel" later opens it at the same place: the frame the window had before the
    // tray came moves it by nothing.
    mirel.panel()->hide();
    mirel.showPanel();
    QCOMPARE(mirel.panel()->geometry(), panel);
}

void TestShell::secondInstanceDefersToTheFirst()
{
    // The socket lives in the session's private runtime folder; the shared temporary
    // folder only serves a session without one.
    QTemporaryDir runtime;
    const ScopedEnvironment environment{{"XDG_RUNTIME_DIR", QFile::encodeName(runtime.path())}};
    const QString name = SingleInstance::defaultName();
    QCOMPARE(name, runtime.path() + u"/mirel"_s);
    SingleInstance first(name);
    QVERIFY(first.becomePrimary());
    SingleInstance second(name);
    QVERIFY(!second.becomePrimary());
    QCOMPARE(QDir(runtime.path()).entryList(QDir::System | QDir::NoDotAndDotDot),
             QStringList{u"mirel"_s});
}

void TestShell::withoutRuntimeFolder_data()
{
    QTest::addColumn<QString>("setUp");
    QTest::addColumn<QString>("problem"); // FOLDER stands for the folder; empty: used

    QTest::newRow("made private") << u"none"_s << QString();
    QTest::newRow("already there, private") << u"private"_s << QString();
    QTest::newRow("a link to a folder elsewhere") << u"link"_s << u"\"FOLDER\" is not a folder"_s;
    QTest::newRow("open to other users")
        << u"open"_s << u"other users can open the folder \"FOLDER\""_s;
    QTest::newRow("another user's")
        << u"foreign"_s << u"the folder \"FOLDER\" belongs to another user"_s;
}

void TestShell::withoutRuntimeFolder()
{
    QFETCH(QString, setUp);
    QFETCH(QString, problem);
    // The shared temporary folder is never used: another user could listen there first.
    TestHome home;
    QTemporaryDir cache;
    const ScopedEnvironment environment{{"XDG_RUNTIME_DIR", QByteArray()},
                                        {"XDG_CACHE_HOME", QFile::encodeName(cache.path())}};
    const QString folder = cache.path() + u"/mirel"_s;
    const QByteArray path = QFile::encodeName(folder);
    if (setUp == u"link"_s) {
        QVERIFY(QFile::link(home.folder(u"elsewhere"_s), folder));
    } else if (setUp != u"none"_s) {
        QCOMPARE(::mkdir(path.constData(), setUp == u"open"_s ? 0755 : 0700), 0);
        QCOMPARE(::chmod(path.constData(), setUp == u"open"_s ? 0755 : 0700), 0);
        if (setUp == u"foreign"_s && ::chown(path.constData(), 65534, 65534) != 0)
            QSKIP("Handing a folder to another user needs root");
    }

    QString why;
    const QString name = SingleInstance::defaultName(&why);

    if (!problem.isEmpty()) {
        QCOMPARE(name, QString());
        QCOMPARE(why, problem.replace(u"FOLDER"_s, folder));
        SingleInstance alone(name);
        QVERIFY(alone.becomePrimary());
        QCOMPARE(QDir(folder).entryList(QDir::System | QDir::NoDotAndDotDot), QStringList());
        return;
    }
    QCOMPARE(why, QString());
    QCOMPARE(name, folder + u"/instance"_s);
    struct stat attributes = {};
    QCOMPARE(::lstat(path.constData(), &attributes), 0);
    QCOMPARE(attributes.st_mode & 07777, mode_t(0700));
    SingleInstance first(name);
    QVERIFY(first.becomePrimary());
    SingleInstance second(name);
    QVERIFY(!second.becomePrimary());
}

void TestShell::socketOfAnotherUserIsNotObeyed()
{
    if (::geteuid() != 0)
        QSKIP("Listening as another user needs root");
    QTemporaryDir shared;
    QCOMPARE(::chmod(QFile::encodeName(shared.path()).constData(), 01777), 0);
    const QString name = shared.path() + u"/mirel"_s;
    int release[2];
    QCOMPARE(::pipe(release), 0);

    // Another local user listens at the name first.
    const pid_t child = ::fork();
    QVERIFY(child >= 0);
    if (child == 0) {
        ::close(release[1]);
        struct sockaddr_un address = {};
        address.sun_family = AF_UNIX;
        const QByteArray path = QFile::encodeName(name);
        std::copy(path.cbegin(), path.cend(), address.sun_path);
        const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
        if (::setgid(65534) != 0 || ::setuid(65534) != 0 ||
            ::bind(fd, reinterpret_cast<sockaddr *>(&address), sizeof address) != 0 ||
            ::listen(fd, 4) != 0)
            ::_exit(1);
        char byte = 0;
        const ssize_t done = ::read(release[0], &byte, 1); // until the test is done
        ::_exit(done < 0 ? 1 : 0);
    }
    ::close(release[0]);
    const auto stopChild = qScopeGuard([&] {
        ::close(release[1]);
        ::waitpid(child, nullptr, 0);
    });
    QTRY_VERIFY(QFileInfo::exists(name));

    SingleInstance mirel(name);
    QVERIFY(mirel.becomePrimary());   // this Mirel runs instead of leaving
    QVERIFY(QFileInfo::exists(name)); // and the other user's socket stays
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

    QCOMPARE(panel.keepButton()->text(), u"Behalten"_s);
    QCOMPARE(panel.deleteButton()->text(), u"Löschen"_s);
    QCOMPARE(panel.quitButton()->accessibleName(), u"Beenden"_s);
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

void TestShell::startAtLoginFromTheTrayMenu()
{
    TestHome home;
    const QString entry = StartAtLogin::entryPath();
    QVERIFY(entry.startsWith(qEnvironmentVariable("XDG_CONFIG_HOME") + u"/autostart/"_s));
    const auto cleanUp = qScopeGuard([&entry] {
        QFile::remove(entry);
        QDir().rmdir(QFileInfo(entry).absolutePath());
    });
    QDir().rmdir(QFileInfo(entry).absolutePath()); // the folder is made when needed
    MirelApp mirel;
    QMenu *menu = mirel.trayIcon()->contextMenu();
    QCOMPARE(menu, mirel.trayMenu());
    QAction *startAtLogin = menuEntry(menu, u"Start at Login"_s);
    QVERIFY(startAtLogin);
    QVERIFY(!startAtLogin->isChecked());

    startAtLogin->trigger();
    QVERIFY(startAtLogin->isChecked());
    const QByteArray written = readFile(entry);
    QVERIFY2(written.contains(QByteArray(
                 "\nExec=" + QCoreApplication::applicationFilePath().toUtf8() + " --autostart\n")),
             written.constData());
    QVERIFY(written.startsWith("[Desktop Entry]\n"));

    // Deleted by hand: the menu says so the next time it opens.
    QVERIFY(QFile::remove(entry));
    emit menu->aboutToShow();
    QVERIFY(!startAtLogin->isChecked());

    startAtLogin->trigger();
    QVERIFY(QFileInfo::exists(entry));
    startAtLogin->trigger();
    QVERIFY(!startAtLogin->isChecked());
    QVERIFY(!QFileInfo::exists(entry));

    // Where no entry can be written, the check mark does not claim one.
    QDir().rmdir(QFileInfo(entry).absolutePath());
    QVERIFY(writeFile(QFileInfo(entry).absolutePath()));
    startAtLogin->trigger();
    QVERIFY(!startAtLogin->isChecked());
    QVERIFY(QFile::remove(QFileInfo(entry).absolutePath()));
}

void TestShell::startAtLoginEntryNamesTheProgram_data()
{
    QTest::addColumn<QString>("binary");
    QTest::addColumn<QString>("exec");

    QTest::newRow("the packaged program, by name") << u"/usr/bin/mirel"_s << u"mirel"_s;
    QTest::newRow("installed by hand") << u"/usr/local/bin/mirel"_s << u"/usr/local/bin/mirel"_s;
    QTest::newRow("a build folder with a space")
        << u"/home/u/My Builds/app/mirel"_s << u"\"/home/u/My Builds/app/mirel\""_s;
    QTest::newRow("percent, dollar and backslash")
        << u"/home/u/100% $x\\y/mirel"_s << u"\"/home/u/100%% \\\\$x\\\\\\\\y/mirel\""_s;
    QTest::newRow("a line break cannot be written") << u"/tmp/a\nb/mirel"_s << QString();
}

void TestShell::startAtLoginEntryNamesTheProgram()
{
    QFETCH(QString, binary);
    QFETCH(QString, exec);
    QCOMPARE(StartAtLogin::execValue(StartAtLogin::programFor(binary)), exec);
}

void TestShell::commandLine_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("display");
    QTest::addColumn<int>("exitCode");
    // On standard output after a success, else on standard error; the other stays empty. A
    // text with its line break is all there is.
    QTest::addColumn<QString>("shown");

    const QString version = u"Mirel " MIREL_VERSION "\n"_s;
    QTest::newRow("version") << QStringList{u"--version"_s} << QString() << 0 << version;
    QTest::newRow("help") << QStringList{u"--help"_s} << QString() << 0 << u"--version"_s;
    QTest::newRow("help names --autostart")
        << QStringList{u"--help"_s} << QString() << 0 << u"--autostart"_s;
    QTest::newRow("version without a display") << QStringList{u"-v"_s} << u"none"_s << 0 << version;
    QTest::newRow("unknown option")
        << QStringList{u"--frobnicate"_s} << QString() << 1 << u"Unknown option 'frobnicate'."_s;
    QTest::newRow("stray argument")
        << QStringList{u"file.txt"_s} << QString() << 1 << u"Unexpected argument 'file.txt'."_s;
    QTest::newRow("no display") << QStringList() << u"none"_s << 1
                                << u"Mirel needs a graphical session: neither DISPLAY nor "
                                   "WAYLAND_DISPLAY is set.\n"_s;
    QTest::newRow("a display nobody serves")
        << QStringList() << u":4711"_s << 1
        << u"Mirel needs a graphical session and could not open one: "_s;
}

void TestShell::commandLine()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, display);
    QFETCH(int, exitCode);
    QFETCH(QString, shown);

    const Run run = runMirel(arguments, display);
    QCOMPARE(run.exitCode, exitCode);
    const QString &used = exitCode == 0 ? run.out : run.err;
    QVERIFY2((exitCode == 0 ? run.err : run.out).isEmpty(), qPrintable(run.err + run.out));
    if (shown.endsWith(u'\n'))
        QCOMPARE(used, shown);
    else
        QVERIFY2(used.contains(shown), qPrintable(used));
    if (exitCode != 0 && display.isEmpty())
        QVERIFY2(run.err.contains(u"Usage: "_s), qPrintable(run.err));
}

void TestShell::waylandRunsOnXcb_data()
{
    QTest::addColumn<QString>("wayland");
    QTest::addColumn<QString>("display");
    QTest::addColumn<QString>("platform");
    QTest::addColumn<QString>("argument");
    QTest::addColumn<bool>("xcb");
    QTest::newRow("Wayland with XWayland")
        << u"wayland-0"_s << u":0"_s << QString() << QString() << true;
    QTest::newRow("Wayland without XWayland")
        << u"wayland-0"_s << QString() << QString() << QString() << false;
    QTest::newRow("X11 alone") << QString() << u":0"_s << QString() << QString() << false;
    QTest::newRow("the user chose Wayland")
        << u"wayland-0"_s << u":0"_s << u"wayland"_s << QString() << false;
    QTest::newRow("the user chose it on the command line")
        << u"wayland-0"_s << u":0"_s << QString() << u"wayland"_s << false;
}

void TestShell::waylandRunsOnXcb()
{
    QFETCH(QString, wayland);
    QFETCH(QString, display);
    QFETCH(QString, platform);
    QFETCH(QString, argument);
    QFETCH(bool, xcb);
    // An empty value in the table: the variable is not set at all.
    const auto set = [](const QString &value) {
        return value.isEmpty() ? QByteArray() : value.toUtf8();
    };
    const ScopedEnvironment environment{{"WAYLAND_DISPLAY", set(wayland)},
                                        {"DISPLAY", set(display)},
                                        {"QT_QPA_PLATFORM", set(platform)},
                                        {"XDG_SESSION_TYPE", QByteArray()}};
    QCOMPARE(CommandLine::prefersXcb(argument), xcb);
}

void TestShell::versionLeavesTheRunningMirelAlone()
{
    // Mirel's own socket, in the runtime folder the program inherits, stands for the running
    // Mirel.
    QLocalServer first;
    QVERIFY(first.listen(SingleInstance::defaultName()));
    for (const QString &option : {u"--version"_s, u"--help"_s}) {
        QCOMPARE(runMirel({option}).exitCode, 0);
        bool timedOut = false;
        QVERIFY2(!first.waitForNewConnection(0, &timedOut), qPrintable(option));
    }
    // A plain second start does reach it, so the socket above is the one the program uses.
    QCOMPARE(runMirel({}).exitCode, 0);
    QVERIFY(first.waitForNewConnection(0));
}

QTEST_MAIN(TestShell)
#include "tst_Shell.moc"
