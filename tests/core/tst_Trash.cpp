// SPDX-License-Identifier: GPL-3.0-or-later
#include "AppState.h"
#include "FileSystem.h"
#include "PathCodec.h"
#include "TestHome.h"
#include "Trash.h"

#include <QTest>

using namespace Qt::StringLiterals;

namespace {

QByteArray uid()
{
    return QByteArray::number(::getuid());
}

// What a file manager's Restore does with an entry: read Path= and DeletionDate= from the
// info file and move the item back to where it was.
struct TrashEntry
{
    QByteArray path;
    QByteArray deletionDate;
};

TrashEntry readInfo(const QByteArray &infoFile)
{
    TrashEntry entry;
    QFile file;
    const int fd = ::open(infoFile.constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0 || !file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle))
        return entry;
    for (const QByteArray &line : file.readAll().split('\n')) {
        if (line.startsWith("Path="))
            entry.path = QByteArray::fromPercentEncoding(line.sliced(5));
        else if (line.startsWith("DeletionDate="))
            entry.deletionDate = line.sliced(13);
    }
    return entry;
}

bool restore(const QByteArray &trashRoot, const QByteArray &name, const QByteArray &topDir)
{
    const TrashEntry entry = readInfo(trashRoot + "/info/" + name + ".trashinfo");
    const QByteArray original = entry.path.startsWith('/') ? entry.path : topDir + '/' + entry.path;
    return !entry.path.isEmpty() &&
           ::rename(QByteArray(trashRoot + "/files/" + name).constData(), original.constData()) ==
               0 &&
           ::unlink(QByteArray(trashRoot + "/info/" + name + ".trashinfo").constData()) == 0;
}

bool shmIsItsOwnMount(const TestHome &home)
{
    return onAnotherFileSystem(home.path(), u"/dev/shm"_s) &&
           Trash::mountPointOf("/dev/shm") == "/dev/shm";
}

QStringList entries(const QString &folder)
{
    return QDir(folder).entryList(
        QDir::AllEntries | QDir::System | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name);
}

} // namespace

class TestTrash final : public QObject
{
    Q_OBJECT

public:
    static void initMain() { useTemporaryHome(); }

private slots:
    void infoContents_data();
    void infoContents();
    void homeTrashAndRestore_data();
    void homeTrashAndRestore();
    void missingDataFolderIsCreated();
    void sameNameTwice();
    void symbolicLinkIsTrashedAsLink();
    void otherMount();
    void mountWithoutUsableTrash();
    void homeTrashUnusable_data();
    void homeTrashUnusable();
    void sharedTrashIsChecked_data();
    void sharedTrashIsChecked();
    void mountPoints();
};

void TestTrash::infoContents_data()
{
    QTest::addColumn<QByteArray>("path");
    QTest::addColumn<QByteArray>("expected");

    const QByteArray date = "\nDeletionDate=2026-12-06T09:05:03\n";
    QTest::newRow("plain") << QByteArray("/home/a/file.txt")
                           << "[Trash Info]\nPath=/home/a/file.txt" + date;
    QTest::newRow("space and percent")
        << QByteArray("/home/a/50% off.pdf") << "[Trash Info]\nPath=/home/a/50%25%20off.pdf" + date;
    QTest::newRow("newline and equals")
        << QByteArray("/x/a=b\nc") << "[Trash Info]\nPath=/x/a%3Db%0Ac" + date;
    QTest::newRow("utf-8") << QByteArray("/x/caf\xc3\xa9")
                           << "[Trash Info]\nPath=/x/caf%C3%A9" + date;
    QTest::newRow("non-utf-8 byte")
        << QByteArray("/x/caf\xe9") << "[Trash Info]\nPath=/x/caf%E9" + date;
    QTest::newRow("relative") << QByteArray("photos/a.png")
                              << "[Trash Info]\nPath=photos/a.png" + date;
}

void TestTrash::infoContents()
{
    QFETCH(QByteArray, path);
    QFETCH(QByteArray, expected);
    const QDateTime when(QDate(2026, 12, 6), QTime(9, 5, 3));
    QCOMPARE(Trash::infoContents(path, when), expected);
}

