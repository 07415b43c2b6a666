// SPDX-License-Identifier: GPL-3.0-or-later
#include "AppState.h"
#include "FileSystem.h"
#include "NoReplaceMove.h"
#include "PathCodec.h"
#include "PosixPaths.h"
#include "TestHome.h"
#include "Trash.h"

#include <QLocale>
#include <QMap>
#include <QSignalSpy>
#include <QTest>

#include <sys/file.h>

using namespace Qt::StringLiterals;

namespace {

// Another program takes the chosen name between Mirel's check and its move.
class RacingWriter final : public FileSystem
{
public:
    FileResult moveWithoutReplacing(const QString &from, const QString &to,
                                    const FileIdentity &expected,
                                    const CopyControl *control) const override
    {
        if (races-- > 0)
            writeFile(to, "already there");
        return FileSystem::moveWithoutReplacing(from, to, expected, control);
    }
    mutable int races = 0;
};

} // namespace

class TestKeep final : public TemporaryHomeSuite
{
    Q_OBJECT

private slots:
    void init() { QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates)); }
    void cleanup() { QLocale::setDefault(QLocale::system()); }
    void clashNames_data();
    void clashNames();
    void firstKeepOfAMonth_data();
    void firstKeepOfAMonth();
    void removalRule_data();
    void removalRule();
    void noCurrentFile();
    void undo_data();
    void undo();
    void stalePartialCopies();
};

void TestKeep::clashNames_data()
{
    QTest::addColumn<QString>("name"); // "@link": a link to a file elsewhere
    QTest::addColumn<QStringList>("existing");
    QTest::addColumn<QString>("keptAs");

    QTest::newRow("gap is used") << u"a.txt"_s << QStringList{u"a.txt"_s, u"a (2).txt"_s}
                                 << u"a (1).txt"_s;
    QTest::newRow("dangling link is taken")
        << u"x.pdf"_s << QStringList{u"x.pdf@link"_s} << u"x (1).pdf"_s;
    // "@race": another program takes the name between Mirel's check and its move.
    QTest::newRow("taken meanwhile")
        << u"report.pdf"_s << QStringList{u"report.pdf@race"_s, u"report (1).pdf@race"_s}
        << u"report (2).pdf"_s;
    QTest::newRow("non-UTF-8 name") << PathCodec::decode("r\xe9sum\xe9.txt")
                                    << QStringList{PathCodec::decode("r\xe9sum\xe9.txt")}
                                    << PathCodec::decode("r\xe9sum\xe9 (1).txt");
    QTest::newRow("a link is kept as the link")
        << u"link.txt@link"_s << QStringList() << u"link.txt"_s;
}

void TestKeep::clashNames()
{
    QFETCH(QString, name);
    QFETCH(QStringList, existing);
    QFETCH(QString, keptAs);

    TestHome home;
    const QString source = home.folder(u"Downloads"_s) + u'/' + name.section(u'@', 0, 0);
    const QString target = name.endsWith(u"@link"_s) ? home.path(u"target"_s) : QString();
    QVERIFY(writeFile(target.isEmpty() ? source : target, "the kept one"));
    QVERIFY(target.isEmpty() || QFile::link(target, source));
    const QString month = home.folder(u"Documents/Kept/2026/December"_s);
    RacingWriter fileSystem;
    for (const QString &taken : existing) {
        if (taken.endsWith(u"@link"_s))
            QVERIFY(QFile::link(u"/nonexistent"_s, month + u'/' + taken.chopped(5)));
        else if (taken.endsWith(u"@race"_s))
            ++fileSystem.races;
        else
            QVERIFY(writeFile(month + u'/' + taken, "already there"));
    }
    AppState state(fileSystem);
    state.setClock([] { return fixedNow; });

    state.keepCurrentFile();

    QCOMPARE(readFile(month + u'/' + keptAs), QByteArray("the kept one"));
    QCOMPARE(QFileInfo(month + u'/' + keptAs).symLinkTarget(), target);
    for (const QString &taken : existing) {
        if (!taken.endsWith(u"@link"_s))
            QCOMPARE(readFile(month + u'/' + taken.section(u'@', 0, 0)),
                     QByteArray("already there"));
    }
    QVERIFY(home.lines().filter(u"Failed"_s).isEmpty());
}

void TestKeep::firstKeepOfAMonth_data()
{
    QTest::addColumn<QStringList>("userDirs"); // lines of user-dirs.dirs
    QTest::addColumn<QString>("locale");
    QTest::addColumn<QString>("month");

    QTest::newRow("documents set to the home")
        << QStringList{u"XDG_DOCUMENTS_DIR=\"$HOME\""_s} << u"en_US"_s << u"March"_s;
    QTest::newRow("month named in the locale") << QStringList() << u"de_DE"_s << u"März"_s;
}

