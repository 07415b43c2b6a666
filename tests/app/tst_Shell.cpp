#include "../TestHome.h"
#include "CountLabel.h"
#include "FinishedView.h"
#include "MenuBarView.h"
#include "MirelApp.h"
#include "PanelPlacement.h"
#include "SettingsView.h"
#include "SingleInstance.h"

#include <QPushButton>
#include <QSignalSpy>
#include <QSystemTrayIcon>
#include <QTest>
#include <QToolButton>
#include <QTranslator>

#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>

using namespace Qt::StringLiterals;

class TestShell final : public QObject
{
    Q_OBJECT

public:
    static void initMain()
    {
        useTemporarySettingsStore();
        QApplication::setQuitOnLastWindowClosed(false);
    }

private slots:
    void placement_data();
    void placement();
    void secondInstanceOpensTheFirst();
    void socketOfAnotherUserIsNotObeyed();
    void withoutTrayThePanelIsAWindow();
    void oneSettingsWindowOnTheSameState();
    void germanTranslation();
    void trayTellsTheCount();
    void welcomeOnlyOnTheFirstStart();
    void escapeKeepsTheWindowWithoutTray();
};

void TestShell::placement_data()
{
    QTest::addColumn<QRect>("icon");
    QTest::addColumn<QPoint>("pointer");
    QTest::addColumn<QPoint>("expected");

    const QPoint nowhere(0, 0);
    // Screen 1280 x 800 with a 24 px panel at the top: available from y = 24.
    QTest::newRow("under an icon at the top right")
        << QRect(1200, 0, 24, 24) << nowhere << QPoint(960, 28);
    QTest::newRow("under an icon in the middle")
        << QRect(600, 0, 24, 24) << nowhere << QPoint(451, 28);
    QTest::newRow("above an icon at the bottom")
        << QRect(600, 776, 24, 24) << nowhere << QPoint(451, 292);
    QTest::newRow("unknown icon: by the pointer") << QRect() << QPoint(100, 100) << QPoint(0, 104);
    QTest::newRow("unknown icon, pointer low: above it")
        << QRect() << QPoint(700, 700) << QPoint(540, 216);
}

void TestShell::placement()
{
    QFETCH(QRect, icon);
    QFETCH(QPoint, pointer);
    QFETCH(QPoint, expected);
    const QRect available(0, 24, 1280, 776);
    const QPoint topLeft = PanelPlacement::topLeft(QSize(320, 480), icon, pointer, available);
    QCOMPARE(topLeft, expected);
    QVERIFY(available.contains(QRect(topLeft, QSize(320, 480))));
}

void TestShell::secondInstanceOpensTheFirst()
{
    // The socket lives in the session's private runtime folder; the shared temporary
    // folder only serves a session without one.
    QTemporaryDir runtime;
    QVERIFY(runtime.isValid());
    const QByteArray oldRuntime = qgetenv("XDG_RUNTIME_DIR");
    const auto restore = qScopeGuard([&] { qputenv("XDG_RUNTIME_DIR", oldRuntime); });
    qunsetenv("XDG_RUNTIME_DIR");
    QCOMPARE(SingleInstance::defaultName(), u"mirel-"_s + QString::number(::getuid()));
    qputenv("XDG_RUNTIME_DIR", QFile::encodeName(runtime.path()));
    const QString name = SingleInstance::defaultName();
    QCOMPARE(name, runtime.path() + u"/mirel"_s);
    SingleInstance first(name);
    QVERIFY(first.becomePrimary());
    QSignalSpy opened(&first, &SingleInstance::openRequested);

    SingleInstance second(name);
    QVERIFY(!second.becomePrimary());
    QVERIFY(opened.wait(5000));
    QCOMPARE(QDir(runtime.path()).entryList(QDir::System | QDir::NoDotAndDotDot),
             QStringList{u"mirel"_s});
}

