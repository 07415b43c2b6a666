// SPDX-License-Identifier: GPL-3.0-or-later
// How Mirel starts: its command line, the one running instance, the entry that starts it at
// login, and where the panel opens.
#include "CommandLine.h"
#include "MirelVersion.h"
#include "PanelPlacement.h"
#include "SingleInstance.h"
#include "StartAtLogin.h"
#include "TestHome.h"

#include <QLocalServer>
#include <QProcess>
#include <QTest>

#include <algorithm>

#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>

using namespace Qt::StringLiterals;

class TestStartUp final : public QObject
{
    Q_OBJECT

public:
    static void initMain()
    {
        useTemporaryHome();
        qputenv("DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent/mirel-test-bus");
    }

private slots:
    void placement_data();
    void placement();
    void trayCorner_data();
    void trayCorner();
    void withoutRuntimeFolder_data();
    void withoutRuntimeFolder();
    void socketOfAnotherUserIsNotObeyed();
    void startAtLoginEntryNamesTheProgram_data();
    void startAtLoginEntryNamesTheProgram();
    void commandLine_data();
    void commandLine();
    void waylandRunsOnXcb_data();
    void waylandRunsOnXcb();
    void versionLeavesTheRunningMirelAlone();
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

} // namespace

void TestStartUp::placement_data()
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
    QTest::newRow("a click seen on the icon wins over the pointer")
        << QRect(200, 10, 1, 1) << QPoint(1279, 24) << QPoint(40, 24);
}

void TestStartUp::placement()
{
    QFETCH(QRect, icon);
    QFETCH(QPoint, pointer);
    QFETCH(QPoint, expected);
    QCOMPARE(PanelPlacement::topLeft(QSize(320, 480), icon, pointer, QRect(0, 24, 1280, 776)),
             expected);
}

void TestStartUp::trayCorner_data()
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

void TestStartUp::trayCorner()
{
    QFETCH(QRect, available);
    QFETCH(QPoint, corner);
    QFETCH(QPoint, panel);
    const QRect screen(0, 0, 1280, 800);
    QCOMPARE(PanelPlacement::trayCorner(screen, available), corner);
    QCOMPARE(PanelPlacement::topLeft(QSize(320, 480), QRect(), corner, available), panel);
}

void TestStartUp::withoutRuntimeFolder_data()
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

void TestStartUp::withoutRuntimeFolder()
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

void TestStartUp::socketOfAnotherUserIsNotObeyed()
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

void TestStartUp::startAtLoginEntryNamesTheProgram_data()
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

void TestStartUp::startAtLoginEntryNamesTheProgram()
{
    QFETCH(QString, binary);
    QFETCH(QString, exec);
    QCOMPARE(StartAtLogin::execValue(StartAtLogin::programFor(binary)), exec);
}

void TestStartUp::commandLine_data()
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

void TestStartUp::commandLine()
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

void TestStartUp::waylandRunsOnXcb_data()
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

void TestStartUp::waylandRunsOnXcb()
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

void TestStartUp::versionLeavesTheRunningMirelAlone()
{
    // Mirel's own socket, in the private runtime folder the program inherits (never the shared
    // temporary folder), stands for the running Mirel.
    const QString name = SingleInstance::defaultName();
    QCOMPARE(name, qEnvironmentVariable("XDG_RUNTIME_DIR") + u"/mirel"_s);
    QLocalServer first;
    QVERIFY(first.listen(name));
    for (const QString &option : {u"--version"_s, u"--help"_s}) {
        QCOMPARE(runMirel({option}).exitCode, 0);
        bool timedOut = false;
        QVERIFY2(!first.waitForNewConnection(0, &timedOut), qPrintable(option));
    }
    // A plain second start does reach it, so the socket above is the one the program uses.
    QCOMPARE(runMirel({}).exitCode, 0);
    QVERIFY(first.waitForNewConnection(0));
}

QTEST_MAIN(TestStartUp)
#include "tst_StartUp.moc"
