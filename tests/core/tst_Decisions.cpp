// SPDX-License-Identifier: GPL-3.0-or-later
#include "AppState.h"
#include "FileSystem.h"
#include "FolderAccessService.h"
#include "HeldMove.h"
#include "NoReplaceMove.h"
#include "TestHome.h"

#include <QDirIterator>
#include <QLocale>
#include <QSignalSpy>
#include <QTest>
#include <QThread>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>

using namespace Qt::StringLiterals;

namespace {

using Kind = DecisionHistory::Kind;

// Unsets the hook even when a check fails.
struct HookGuard
{
    ~HookGuard() { NoReplaceMove::setBeforeSourceRemovedHook({}); }
};

} // namespace

class TestDecisions final : public TemporaryHomeSuite
{
    Q_OBJECT

private slots:
    void init() { QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates)); }
    void cleanup() { QLocale::setDefault(QLocale::system()); }
    void askedForDuringADecision_data();
    void askedForDuringADecision();
    void undoNamesTheDecisionShown();
    void failureKnownAtOnce_data();
    void failureKnownAtOnce();
    void operationsLeaveTheMainThread();
    void quitDuringACopy_data();
    void quitDuringACopy();
    void sourceChangedDuringTheCopy_data();
    void sourceChangedDuringTheCopy();
    void copyStopsWhenCancelled();
    void sparseFileStaysSparse();
};

void TestDecisions::askedForDuringADecision_data()
{
    QTest::addColumn<bool>("keep");
    QTest::addColumn<QString>("asked"); // what is asked for while the decision is pending
    QTest::newRow("keep, then a scan") << true << u"scan"_s;
    QTest::newRow("delete, then a scan") << false << u"scan"_s;
    QTest::newRow("keep, then a folder switch") << true << u"switch"_s;
    QTest::newRow("keep, then another row current") << true << u"row"_s;
}

void TestDecisions::askedForDuringADecision()
{
    QFETCH(bool, keep);
    QFETCH(QString, asked);
    TestHome home;
    const QStringList files = home.makeFiles(3);
    AppState state;
    state.setClock([] { return fixedNow; });
    QSignalSpy finished(&state, &AppState::decisionFinished);
    home.lines().clear();

    const quint64 ticket = state.decide(keep ? Kind::Keep : Kind::Delete, state.files().at(0), 200);
    QVERIFY(state.isBusy());
    if (asked == u"scan"_s)
        state.scanFolders();
    else if (asked == u"switch"_s)
        state.setIncludeDesktop(false);
    else
        state.setCurrentIndex(2);
    // Nothing scanned yet: the list is the one the decision was taken on.
    QCOMPARE(home.scanCount(), 0);

    QVERIFY(finished.wait());
    QCOMPARE(finished.at(0).at(0).toULongLong(), ticket);
    QCOMPARE(finished.at(0).at(1).toBool(), true);
    QVERIFY(!QFileInfo::exists(files.at(0)));
    QVERIFY(QFileInfo::exists((keep ? home.keptMonth() : home.path(u".local/share/Trash/files"_s)) +
                              u"/f0.txt"_s));
    // The scan asked for ran after it, and found the file gone.
    QCOMPARE(home.scanCount(), asked == u"row"_s ? 0 : 1);
    QCOMPARE(state.files().size(), 2);
    QCOMPARE(state.files().at(0).filePath, files.at(1));
    if (asked == u"row"_s)
        QCOMPARE(state.currentFile()->filePath, files.at(2)); // the picked file stays current
    QCOMPARE(state.lastDecision()->originalPath, files.at(0));
    QVERIFY(home.lines().filter(u"Failed"_s).isEmpty());
    QVERIFY(!state.isBusy());
}

void TestDecisions::undoNamesTheDecisionShown()
{
    TestHome home;
    const QStringList files = home.makeFiles(3);
    AppState state;
    state.setClock([] { return fixedNow; });
    QSignalSpy finished(&state, &AppState::decisionFinished);
    QSignalSpy undone(&state, &AppState::undoFinished);

    state.decide(Kind::Delete, state.files().at(0));
    QVERIFY(finished.wait());
    // Keep B, and Undo (which names "Delete A") while the Keep is still pending.
    state.decide(Kind::Keep, state.files().at(0), 200);
    state.undoLastDecision();
    QVERIFY(undone.wait());

    QCOMPARE(finished.size(), 2);
    QCOMPARE(undone.at(0).at(0).toBool(), true);
    QCOMPARE(readFile(files.at(0)), QByteArray("file 0")); // A is back
    QVERIFY(!QFileInfo::exists(files.at(1)));              // B's Keep stands
    QCOMPARE(readFile(home.keptMonth() + u"/f1.txt"_s), QByteArray("file 1"));
    QCOMPARE(state.lastDecision()->originalPath, files.at(1));
    QCOMPARE(state.lastDecision()->kind, Kind::Keep);
    QCOMPARE(state.currentFile()->filePath, files.at(0));
    QCOMPARE(state.files().size(), 2);
    QVERIFY(home.lines().filter(u"Failed"_s).isEmpty());
}

