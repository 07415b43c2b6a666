// SPDX-License-Identifier: GPL-3.0-or-later
#include "AppState.h"
#include "FileSystem.h"
#include "PathCodec.h"
#include "TestHome.h"
#include "Trash.h"

#include <QSignalSpy>
#include <QTest>

#include <sys/mount.h>

#include <cerrno>
#include <cstring>
#include <ctime>

using namespace Qt::StringLiterals;

namespace {

QByteArray uid()
{
    return QByteArray::number(::getuid());
}

// A value of the info file, percent-decoded as a file manager's Restore reads it.
QByteArray infoValue(const QByteArray &infoFile, const QByteArray &key)
{
    for (const QByteArray &line : readFile(infoFile).split('\n')) {
        if (line.startsWith(QByteArray(key + '=')))
            return QByteArray::fromPercentEncoding(line.sliced(key.size() + 1));
    }
    return {};
}

} // namespace

class TestTrash final : public QObject
{
    Q_OBJECT

public:
    static void initMain()
    {
        useTemporaryHome();
        // DeletionDate is local time: in UTC a date written in UTC would pass unnoticed.
        qputenv("TZ", "MST-5:45");
        ::tzset();
    }

private slots:
    void infoContents();
    void homeTrash_data();
    void homeTrash();
    void otherMount_data();
    void otherMount();
    void homeTrashUnusable();
    void bindMountedFolder();
    void mountPoints();
};

void TestTrash::infoContents()
{
    QVERIFY2(QDateTime::currentDateTime().offsetFromUtc() == 5 * 3600 + 45 * 60,
             "the trash tests must run in a time zone other than UTC");
    const QDateTime when(QDate(2026, 12, 6), QTime(9, 5, 3));
    QCOMPARE(Trash::infoContents("/x/50% off #1 a=b\nc", when),
             QByteArray("[Trash Info]\nPath=/x/50%25%20off%20%231%20a%3Db%0Ac\n"
                        "DeletionDate=2026-12-06T09:05:03\n"));
}

void TestTrash::homeTrash_data()
{
    QTest::addColumn<QByteArray>("name");
    QTest::addColumn<QByteArray>("entry"); // the name in files/; empty: the same
    QTest::addColumn<QString>("setUp");
    QTest::newRow("non-utf-8") << QByteArray("caf\xe9.txt") << QByteArray() << QString();
    // 254 bytes: ".trashinfo" leaves room for 245, which would end inside a character.
    QTest::newRow("long name, cut between characters")
        << QString(125, u'ü').append(u".txt"_s).toUtf8() << QString(122, u'ü').toUtf8()
        << QString();
    // Four-byte characters: 248 bytes of emoji; the cut at 245 falls inside the last.
    QTest::newRow("long emoji name, cut between characters")
        << QString(62, u'x').replace(u"x"_s, u"\U0001F600"_s).append(u".txt"_s).toUtf8()
        << QString(61, u'x').replace(u"x"_s, u"\U0001F600"_s).toUtf8() << QString();
    // A link goes to the Trash as the link; the file it points to stays.
    QTest::newRow("a link") << QByteArray("link") << QByteArray() << u"link"_s;
    // The Trash then goes under ~/.local/share, made on the way; nothing in the working folder.
    QTest::newRow("no XDG_DATA_HOME, no ~/.local")
        << QByteArray("a.txt") << QByteArray() << u"no data home"_s;
    // Neither an entry of the same name nor a stray one without its info file is replaced.
    QTest::newRow("name taken in the Trash")
        << QByteArray("a.txt") << QByteArray("a.txt.3") << u"taken"_s;
}

