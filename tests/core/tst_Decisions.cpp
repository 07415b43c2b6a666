// SPDX-License-Identifier: GPL-3.0-or-later
#include "AppState.h"
#include "FileSystem.h"
#include "FolderAccessService.h"
#include "HeldMove.h"
#include "NoReplaceMove.h"
#include "TestHome.h"

#include <QLocale>
#include <QMap>
#include <QSignalSpy>
#include <QTest>
#include <QThread>

#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>

using namespace Qt::StringLiterals;

namespace {

using Kind = DecisionHistory::Kind;

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
    void failedDecision_data();
    void failedDecision();
    void operationsLeaveTheMainThread();
    void quitDuringACopy_data();
    void quitDuringACopy();
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

void TestDecisions::failedDecision_data()
{
    QTest::addColumn<bool>("keep");
    QTest::addColumn<QString>("fault");
    QTest::addColumn<bool>("acrossDrives");
    QTest::addColumn<QString>("reason"); // FOLDER: the listed file's folder; KEPT: the month's
    QTest::addColumn<QString>("shown");  // under the file; empty: found only during the copy

    const QString moveFailed = u"Could not move \"FOLDER/a.txt\" to \"KEPT\": "_s;
    const QString trashFailed = u"\"a.txt\" could not be moved to the Trash: "_s;
    const QString gone = u"No such file or directory"_s;
    const QString replaced = u"it has been replaced since it was listed"_s;
    QTest::newRow("keep: gone") << true << u"remove"_s << false << moveFailed + gone
                                << u"Could not keep \"a.txt\": it is no longer in Downloads"_s;
    QTest::newRow("delete: gone") << false << u"remove"_s << false << trashFailed + gone
                                  << u"Could not delete \"a.txt\": it is no longer in Downloads"_s;
    QTest::newRow("keep: another file now") << true << u"file"_s << false << moveFailed + replaced
                                            << u"Could not keep \"a.txt\": "_s + replaced;
    QTest::newRow("delete: another file now")
        << false << u"file"_s << false << trashFailed + replaced
        << u"Could not delete \"a.txt\": "_s + replaced;
    QTest::newRow("keep across drives: a FIFO now")
        << true << u"fifo"_s << true << moveFailed + replaced
        << u"Could not keep \"a.txt\": "_s + replaced;
    QTest::newRow("keep: Kept is a file")
        << true << u"kept file"_s << false
        << u"Could not create the folder \"KEPT\": Not a directory"_s
        << u"Could not keep \"a.txt\": its folder in Kept could not be made (Not a directory)"_s;
    // The copy outgrows what this process may write.
    QTest::newRow("keep across drives: fails on the way")
        << true << u"too large"_s << true << moveFailed + u"File too large"_s << QString();
}

void TestDecisions::failedDecision()
{
    QFETCH(bool, keep);
    QFETCH(QString, fault);
    QFETCH(bool, acrossDrives);
    QFETCH(QString, reason);
    QFETCH(QString, shown);

    TestHome home;
    QTemporaryDir other(u"/dev/shm/mirel-test-XXXXXX"_s);
    if (acrossDrives && (!other.isValid() || !onAnotherFileSystem(home.path(), other.path())))
        QSKIP("/dev/shm is not a separate file system here");
    const QString folder = acrossDrives ? other.path() : home.folder(u"Downloads"_s);
    if (acrossDrives)
        FolderAccessService::shared().saveFolders({QUrl::fromLocalFile(folder)});
    const QString path = folder + u"/a.txt"_s;
    const bool tooLarge = fault == u"too large"_s;
    QVERIFY(writeFile(path, tooLarge ? QByteArray(3 << 20, 'k') : "listed", 1'700'000'010));
    QVERIFY(writeFile(folder + u"/b.txt"_s, "stays", 1'700'000'000));
    AppState state;
    state.setClock([] { return fixedNow; });

    const QByteArray bytes = QFile::encodeName(path);
    if (fault == u"remove"_s) {
        QVERIFY(QFile::remove(path));
    } else if (fault == u"file"_s) {
        QVERIFY(writeFile(path + u".new"_s, "other"));
        QCOMPARE(::rename(QFile::encodeName(path + u".new"_s).constData(), bytes.constData()), 0);
    } else if (fault == u"fifo"_s) {
        QVERIFY(QFile::remove(path));
        QCOMPARE(::mkfifo(bytes.constData(), 0644), 0);
    } else if (fault == u"kept file"_s) {
        QVERIFY(writeFile(home.folder(u"Documents"_s) + u"/Kept"_s, "not a folder"));
    }
    const QMap<QString, QByteArray> before = snapshot(folder);
    home.lines().clear();
    QSignalSpy failures(&state, &AppState::decisionFailed);
    QSignalSpy checked(&state, &AppState::decisionChecked);
    QSignalSpy finished(&state, &AppState::decisionFinished);
    reason.replace(u"FOLDER"_s, folder).replace(u"KEPT"_s, home.keptMonth());
    const QStringList line{(keep ? u"Failed to keep: "_s : u"Failed to delete: "_s) + reason};

    if (!shown.isEmpty()) {
        // With a feedback far longer than the test may wait: the failure comes without it.
        state.decide(keep ? Kind::Keep : Kind::Delete, state.files().at(0), 60'000);
        QVERIFY(finished.wait(5000));
        QCOMPARE(checked.size(), 0); // no success symbol was ever due
        QCOMPARE(finished.at(0).at(1).toBool(), false);
        QCOMPARE(finished.at(0).at(2).toString(), shown);
        QCOMPARE(home.lines(), line);
        QVERIFY(!state.isBusy());
        home.lines().clear();
    }
    // The same decision on the calling thread.
    struct rlimit limit = {};
    QCOMPARE(::getrlimit(RLIMIT_FSIZE, &limit), 0);
    const struct rlimit oneMegabyte = {1 << 20, limit.rlim_max};
    if (tooLarge) {
        ::signal(SIGXFSZ, SIG_IGN);
        QCOMPARE(::setrlimit(RLIMIT_FSIZE, &oneMegabyte), 0);
    }
    keep ? state.keepCurrentFile() : state.deleteCurrentFile();
    QCOMPARE(::setrlimit(RLIMIT_FSIZE, &limit), 0);
    ::signal(SIGXFSZ, SIG_DFL);

    QCOMPARE(home.lines(), line);
    // The panel hears the reason: the console line without its prefix.
    QCOMPARE(failures.size(), shown.isEmpty() ? 1 : 2);
    for (const QList<QVariant> &failure : std::as_const(failures))
        QCOMPARE(failure.at(0).toString(), reason);
    QCOMPARE(state.files().size(), 2);
    QCOMPARE(state.currentFile()->filePath, path);
    QVERIFY(!state.lastDecision());
    QCOMPARE(snapshot(folder), before);
    // The year and month folders a Keep made are gone again.
    QVERIFY(!QFileInfo::exists(home.path(u"Documents/Kept/2026"_s)));
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

QTEST_GUILESS_MAIN(TestDecisions)
#include "tst_Decisions.moc"