void TestDecisions::failureKnownAtOnce_data()
{
    QTest::addColumn<bool>("keep");
    QTest::addColumn<QString>("fault");
    QTest::addColumn<QString>("console"); // FOLDER: Downloads, KEPT: the month folder
    QTest::addColumn<QString>("shown");

    QTest::newRow("keep: moved away")
        << true << u"remove"_s
        << u"Failed to keep: Could not move \"FOLDER/report.pdf\" to \"KEPT\": No such file or directory"_s
        << u"Could not keep \"report.pdf\": it is no longer in Downloads"_s;
    QTest::newRow("delete: moved away")
        << false << u"remove"_s
        << u"Failed to delete: \"report.pdf\" could not be moved to the Trash: No such file or directory"_s
        << u"Could not delete \"report.pdf\": it is no longer in Downloads"_s;
    QTest::newRow("keep: another file in its place")
        << true << u"replace"_s
        << u"Failed to keep: Could not move \"FOLDER/report.pdf\" to \"KEPT\": it has been replaced since it was listed"_s
        << u"Could not keep \"report.pdf\": it has been replaced since it was listed"_s;
    QTest::newRow("keep: Kept cannot be made")
        << true << u"kept file"_s
        << u"Failed to keep: Could not create the folder \"KEPT\": Not a directory"_s
        << u"Could not keep \"report.pdf\": its folder in Kept could not be made (Not a directory)"_s;
}