void TestTrash::homeTrash()
{
    QFETCH(QByteArray, name);
    QFETCH(QByteArray, entry);
    QFETCH(QString, setUp);
    if (entry.isEmpty())
        entry = name;
    TestHome home;
    if (setUp == u"no data home"_s)
        qunsetenv("XDG_DATA_HOME");
    const QByteArray file = QFile::encodeName(home.folder(u"Downloads"_s)) + '/' + name;
    const QByteArray trash = QFile::encodeName(home.path(u".local/share/Trash"_s));
    if (setUp == u"taken"_s) {
        QVERIFY(writeFile(file, "first"));
        QVERIFY(FileSystem::standard().moveToTrash(PathCodec::decode(file)).ok());
        QVERIFY(writeFile(QByteArray(trash + "/files/a.txt.2"), "stray"));
    }
    const QByteArray target =
        setUp == u"link"_s ? QFile::encodeName(home.path(u"target"_s)) : QByteArray();
    QVERIFY(writeFile(target.isEmpty() ? file : target, "precious"));
    QVERIFY(target.isEmpty() || ::symlink(target.constData(), file.constData()) == 0);
    AppState state;
    QCOMPARE(QFileInfo::exists(home.path(u".local"_s)), setUp == u"taken"_s);
    const QDateTime before = QDateTime::currentDateTime().addSecs(-1);

    state.deleteCurrentFile();

    QVERIFY(home.lines().filter(u"Failed"_s).isEmpty());
    QVERIFY(!existsNoFollow(file));
    QVERIFY(!existsNoFollow(QFile::encodeName(QDir::currentPath()) + '/' + name));
    QCOMPARE(QFileInfo(QFile::decodeName(trash)).permissions() & 0x0077, 0);
    QCOMPARE(QFileInfo(PathCodec::decode(QByteArray(trash + "/files/" + entry))).symLinkTarget(),
             QFile::decodeName(target));
    const QByteArray info = trash + "/info/" + entry + ".trashinfo";
    QCOMPARE(infoValue(info, "Path"), file);
    const QByteArray date = infoValue(info, "DeletionDate");
    const QDateTime deleted = QDateTime::fromString(QString::fromLatin1(date), Qt::ISODate);
    QVERIFY2(deleted >= before.addSecs(-1) && deleted <= QDateTime::currentDateTime(),
             date.constData());

    if (setUp == u"taken"_s) {
        QCOMPARE(readFile(QByteArray(trash + "/files/a.txt")), QByteArray("first"));
        QCOMPARE(readFile(QByteArray(trash + "/files/a.txt.2")), QByteArray("stray"));
        QCOMPARE(namesIn(QFile::decodeName(trash + "/info")),
                 (QStringList{u"a.txt.3.trashinfo"_s, u"a.txt.trashinfo"_s}));
    }
    QCOMPARE(readFile(QByteArray(trash + "/files/" + entry)), QByteArray("precious"));
}

void TestTrash::otherMount_data()
{
    QTest::addColumn<QString>("setUp");
    QTest::addColumn<QString>("usedRoot"); // relative to /dev/shm; empty: none may be used

    const QString own = u".Trash-"_s + QString::fromLatin1(uid());
    QTest::newRow("no trash folder yet") << u"none"_s << own;
    QTest::newRow("shared folder owned by another user") << u"foreign .Trash"_s << own;
    // Whoever owns the user's own trash folder could read or swap everything put there.
    QTest::newRow("own folder owned by another user") << u"foreign own"_s << QString();
    QTest::newRow("own folder is a link") << u"linked uid folder"_s << own;
    QTest::newRow("own folder swapped for a link after the check")
        << u"swap after check"_s << u".Trash/checked"_s;
    // A link where the own trash folder belongs is not followed, and a shared .Trash without
    // the sticky bit is not used.
    QTest::newRow("no usable trash") << u"unusable"_s << QString();
}