void TestTrash::homeTrashAndRestore_data()
{
    QTest::addColumn<QByteArray>("name");
    QTest::addColumn<QByteArray>("entry"); // the name in files/; empty: the same
    QTest::newRow("plain") << QByteArray("report.pdf") << QByteArray();
    QTest::newRow("spaces and hash") << QByteArray("my #1 report.pdf") << QByteArray();
    QTest::newRow("non-utf-8") << QByteArray("caf\xe9.txt") << QByteArray();
    // 254 bytes: ".trashinfo" leaves room for 245, which would end inside a character.
    QTest::newRow("long name, cut between characters")
        << QString(125, u'ü').append(u".txt"_s).toUtf8() << QString(122, u'ü').toUtf8();
}

void TestTrash::homeTrashAndRestore()
{
    QFETCH(QByteArray, name);
    QFETCH(QByteArray, entry);
    if (entry.isEmpty())
        entry = name;
    TestHome home;
    const QByteArray downloads = QFile::encodeName(home.folder(u"Downloads"_s));
    const QByteArray file = downloads + '/' + name;
    QVERIFY(writeFile(file, "precious"));
    AppState state;
    QCOMPARE(state.files().size(), 1);
    const QDateTime before = QDateTime::currentDateTime().addSecs(-1);

    state.deleteCurrentFile();

    QVERIFY(state.files().isEmpty());
    QVERIFY(home.lines().filter(u"Failed"_s).isEmpty());
    QVERIFY(!existsNoFollow(file));
    const QByteArray trash = QFile::encodeName(home.path(u".local/share/Trash"_s));
    QVERIFY(existsNoFollow(trash + "/files/" + entry));
    const TrashEntry info = readInfo(trash + "/info/" + entry + ".trashinfo");
    QCOMPARE(info.path, file);
    const QDateTime deleted =
        QDateTime::fromString(QString::fromLatin1(info.deletionDate), Qt::ISODate);
    QVERIFY2(deleted >= before.addSecs(-1) && deleted <= QDateTime::currentDateTime(),
             info.deletionDate.constData());

    QVERIFY(restore(trash, entry, {}));
    QCOMPARE(readFile(file), QByteArray("precious"));
}

void TestTrash::missingDataFolderIsCreated()
{
    TestHome home;
    qunsetenv("XDG_DATA_HOME");
    const QString file = home.folder(u"Desktop"_s) + u"/a.txt"_s;
    QVERIFY(writeFile(file, "a"));
    QVERIFY(!QFileInfo::exists(home.path(u".local"_s)));

    const FileResult result = FileSystem::standard().moveToTrash(file);

    QVERIFY2(result.ok(), qPrintable(result.message));
    QCOMPARE(readFile(home.path(u".local/share/Trash/files/a.txt"_s)), QByteArray("a"));
    QVERIFY(QFileInfo::exists(home.path(u".local/share/Trash/info/a.txt.trashinfo"_s)));
    QCOMPARE(QFileInfo(home.path(u".local/share/Trash"_s)).permissions() & 0x0077, 0);
    // Nothing lands in the working directory.
    QVERIFY(!QFileInfo::exists(QDir::currentPath() + u"/a.txt"_s));
}

void TestTrash::sameNameTwice()
{
    TestHome home;
    const QString file = home.folder(u"Desktop"_s) + u"/a.txt"_s;
    QVERIFY(writeFile(file, "first"));
    QVERIFY(FileSystem::standard().moveToTrash(file).ok());
    QVERIFY(writeFile(file, "second"));
    // A stray entry in files/ without its info file must not be replaced either.
    QVERIFY(writeFile(home.path(u".local/share/Trash/files/a.txt.2"_s), "stray"));

    QVERIFY(FileSystem::standard().moveToTrash(file).ok());

    const QString trash = home.path(u".local/share/Trash"_s);
    QCOMPARE(readFile(trash + u"/files/a.txt"_s), QByteArray("first"));
    QCOMPARE(readFile(trash + u"/files/a.txt.2"_s), QByteArray("stray"));
    QCOMPARE(readFile(trash + u"/files/a.txt.3"_s), QByteArray("second"));
    QCOMPARE(entries(trash + u"/info"_s),
             (QStringList{u"a.txt.3.trashinfo"_s, u"a.txt.trashinfo"_s}));
}