void TestShell::socketOfAnotherUserIsNotObeyed()
{
    if (::geteuid() != 0)
        QSKIP("Listening as another user needs root");
    QTemporaryDir shared;
    QVERIFY(shared.isValid());
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

void TestShell::withoutTrayThePanelIsAWindow()
{
    if (QSystemTrayIcon::isSystemTrayAvailable())
        QSKIP("This session has a system tray");
    TestHome home;
    QVERIFY(writeFile(home.folder(u"Downloads"_s) + u"/a.txt"_s));
    MirelApp mirel;

    QVERIFY(mirel.usesFallbackWindow());
    QVERIFY(mirel.panel()->isVisible());
    QCOMPARE(mirel.panel()->windowTitle(), u"Mirel"_s);
    QVERIFY(!(mirel.panel()->windowFlags() & Qt::FramelessWindowHint));
    QCOMPARE(mirel.appState().files().size(), 1);
}

void TestShell::oneSettingsWindowOnTheSameState()
{
    TestHome home;
    MirelApp mirel;
    QVERIFY(!mirel.settingsWindow()); // made on first use

    QTest::mouseClick(mirel.panel()->settingsButton(), Qt::LeftButton);
    SettingsView *settings = mirel.settingsWindow();
    QVERIFY(settings);
    QVERIFY(settings->isVisible());
    QCOMPARE(settings->windowTitle(), u"Settings"_s);

    settings->close();
    mirel.showSettings();
    QCOMPARE(mirel.settingsWindow(), settings);
    QVERIFY(settings->isVisible());

    // A switch turned off there is seen by the panel's next scan.
    QVERIFY(writeFile(home.folder(u"Desktop"_s) + u"/d.txt"_s));
    mirel.appState().setIncludeDesktop(false);
    mirel.panel()->hide();
    mirel.showPanel();
    QCOMPARE(mirel.appState().files().size(), 0);
    QVERIFY(mirel.panel()->isShowingFinishedState());
}

void TestShell::germanTranslation()
{
    TestHome home;
    QObject translations;
    QCOMPARE(
        MirelApp::installTranslations(QLocale(QLocale::German, QLocale::Germany), &translations)
            .size(),
        2);
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

void TestShell::trayTellsTheCount()
{
    TestHome home;
    const QString downloads = home.folder(u"Downloads"_s);
    QVERIFY(writeFile(downloads + u"/a.txt"_s));
    QVERIFY(writeFile(downloads + u"/b.txt"_s));
    MirelApp mirel;
    QCOMPARE(mirel.trayIcon()->toolTip(), u"Mirel: 2 files to review"_s);

    QVERIFY(writeFile(downloads + u"/c.txt"_s));
    mirel.appState().scanFolders();
    QCOMPARE(mirel.trayIcon()->toolTip(), u"Mirel: 3 files to review"_s);
}

void TestShell::welcomeOnlyOnTheFirstStart()
{
    TestHome home;
    QVERIFY(writeFile(home.folder(u"Downloads"_s) + u"/a.txt"_s));
    const QString settingsFile = TestHome::store().fileName();
    QFile::remove(settingsFile);
    QVERIFY(!QFileInfo::exists(settingsFile));
    {
        MirelApp first;
        QCOMPARE(first.welcomeMessage(), u"Mirel is in the system tray. Files to review: 1"_s);
    }
    QVERIFY(QFileInfo::exists(settingsFile));
    MirelApp again;
    QCOMPARE(again.welcomeMessage(), QString());
}

void TestShell::escapeKeepsTheWindowWithoutTray()
{
    if (QSystemTrayIcon::isSystemTrayAvailable())
        QSKIP("This session has a system tray");
    TestHome home;
    QVERIFY(writeFile(home.folder(u"Downloads"_s) + u"/a.txt"_s));
    MirelApp mirel;
    QVERIFY(mirel.panel()->isVisible());
    QSignalSpy dismissed(mirel.panel(), &MenuBarView::dismissRequested);
    QTest::keyClick(mirel.panel(), Qt::Key_Escape);
    QCOMPARE(dismissed.count(), 1);
    QVERIFY(mirel.panel()->isVisible());
}

QTEST_MAIN(TestShell)
#include "tst_Shell.moc"