void TestKeep::firstKeepOfAMonth()
{
    QFETCH(QStringList, userDirs);
    QFETCH(QString, locale);
    QFETCH(QString, month);
    TestHome home;
    const UserDirsFile names(userDirs);
    QLocale::setDefault(QLocale(locale));
    QVERIFY(writeFile(home.folder(u"Desktop"_s) + u"/a.txt"_s, "a"));
    // A path set in an earlier run is not stored.
    AppState().setKeptFilesPath(u"/elsewhere"_s);
    AppState state;
    state.setClock([] { return QDateTime(QDate(2027, 3, 31), QTime(23, 59)); });
    QCOMPARE(state.keptFilesPath(), home.path(u"Documents/Kept"_s));
    QVERIFY(!QFileInfo::exists(home.path(u"Documents"_s)));

    state.keepCurrentFile();

    QCOMPARE(readFile(home.path(u"Documents/Kept/2027/"_s + month + u"/a.txt"_s)), QByteArray("a"));
}

void TestKeep::removalRule_data()
{
    QTest::addColumn<int>("count");
    QTest::addColumn<int>("current");
    QTest::addColumn<int>("acted"); // -1: the current file, by keepCurrentFile() and the like
    QTest::addColumn<bool>("keep");
    QTest::addColumn<int>("currentAfter"); // index into the new list

    QTest::newRow("keep the current one in the middle") << 3 << 1 << -1 << true << 1;
    QTest::newRow("delete the current last one") << 3 << 2 << -1 << false << 1;
    QTest::newRow("delete the only one") << 1 << 0 << -1 << false << 0;
    QTest::newRow("by id: before the current one") << 5 << 3 << 1 << true << 2;
    QTest::newRow("by id: after the current one") << 5 << 1 << 3 << true << 1;
}