void TestTrash::symbolicLinkIsTrashedAsLink()
{
    TestHome home;
    const QString target = home.path(u"target.txt"_s);
    QVERIFY(writeFile(target, "target"));
    const QString link = home.folder(u"Desktop"_s) + u"/link"_s;
    QVERIFY(QFile::link(target, link));

    QVERIFY(FileSystem::standard().moveToTrash(link).ok());

    QCOMPARE(QFileInfo(home.path(u".local/share/Trash/files/link"_s)).symLinkTarget(), target);
    QCOMPARE(readFile(target), QByteArray("target"));
}

void TestTrash::otherMount()
{
    TestHome home;
    if (!shmIsItsOwnMount(home))
        QSKIP("/dev/shm is not a separate mount here");
    QTemporaryDir folder(u"/dev/shm/mirel-trash-test-XXXXXX"_s);
    QVERIFY(folder.isValid());
    const QByteArray trashRoot = "/dev/shm/.Trash-" + uid();
    const bool trashExisted = existsNoFollow(trashRoot);
    const auto cleanup = qScopeGuard([&] {
        if (!trashExisted)
            TestHome::removeTree(trashRoot);
        TestHome::removeTree(QFile::encodeName(folder.path()));
    });
    const QByteArray name = "m\xfcll " + QFile::encodeName(QFileInfo(folder.path()).fileName());
    const QByteArray file = QFile::encodeName(folder.path()) + '/' + name;
    QVERIFY(writeFile(file, "on another drive"));

    const FileResult result = FileSystem::standard().moveToTrash(PathCodec::decode(file));

    QVERIFY2(result.ok(), qPrintable(result.message));
    const TrashEntry entry = readInfo(trashRoot + "/info/" + name + ".trashinfo");
    // On a mount's own trash the path is relative to the mount's top folder.
    QCOMPARE(entry.path, file.sliced(qsizetype(sizeof("/dev/shm/") - 1)));
    QVERIFY(!QFileInfo::exists(home.path(u".local/share/Trash/files"_s)) ||
            entries(home.path(u".local/share/Trash/files"_s)).isEmpty());
    QVERIFY(restore(trashRoot, name, "/dev/shm"));
    QCOMPARE(readFile(file), QByteArray("on another drive"));
}

void TestTrash::mountWithoutUsableTrash()
{
    TestHome home;
    if (!shmIsItsOwnMount(home))
        QSKIP("/dev/shm is not a separate mount here");
    const QByteArray trashRoot = "/dev/shm/.Trash-" + uid();
    if (existsNoFollow(trashRoot) || existsNoFollow("/dev/shm/.Trash"))
        QSKIP("/dev/shm already has a trash folder, which this test must not touch");
    QTemporaryDir folder(u"/dev/shm/mirel-trash-test-XXXXXX"_s);
    QVERIFY(folder.isValid());
    const QString file = folder.path() + u"/kept-safe.txt"_s;
    QVERIFY(writeFile(file, "still here"));
    // A link where the trash folder belongs must not be followed, and a shared .Trash
    // without the sticky bit must not be used.
    QVERIFY(QFile::link(folder.path(), QString::fromUtf8(trashRoot)));
    QVERIFY(QDir().mkdir(u"/dev/shm/.Trash"_s));
    const auto cleanup = qScopeGuard([&] {
        ::unlink(trashRoot.constData());
        QDir(u"/dev/shm/.Trash"_s).removeRecursively();
    });

    const FileResult result = FileSystem::standard().moveToTrash(file);

    QVERIFY(!result.ok());
    QVERIFY2(
        result.message.startsWith(u"\"kept-safe.txt\" could not be moved to the Trash: "
                                  u"there is no Trash on the drive that holds it (/dev/shm)"_s),
        qPrintable(result.message));
    QCOMPARE(readFile(file), QByteArray("still here"));
    QCOMPARE(entries(folder.path()), QStringList{u"kept-safe.txt"_s});
    QVERIFY(entries(u"/dev/shm/.Trash"_s).isEmpty());
}

void TestTrash::homeTrashUnusable_data()
{
    QTest::addColumn<bool>("link");
    QTest::newRow("a file where the Trash belongs") << false;
    QTest::newRow("a link where the Trash belongs") << true;
}