void TestTrash::otherMount()
{
    QFETCH(QString, setUp);
    QFETCH(QString, usedRoot);
    TestHome home;
    if (!onAnotherFileSystem(home.path(), u"/dev/shm"_s) ||
        Trash::mountPointOf("/dev/shm") != "/dev/shm")
        QSKIP("/dev/shm is not a separate mount here");
    const QByteArray ownTrash = "/dev/shm/.Trash-" + uid();
    const QByteArray shared = "/dev/shm/.Trash";
    if (existsNoFollow(ownTrash) || existsNoFollow(shared))
        QSKIP("/dev/shm already has a trash folder, which this test must not touch");
    QTemporaryDir folder(u"/dev/shm/mirel-trash-test-XXXXXX"_s);
    QTemporaryDir attacker(u"/dev/shm/mirel-attacker-XXXXXX"_s);
    QVERIFY(folder.isValid() && attacker.isValid());
    const auto cleanup = qScopeGuard([&] {
        Trash::setCheckedHook({});
        TestHome::removeTree(ownTrash);
        TestHome::removeTree(shared);
        TestHome::removeTree(QFile::encodeName(folder.path()));
    });
    // An administrator's shared trash, and the user's folder in it.
    const QByteArray uidFolder = shared + '/' + uid();
    const QByteArray attackerPath = QFile::encodeName(attacker.path());
    if (setUp == u"unusable"_s) {
        QCOMPARE(::symlink(attackerPath.constData(), ownTrash.constData()), 0);
        QCOMPARE(::mkdir(shared.constData(), 0755), 0);
    } else if (setUp != u"none"_s && setUp != u"foreign own"_s) {
        QCOMPARE(::mkdir(shared.constData(), 01777), 0);
        QCOMPARE(::chmod(shared.constData(), 01777), 0);
    }
    if (setUp == u"foreign .Trash"_s) {
        QCOMPARE(::mkdir(uidFolder.constData(), 0700), 0);
        if (::chown(shared.constData(), 65534, 65534) != 0)
            QSKIP("Handing a folder to another user needs root");
    } else if (setUp == u"foreign own"_s) {
        QCOMPARE(::mkdir(ownTrash.constData(), 0700), 0);
        if (::chown(ownTrash.constData(), 65534, 65534) != 0)
            QSKIP("Handing a folder to another user needs root");
    } else if (setUp == u"linked uid folder"_s) {
        QCOMPARE(::symlink(attackerPath.constData(), uidFolder.constData()), 0);
    } else if (setUp == u"swap after check"_s) {
        QCOMPARE(::mkdir(uidFolder.constData(), 0700), 0);
        Trash::setCheckedHook([&] {
            ::rename(uidFolder.constData(), QByteArray(shared + "/checked").constData());
            ::symlink(attackerPath.constData(), uidFolder.constData());
        });
    }
    const QByteArray name = "m\xfcll.txt";
    const QByteArray file = QFile::encodeName(folder.path()) + '/' + name;
    QVERIFY(writeFile(file, "secret"));

    const FileResult result = FileSystem::standard().moveToTrash(PathCodec::decode(file));

    QCOMPARE(namesIn(attacker.path()), QStringList());
    QVERIFY(!QFileInfo::exists(home.path(u".local/share/Trash/files"_s)) ||
            namesIn(home.path(u".local/share/Trash/files"_s)).isEmpty());
    if (usedRoot.isEmpty()) {
        QVERIFY(!result.ok());
        QVERIFY2(result.message.startsWith(u"\""_s + PathCodec::decode(name) +
                                           u"\" could not be moved to the Trash: there is no "
                                           u"Trash on the drive that holds it (/dev/shm)"_s),
                 qPrintable(result.message));
        QCOMPARE(readFile(file), QByteArray("secret"));
        QCOMPARE(namesIn(QString::fromLatin1(shared)), QStringList());
        if (setUp == u"foreign own"_s)
            QCOMPARE(namesIn(QString::fromLatin1(ownTrash)), QStringList());
    } else {
        QVERIFY2(result.ok(), qPrintable(result.message));
        if (setUp == u"foreign .Trash"_s)
            QCOMPARE(namesIn(QString::fromLatin1(uidFolder)), QStringList());
        // On a mount's own trash the path is relative to the mount's top folder.
        const QByteArray root = "/dev/shm/" + QFile::encodeName(usedRoot);
        QCOMPARE(infoValue(root + "/info/" + name + ".trashinfo", "Path"),
                 file.sliced(qsizetype(sizeof("/dev/shm/") - 1)));
        QVERIFY(!existsNoFollow(file));
        QCOMPARE(readFile(QByteArray(root + "/files/" + name)), QByteArray("secret"));
    }
}