void TestKeep::removalRule()
{
    QFETCH(int, count);
    QFETCH(int, current);
    QFETCH(int, acted);
    QFETCH(bool, keep);
    QFETCH(int, currentAfter);

    TestHome home;
    const QString downloads = home.folder(u"Downloads"_s);
    for (int i = 0; i < count; ++i)
        QVERIFY(writeFile(downloads + u"/f"_s + QString::number(i), "x", 1'700'000'000 - i));
    AppState state;
    state.setClock([] { return fixedNow; });
    state.setCurrentIndex(current);
    const QList<TrackedFile> before = state.files();
    const int index = acted < 0 ? current : acted;

    if (acted < 0)
        keep ? state.keepCurrentFile() : state.deleteCurrentFile();
    else
        keep ? state.keepFile(before.at(index).id) : state.deleteFile(before.at(index).id);

    QList<TrackedFile> expected = before;
    expected.removeAt(index);
    QCOMPARE(state.files(), expected);
    QCOMPARE(state.currentIndex(), currentAfter);
    QCOMPARE(state.currentFile().has_value(), count > 1);
    if (index != current)
        QCOMPARE(state.currentFile()->id, before.at(current).id);
    const QString name = u"/f"_s + QString::number(index);
    QVERIFY(!QFileInfo::exists(downloads + name));
    QVERIFY(QFileInfo::exists((keep ? home.keptMonth() : home.path(u".local/share/Trash/files"_s)) +
                              name));
    QVERIFY(home.lines().filter(u"Failed"_s).isEmpty());

    // An id from an earlier scan is gone: nothing moves.
    state.scanFolders();
    state.deleteFile(before.at(index == 0 ? count - 1 : 0).id);
    QCOMPARE(state.files().size(), count - 1);
}

void TestKeep::noCurrentFile()
{
    TestHome home;
    QVERIFY(writeFile(home.folder(u"Downloads"_s) + u"/f"_s));
    AppState state;
    home.lines().clear();
    for (const qsizetype position : {qsizetype(1), qsizetype(-1)}) {
        state.setCurrentIndex(position);
        state.keepCurrentFile();
        state.deleteCurrentFile();
        QCOMPARE(state.files().size(), 1);
        QCOMPARE(state.currentIndex(), position);
    }
    QVERIFY(home.lines().isEmpty());
    QVERIFY(QFileInfo::exists(home.path(u"Downloads/f"_s)));
}

void TestKeep::undo_data()
{
    QTest::addColumn<bool>("keep");
    QTest::addColumn<QString>("fault");
    QTest::addColumn<QString>("reason"); // empty: undone; HOME and KEPT stand for those folders
    QTest::addColumn<QString>("fix");    // empty: the decision is dropped; "-": stays, unfixed

    const QString taken =
        u"\"a.txt\" could not be put back: \"HOME/Desktop/a.txt\" already exists"_s;
    const QString notInTrash = u"\"a.txt\" could not be put back: it is no longer in the Trash"_s;
    const QString folderGone =
        u"\"a.txt\" could not be put back: the folder \"HOME/Desktop\" no longer exists"_s;
    const QString notInKept = u"\"a.txt\" is no longer in \"KEPT\""_s;
    QTest::newRow("keep undone") << true << QString() << QString() << QString();
    QTest::newRow("delete undone") << false << QString() << QString() << QString();
    QTest::newRow("kept file moved away") << true << u"move away"_s << notInKept << QString();
    QTest::newRow("another file in its place in kept")
        << true << u"replace in kept"_s << notInKept << QString();
    // A new file that got the freed inode number differs from the kept one in its change time.
    QTest::newRow("kept inode changed since the keep")
        << true << u"change in kept"_s << notInKept << QString();
    QTest::newRow("original taken after keep")
        << true << u"take original"_s << taken << u"free original"_s;
    QTest::newRow("original taken after delete")
        << false << u"take original"_s << taken << u"free original"_s;
    QTest::newRow("original folder gone after keep")
        << true << u"remove folder"_s << folderGone << u"bring folder back"_s;
    QTest::newRow("original folder gone after delete")
        << false << u"remove folder"_s << folderGone << u"bring folder back"_s;
    QTest::newRow("restored by the file manager")
        << false << u"restore"_s << notInTrash << QString();
    QTest::newRow("another file in its place in the trash")
        << false << u"replace in trash"_s << notInTrash << QString();
    QTest::newRow("info file names another path")
        << false << u"edit info"_s
        << u"\"a.txt\" could not be put back: its Trash entry no longer names "
           "\"HOME/Desktop/a.txt\""_s
        << u"-"_s;
}

void TestKeep::undo()
{
    QFETCH(bool, keep);
    QFETCH(QString, fault);
    QFETCH(QString, reason);
    QFETCH(QString, fix);

    TestHome home;
    const QString original = home.folder(u"Desktop"_s) + u"/a.txt"_s;
    QVERIFY(writeFile(home.path(u"Desktop/newer.txt"_s), "stays", 1'600'000'200));
    QVERIFY(writeFile(original, "a", 1'600'000'100));
    QVERIFY(writeFile(home.path(u"Desktop/first.txt"_s), "first", 1'600'000'000));
    AppState state;
    state.setClock([] { return fixedNow; });
    QSignalSpy announced(&state, &AppState::lastDecisionChanged);
    QSignalSpy failed(&state, &AppState::undoFailed);
    QSignalSpy undone(&state, &AppState::undone);
    // An earlier decision, which the undo must not touch.
    state.keepFile(state.files().at(2).id);
    keep ? state.keepFile(state.files().at(1).id) : state.deleteFile(state.files().at(1).id);
    QCOMPARE(announced.size(), 2);
    const QString trash = home.path(u".local/share/Trash"_s);
    const QString moved =
        keep ? QString(home.keptMonth() + u"/a.txt"_s) : QString(trash + u"/files/a.txt"_s);
    const QString info = trash + u"/info/a.txt.trashinfo"_s;
    const QByteArray desktop = QFile::encodeName(home.path(u"Desktop"_s));
    const QByteArray desktopAway = desktop + ".away";

    if (fault == u"move away") {
        QVERIFY(QFile::rename(moved, home.path(u"elsewhere.txt"_s)));
    } else if (fault == u"take original") {
        QVERIFY(writeFile(original, "new file"));
    } else if (fault == u"restore") {
        QVERIFY(QFile::rename(moved, original) && QFile::remove(info));
    } else if (fault == u"replace in kept") { // put in place whole, as a program saving it would
        QVERIFY(writeFile(moved + u".new"_s, "another a.txt") &&
                ::rename(QFile::encodeName(moved + u".new"_s), QFile::encodeName(moved)) == 0);
    } else if (fault == u"change in kept") {
        // Same inode, kind and contents; only the change time moves on (the clock behind it
        // ticks in steps of a few milliseconds).
        struct stat kept = {};
        QVERIFY(::lstat(QFile::encodeName(moved).constData(), &kept) == 0);
        const qint64 keptNs = FileIdentity::changeTimeNs(kept);
        struct stat now = kept;
        QTRY_VERIFY((::chmod(QFile::encodeName(moved).constData(), kept.st_mode & 0777) == 0 &&
                     ::lstat(QFile::encodeName(moved).constData(), &now) == 0 &&
                     FileIdentity::changeTimeNs(now) != keptNs));
        QCOMPARE(now.st_ino, kept.st_ino);
    } else if (fault == u"replace in trash") {
        QVERIFY(QFile::remove(moved) && writeFile(moved, "another a.txt"));
    } else if (fault == u"edit info") {
        QVERIFY(writeFile(info, Trash::infoContents(QFile::encodeName(original) + ".old",
                                                    QDateTime::currentDateTime())));
    } else if (fault == u"remove folder") {
        QVERIFY(::rename(desktop.constData(), desktopAway.constData()) == 0);
    }
    const QMap<QString, QByteArray> before = snapshot(home.path());
    home.lines().clear();
    QSignalSpy finished(&state, &AppState::undoFinished);

    state.undoLastDecision();

    QVERIFY(finished.wait());
    QCOMPARE(announced.size(), 3);
    if (!reason.isEmpty()) {
        reason.replace(u"HOME"_s, home.path()).replace(u"KEPT"_s, home.keptMonth());
        QCOMPARE(home.lines(), QStringList{u"Failed to undo: "_s + reason});
        // The panel and the tray hear it in the same words.
        QCOMPARE(failed.size(), 1);
        QCOMPARE(failed.at(0).at(0).toString(), reason);
        QVERIFY(undone.isEmpty());
        QCOMPARE(snapshot(home.path()), before);
        // A file still where Mirel put it keeps its decision for another try; one that has
        // left that place cannot come back, and the decision before it comes next.
        QCOMPARE(state.lastDecision()->originalPath,
                 fix.isEmpty() ? home.path(u"Desktop/first.txt"_s) : original);
        if (fix.isEmpty() || fix == u"-")
            return;
        if (fix == u"free original")
            QVERIFY(QFile::remove(original));
        else if (fix == u"bring folder back")
            QVERIFY(::rename(desktopAway.constData(), desktop.constData()) == 0);
        home.lines().clear();
        state.undoLastDecision();
        QVERIFY(finished.wait());
        QCOMPARE(failed.size(), 1);
    }
    QVERIFY(home.lines().filter(u"Failed"_s).isEmpty());
    QCOMPARE(readFile(original), QByteArray("a"));
    QCOMPARE(undone.size(), 1);
    QCOMPARE(undone.at(0).at(0).toString(), original);
    QCOMPARE(state.lastDecision()->originalPath, home.path(u"Desktop/first.txt"_s));
    // The file comes back as the current one, though it is not the newest.
    QCOMPARE(state.currentFile()->filePath, original);
    // Nothing left behind: no kept copy, nothing in the Trash, no .trashinfo.
    QVERIFY(!QFileInfo::exists(moved));
    QCOMPARE(snapshot(trash).keys(), (keep ? QStringList() : QStringList{u"/files"_s, u"/info"_s}));
}

void TestKeep::stalePartialCopies()
{
    TestHome home;
    const QString kept = home.path(u"Documents/Kept"_s);
    const QByteArray month = QFile::encodeName(home.folder(u"Documents/Kept/2025/March"_s));
    const qint64 longAgo = QDateTime::currentSecsSinceEpoch() - 3600;
    // "stale": Mirel's own, an hour old; the others must stay.
    for (const QByteArray name :
         {".mirel-keep-stale.part", ".mirel-keep-locked.part", ".mirel-keep-fresh.part",
          ".mirel-keep-foreign.part", "notes.part", ".mirel-keep-not-a-part"})
        QVERIFY(writeFile(QByteArray(month + '/' + name), "partial",
                          name == QByteArrayView(".mirel-keep-fresh.part") ? 0 : longAgo));
    // A copy still running holds its part locked.
    const PosixPaths::UniqueFd writer(
        ::open(QByteArray(month + "/.mirel-keep-locked.part").constData(), O_RDWR | O_CLOEXEC));
    QCOMPARE(::flock(writer.get(), LOCK_EX | LOCK_NB), 0);
    const bool foreign =
        ::lchown(QByteArray(month + "/.mirel-keep-foreign.part").constData(), 65534, 65534) == 0;

    NoReplaceMove::sweepStalePartials(kept);

    QStringList left = QDir(QFile::decodeName(month))
                           .entryList(QDir::Files | QDir::Hidden | QDir::System, QDir::Name);
    QStringList expected{u".mirel-keep-fresh.part"_s, u".mirel-keep-locked.part"_s,
                         u".mirel-keep-not-a-part"_s, u"notes.part"_s};
    if (foreign)
        expected.prepend(u".mirel-keep-foreign.part"_s);
    else
        left.removeAll(u".mirel-keep-foreign.part"_s); // only root can give a file away
    QCOMPARE(left, expected);

    // Mirel sweeps at start-up too, without holding up the start.
    const QByteArray other = QFile::encodeName(home.folder(u"Documents/Kept/2026/January"_s));
    QVERIFY(writeFile(QByteArray(other + "/.mirel-keep-killed.part"), "partial", longAgo));
    AppState state;
    QTRY_VERIFY(!existsNoFollow(QByteArray(other + "/.mirel-keep-killed.part")));
    QVERIFY(existsNoFollow(QByteArray(month + "/.mirel-keep-locked.part")));
}

QTEST_GUILESS_MAIN(TestKeep)
#include "tst_Keep.moc"