void TestDecisions::failureKnownAtOnce()
{
    QFETCH(bool, keep);
    QFETCH(QString, fault);
    QFETCH(QString, console);
    QFETCH(QString, shown);
    TestHome home;
    const QString folder = home.folder(u"Downloads"_s);
    const QString path = folder + u"/report.pdf"_s;
    QVERIFY(writeFile(path, "listed"));
    AppState state;
    state.setClock([] { return fixedNow; });
    if (fault == u"remove"_s) {
        QVERIFY(QFile::remove(path));
    } else if (fault == u"replace"_s) {
        QVERIFY(writeFile(path + u".new"_s, "other"));
        QVERIFY(::rename(QFile::encodeName(path + u".new"_s).constData(),
                         QFile::encodeName(path).constData()) == 0);
    } else {
        QVERIFY(writeFile(home.folder(u"Documents"_s) + u"/Kept"_s, "not a folder"));
    }
    QSignalSpy checked(&state, &AppState::decisionChecked);
    QSignalSpy finished(&state, &AppState::decisionFinished);
    home.lines().clear();

    // With a feedback far longer than the test may wait: the failure comes without it.
    state.decide(keep ? Kind::Keep : Kind::Delete, state.files().at(0), 60'000);

    QVERIFY(finished.wait(5000));
    QCOMPARE(checked.size(), 0); // no success symbol was ever due
    QCOMPARE(finished.at(0).at(1).toBool(), false);
    QCOMPARE(finished.at(0).at(2).toString(), shown);
    console.replace(u"FOLDER"_s, folder).replace(u"KEPT"_s, home.keptMonth());
    QCOMPARE(home.lines(), QStringList{console});
    QCOMPARE(state.files().size(), 1);
    QVERIFY(!state.lastDecision());
    QVERIFY(namesIn(home.keptMonth()).isEmpty());
    QVERIFY(!state.isBusy());
}

void TestDecisions::operationsLeaveTheMainThread()
{
    TestHome home;
    const QStringList files = home.makeFiles(2);
    HeldMove fileSystem;
    AppState state(fileSystem);
    state.setClock([] { return fixedNow; });
    QSignalSpy progress(&state, &AppState::decisionProgress);
    QSignalSpy finished(&state, &AppState::decisionFinished);

    const quint64 ticket = state.decide(Kind::Keep, state.files().at(0));
    QTRY_COMPARE_WITH_TIMEOUT(fileSystem.entered.available(), 1, 10000);
    fileSystem.entered.acquire();
    // The move is held: the main thread still runs, and hears how far the copy is.
    QVERIFY(fileSystem.thread.load() != QThread::currentThread());
    QTRY_COMPARE(progress.size(), 1);
    QCOMPARE(progress.at(0), (QVariantList{ticket, qint64(1), qint64(4)}));
    QVERIFY(state.isBusy());
    QCOMPARE(state.files().size(), 2);
    fileSystem.released.release();
    QVERIFY(finished.wait());
    QCOMPARE(finished.at(0).at(1).toBool(), true);
    QCOMPARE(readFile(home.keptMonth() + u"/f0.txt"_s), QByteArray("file 0"));

    // The undo's move too.
    QSignalSpy undone(&state, &AppState::undoFinished);
    state.undoLastDecision();
    QTRY_COMPARE_WITH_TIMEOUT(fileSystem.entered.available(), 1, 10000);
    fileSystem.entered.acquire();
    QVERIFY(fileSystem.thread.load() != QThread::currentThread());
    QVERIFY(state.isBusy());
    fileSystem.released.release();
    QVERIFY(undone.wait());
    QCOMPARE(readFile(files.at(0)), QByteArray("file 0"));
}

void TestDecisions::quitDuringACopy_data()
{
    QTest::addColumn<bool>("undo"); // else the Keep itself is under way
    QTest::newRow("keep") << false;
    QTest::newRow("undo of a keep") << true;
}

void TestDecisions::quitDuringACopy()
{
    QFETCH(bool, undo);
    TestHome home;
    const QStringList files = home.makeFiles(1);
    const QString kept = home.keptMonth() + u"/f0.txt"_s;
    HeldMove fileSystem;
    {
        AppState state(fileSystem);
        state.setClock([] { return fixedNow; });
        if (undo) {
            QSignalSpy finished(&state, &AppState::decisionFinished);
            fileSystem.released.release();
            state.decide(Kind::Keep, state.files().at(0));
            QVERIFY(finished.wait());
            fileSystem.entered.acquire();
            fileSystem.untilCancelled = true;
            state.undoLastDecision();
        } else {
            fileSystem.untilCancelled = true;
            state.decide(Kind::Keep, state.files().at(0));
        }
        QTRY_COMPARE_WITH_TIMEOUT(fileSystem.entered.available(), 1, 10000);
        home.lines().clear();
    } // Quit: the state goes while the copy runs
    const QString stays = undo ? kept : files.at(0);
    QCOMPARE(home.lines(),
             QStringList{(undo ? u"Undo"_s : u"Keep"_s) + u" cancelled on quit: \""_s + stays +
                         u"\" stays where it was"_s});
    QCOMPARE(readFile(stays), QByteArray("file 0"));
    QCOMPARE(namesIn(home.keptMonth()), undo ? QStringList{u"f0.txt"_s} : QStringList());
    QCOMPARE(QFileInfo::exists(files.at(0)), !undo);
    // A Keep given up leaves no empty year or month folder, though its check made them.
    if (!undo)
        QVERIFY(!QFileInfo::exists(QFileInfo(home.keptMonth()).path()));
}

void TestDecisions::sourceChangedDuringTheCopy_data()
{
    QTest::addColumn<QString>("change");
    QTest::addColumn<QString>("reason");
    QTest::newRow("still written to") << u"append"_s << u"it changed while it was being kept"_s;
    QTest::newRow("rewritten in place, same size")
        << u"overwrite"_s << u"it changed while it was being kept"_s;
    QTest::newRow("another file put in its place")
        << u"replace"_s << u"it has been replaced since it was listed"_s;
    QTest::newRow("unchanged") << QString() << QString();
}

void TestDecisions::sourceChangedDuringTheCopy()
{
    QFETCH(QString, change);
    QFETCH(QString, reason);
    QTemporaryDir other(u"/dev/shm/mirel-test-XXXXXX"_s);
    TestHome home;
    if (!other.isValid() || !onAnotherFileSystem(home.path(), other.path()))
        QSKIP("/dev/shm is not a separate file system here");
    const QString source = other.path() + u"/log.txt"_s;
    const QByteArray content(1 << 20, 'a');
    QVERIFY(writeFile(source, content, 1'700'000'000));
    const QString month = home.folder(u"Documents/Kept/2026/December"_s);
    const HookGuard unhook;
    QByteArray expected = content;
    int calls = 0;
    NoReplaceMove::setBeforeSourceRemovedHook([&] {
        ++calls;
        if (change == u"append"_s) {
            QFile file(source);
            QVERIFY(file.open(QIODevice::Append));
            file.write("a line written during the copy\n");
            expected += "a line written during the copy\n";
        } else if (change == u"overwrite"_s) {
            QFile file(source);
            QVERIFY(file.open(QIODevice::ReadWrite));
            file.write("b");
            expected[0] = 'b';
        } else if (change == u"replace"_s) {
            QVERIFY(writeFile(source + u".new"_s, "the new one"));
            QVERIFY(::rename(QFile::encodeName(source + u".new"_s).constData(),
                             QFile::encodeName(source).constData()) == 0);
            expected = "the new one";
        }
    });

    const FileResult moved =
        FileSystem::standard().moveWithoutReplacing(source, month + u"/log.txt"_s);

    QCOMPARE(calls, 1);
    if (reason.isEmpty()) {
        QVERIFY(moved.ok());
        QVERIFY(!QFileInfo::exists(source));
        QCOMPARE(readFile(month + u"/log.txt"_s), content);
        return;
    }
    QCOMPARE(moved.message,
             u"Could not move \""_s + source + u"\" to \""_s + month + u"\": "_s + reason);
    // Nothing lost: the source holds everything, and no copy is left to be mistaken for it.
    QCOMPARE(readFile(source), expected);
    QVERIFY(namesIn(month).isEmpty());
}

void TestDecisions::copyStopsWhenCancelled()
{
    QTemporaryDir other(u"/dev/shm/mirel-test-XXXXXX"_s);
    TestHome home;
    if (!other.isValid() || !onAnotherFileSystem(home.path(), other.path()))
        QSKIP("/dev/shm is not a separate file system here");
    const QString source = other.path() + u"/big.bin"_s;
    const QByteArray content(40 << 20, 'c');
    QVERIFY(writeFile(source, content));
    const QString month = home.folder(u"Documents/Kept/2026/December"_s);
    std::atomic<bool> cancelled = false;
    QList<qint64> reports;
    CopyControl control;
    control.cancelled = &cancelled;
    control.progress = [&](qint64 done, qint64 total) {
        QCOMPARE(total, qint64(content.size()));
        reports.append(done);
        cancelled = true; // Quit while the first chunk is out
    };

    const FileResult moved =
        FileSystem::standard().moveWithoutReplacing(source, month + u"/big.bin"_s, {}, &control);

    QCOMPARE(moved.code, ECANCELED);
    QCOMPARE(reports.size(), 1);
    QVERIFY(reports.at(0) > 0 && reports.at(0) < content.size());
    QCOMPARE(readFile(source), content);
    QVERIFY(namesIn(month).isEmpty());
}

void TestDecisions::sparseFileStaysSparse()
{
    QTemporaryDir other(u"/dev/shm/mirel-test-XXXXXX"_s);
    TestHome home;
    if (!other.isValid() || !onAnotherFileSystem(home.path(), other.path()))
        QSKIP("/dev/shm is not a separate file system here");
    // 256 MiB with two small islands of data, the last one at the very end.
    const QString source = other.path() + u"/disk.img"_s;
    const qint64 size = qint64(256) << 20;
    {
        QFile file(source);
        QVERIFY(file.open(QIODevice::WriteOnly));
        QVERIFY(file.resize(size));
        QVERIFY(file.seek(100 << 20));
        file.write(QByteArray(8192, 'd'));
        QVERIFY(file.seek(size - 4096));
        file.write(QByteArray(4096, 'e'));
    }
    const QString kept = home.folder(u"Documents/Kept/2026/December"_s) + u"/disk.img"_s;
    QList<qint64> reports;
    CopyControl control;
    control.progress = [&](qint64 done, qint64) {
        reports.append(done);
    };

    QVERIFY(FileSystem::standard().moveWithoutReplacing(source, kept, {}, &control).ok());

    struct stat attributes = {};
    QCOMPARE(::stat(QFile::encodeName(kept).constData(), &attributes), 0);
    QCOMPARE(qint64(attributes.st_size), size);
    QVERIFY2(qint64(attributes.st_blocks) * 512 < (4 << 20),
             qPrintable(u"%1 bytes allocated"_s.arg(qint64(attributes.st_blocks) * 512)));
    QFile file(kept);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QVERIFY(file.seek((100 << 20) - 1));
    QCOMPARE(file.read(8194), QByteArray(1, '\0') + QByteArray(8192, 'd') + QByteArray(1, '\0'));
    QVERIFY(file.seek(size - 4097));
    QCOMPARE(file.read(5000), QByteArray(1, '\0') + QByteArray(4096, 'e'));
    // Progress only grows, and ends at the whole size.
    QVERIFY(!reports.isEmpty());
    QVERIFY(std::is_sorted(reports.cbegin(), reports.cend()));
    QCOMPARE(reports.last(), size);
}

QTEST_GUILESS_MAIN(TestDecisions)
#include "tst_Decisions.moc"