void TestTrash::homeTrashUnusable()
{
    TestHome home;
    const QString file = home.folder(u"Desktop"_s) + u"/a.txt"_s;
    QVERIFY(writeFile(file, "stays"));
    QVERIFY(QFile::link(home.folder(u"elsewhere"_s), home.folder(u".local/share"_s) + u"/Trash"_s));
    // The home drive's top folder may be the root of the system: nothing may land there.
    const QByteArray rootTrash = "/.Trash-" + uid();
    const bool rootTrashExisted = existsNoFollow(rootTrash);
    const auto cleanup = qScopeGuard([&] {
        if (!rootTrashExisted)
            TestHome::removeTree(rootTrash);
    });

    const FileResult result = FileSystem::standard().moveToTrash(file);

    QVERIFY(!result.ok());
    QVERIFY2(result.message.startsWith(u"\"a.txt\" could not be moved to the Trash: the Trash "
                                       u"in the home folder cannot be used: "_s),
             qPrintable(result.message));
    QCOMPARE(readFile(file), QByteArray("stays"));
    QCOMPARE(existsNoFollow(rootTrash), rootTrashExisted);
    QVERIFY(namesIn(home.path(u"elsewhere"_s)).isEmpty());
}

void TestTrash::bindMountedFolder()
{
    TestHome home;
    const QByteArray desktop = QFile::encodeName(home.folder(u"Desktop"_s));
    const QByteArray synced = QFile::encodeName(home.folder(u"synced"_s));
    // A folder of the home drive mounted onto Desktop, as sync and sharing set-ups do.
    if (::mount(synced.constData(), desktop.constData(), nullptr, MS_BIND, nullptr) != 0) {
        QSKIP(qPrintable(
            u"a bind mount is not permitted here (%1); run as root to test "
            "Delete on a bind-mounted folder"_s.arg(QString::fromLocal8Bit(std::strerror(errno)))));
    }
    const auto unmount = qScopeGuard([&] { ::umount2(desktop.constData(), MNT_DETACH); });
    QCOMPARE(Trash::mountPointOf(desktop), desktop);
    const QByteArray file = desktop + "/a.txt";
    QVERIFY(writeFile(file, "precious"));
    AppState state;

    state.deleteCurrentFile();

    QVERIFY2(home.lines().filter(u"Failed"_s).isEmpty(), qPrintable(home.lines().join(u'\n')));
    QVERIFY(!existsNoFollow(file));
    // The mount's own trash, with the path relative to the mount's top folder.
    const QByteArray trash = desktop + "/.Trash-" + uid();
    QCOMPARE(readFile(QByteArray(trash + "/files/a.txt")), QByteArray("precious"));
    QCOMPARE(infoValue(trash + "/info/a.txt.trashinfo", "Path"), QByteArray("a.txt"));
    QVERIFY(!existsNoFollow(QFile::encodeName(home.path(u".local/share/Trash/files/a.txt"_s))));

    home.lines().clear();
    QSignalSpy finished(&state, &AppState::undoFinished);
    state.undoLastDecision();

    QVERIFY(finished.wait());
    QVERIFY(home.lines().filter(u"Failed"_s).isEmpty());
    QCOMPARE(readFile(file), QByteArray("precious"));
    QCOMPARE(namesIn(QFile::decodeName(trash + "/info")), QStringList());
}

void TestTrash::mountPoints()
{
    QCOMPARE(Trash::mountPointOf("/"), QByteArray("/"));
    QCOMPARE(Trash::mountPointOf("/proc/self"), QByteArray("/proc"));
    QVERIFY(Trash::mountPointOf("/dev/shmx") != "/dev/shm");
}

QTEST_GUILESS_MAIN(TestTrash)
#include "tst_Trash.moc"