void TestTrash::homeTrashUnusable()
{
    QFETCH(bool, link);
    TestHome home;
    const QString file = home.folder(u"Desktop"_s) + u"/a.txt"_s;
    QVERIFY(writeFile(file, "stays"));
    const QString trash = home.folder(u".local/share"_s) + u"/Trash"_s;
    if (link)
        QVERIFY(QFile::link(home.folder(u"elsewhere"_s), trash));
    else
        QVERIFY(writeFile(trash, "not a folder"));
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
    QVERIFY(entries(home.path(u"elsewhere"_s)).isEmpty());
}

void TestTrash::sharedTrashIsChecked_data()
{
    QTest::addColumn<QString>("attack");
    QTest::addColumn<QString>("usedRoot"); // relative to /dev/shm

    const QString own = u".Trash-"_s + QString::fromLatin1(uid());
    QTest::newRow("shared folder owned by another user") << u"foreign .Trash"_s << own;
    QTest::newRow("own folder is a link") << u"linked uid folder"_s << own;
    QTest::newRow("own folder swapped for a link after the check")
        << u"swap after check"_s << u".Trash/checked"_s;
}

void TestTrash::sharedTrashIsChecked()
{
    QFETCH(QString, attack);
    QFETCH(QString, usedRoot);
    TestHome home;
    if (!shmIsItsOwnMount(home))
        QSKIP("/dev/shm is not a separate mount here");
    const QByteArray ownTrash = "/dev/shm/.Trash-" + uid();
    if (existsNoFollow(ownTrash) || existsNoFollow("/dev/shm/.Trash"))
        QSKIP("/dev/shm already has a trash folder, which this test must not touch");
    QTemporaryDir folder(u"/dev/shm/mirel-trash-test-XXXXXX"_s);
    QTemporaryDir attacker(u"/dev/shm/mirel-attacker-XXXXXX"_s);
    QVERIFY(folder.isValid() && attacker.isValid());
    const auto cleanup = qScopeGuard([&] {
        Trash::setCheckedHook({});
        TestHome::removeTree(ownTrash);
        TestHome::removeTree("/dev/shm/.Trash");
    });
    // An administrator's shared trash, and the user's folder in it.
    const QByteArray shared = "/dev/shm/.Trash";
    const QByteArray uidFolder = shared + '/' + uid();
    QCOMPARE(::mkdir(shared.constData(), 01777), 0);
    QCOMPARE(::chmod(shared.constData(), 01777), 0);
    const QByteArray attackerPath = QFile::encodeName(attacker.path());
    if (attack == u"foreign .Trash"_s) {
        QCOMPARE(::mkdir(uidFolder.constData(), 0700), 0);
        if (::chown(shared.constData(), 65534, 65534) != 0)
            QSKIP("Handing a folder to another user needs root");
    } else if (attack == u"linked uid folder"_s) {
        QCOMPARE(::symlink(attackerPath.constData(), uidFolder.constData()), 0);
    } else {
        QCOMPARE(::mkdir(uidFolder.constData(), 0700), 0);
        Trash::setCheckedHook([&] {
            ::rename(uidFolder.constData(), QByteArray(shared + "/checked").constData());
            ::symlink(attackerPath.constData(), uidFolder.constData());
        });
    }
    const QString file = folder.path() + u"/secret.txt"_s;
    QVERIFY(writeFile(file, "secret"));

    const FileResult result = FileSystem::standard().moveToTrash(file);

    QVERIFY2(result.ok(), qPrintable(result.message));
    const QByteArray root = "/dev/shm/" + QFile::encodeName(usedRoot);
    QCOMPARE(readFile(root + "/files/secret.txt"), QByteArray("secret"));
    QCOMPARE(readInfo(root + "/info/secret.txt.trashinfo").path,
             QFile::encodeName(file).sliced(qsizetype(sizeof("/dev/shm/") - 1)));
    QCOMPARE(entries(attacker.path()), QStringList());
    if (attack == u"foreign .Trash"_s)
        QCOMPARE(entries(QString::fromLatin1(uidFolder)), QStringList());
}

void TestTrash::mountPoints()
{
    QCOMPARE(Trash::mountPointOf("/"), QByteArray("/"));
    QCOMPARE(Trash::mountPointOf("/proc/self"), QByteArray("/proc"));
    QVERIFY(Trash::mountPointOf("/dev/shmx") != "/dev/shm");
}

QTEST_GUILESS_MAIN(TestTrash)
#include "tst_Trash.moc"
