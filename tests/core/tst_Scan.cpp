// SPDX-License-Identifier: GPL-3.0-or-later
#include "AppState.h"
#include "FileNames.h"
#include "FileSystem.h"
#include "FolderAccessService.h"
#include "PathCodec.h"
#include "TestHome.h"

#include <QElapsedTimer>
#include <QTest>
#include <QThread>

#include <atomic>
#include <condition_variable>
#include <mutex>

using namespace Qt::StringLiterals;

namespace {

constexpr qint64 tenOClock = 1'790'000'000; // some fixed day, 10:00 give or take

QStringList names(const QList<TrackedFile> &files)
{
    QStringList result;
    for (const TrackedFile &file : files)
        result.append(FileNames::fileName(file.filePath));
    return result;
}

void setSwitches(bool desktop, bool downloads)
{
    TestHome::store().setValue(u"includeDesktop"_s, desktop);
    TestHome::store().setValue(u"includeDownloads"_s, downloads);
}

// A file system whose listing cannot tell the modification time of some names.
class UnknownDates final : public FileSystem
{
public:
    FolderListing listFolder(const QString &folder) const override
    {
        FolderListing listing = FileSystem::listFolder(folder);
        for (FolderEntry &entry : listing.entries) {
            if (names.contains(FileNames::fileName(entry.path)))
                entry.modifiedNs = FolderEntry::unknownTime;
        }
        return listing;
    }
    QStringList names;
};

// A file system on which one folder's listing does not return until the test lets it, as on
// a drive that has stopped answering, and another folder answers only after a short while.
class StallingFolder final : public FileSystem
{
public:
    FolderListing listFolder(const QString &folder) const override
    {
        if (folder == slow)
            QThread::msleep(300);
        if (folder != stalled)
            return FileSystem::listFolder(folder);
        ++started;
        {
            std::unique_lock lock(mutex);
            answered.wait(lock, [this] { return answering; });
        }
        FolderListing listing = FileSystem::listFolder(folder);
        ++finished;
        return listing;
    }
    void answer()
    {
        const std::lock_guard lock(mutex);
        answering = true;
        answered.notify_all();
    }

    QString stalled;
    QString slow;
    mutable std::atomic<int> started = 0;
    mutable std::atomic<int> finished = 0;

private:
    mutable std::mutex mutex;
    mutable std::condition_variable answered;
    bool answering = false;
};

} // namespace

class TestScan final : public TemporaryHomeSuite
{
    Q_OBJECT

private slots:
    void filtersAndCounts();
    void consoleLines_data();
    void consoleLines();
    void order_data();
    void order();
    void recordFields();
    void folderThatDoesNotAnswer();
};

void TestScan::filtersAndCounts()
{
    TestHome home;
    setSwitches(false, true);
    const QString downloads = home.folder(u"Downloads"_s);
    QVERIFY(writeFile(downloads + u"/regular.txt"_s));
    QVERIFY(writeFile(downloads + u"/.dotfile"_s));
    QVERIFY(writeFile(downloads + u"/listed-in-hidden.txt"_s));
    QVERIFY(writeFile(downloads + u"/.hidden"_s, "listed-in-hidden.txt\nnot-there\n"));
    home.folder(u"Downloads/sub-folder"_s);
    QVERIFY(QFile::link(downloads + u"/regular.txt"_s, downloads + u"/link-to-file"_s));
    QVERIFY(QFile::link(downloads + u"/sub-folder"_s, downloads + u"/link-to-folder"_s));
    QVERIFY(QFile::link(downloads + u"/gone"_s, downloads + u"/dangling"_s));

    AppState state;

    QStringList admitted = names(state.files());
    admitted.sort();
    QCOMPARE(admitted, (QStringList{u"link-to-file"_s, u"regular.txt"_s}));
    // The listing already leaves out dot-names and .hidden names; the count is of what it
    // returned, before the folder and existence tests.
    QVERIFY(home.lines().contains(u"Found 5 items"_s));
    QCOMPARE(home.lines().last(), u"Total files: 2"_s);
}

void TestScan::consoleLines_data()
{
    QTest::addColumn<bool>("desktop");
    QTest::addColumn<bool>("downloads");
    QTest::addColumn<QStringList>("custom");   // relative to the home; "*" = nothing stored
    QTest::addColumn<QStringList>("userDirs"); // lines of user-dirs.dirs
    QTest::addColumn<QStringList>("expected");

    const QStringList german{u"XDG_DESKTOP_DIR=\"$HOME/Schreibtisch\""_s};
    // Stored by earlier versions as the default list: still the standard folders.
    QTest::newRow("home Desktop stored, desktop named otherwise")
        << true << true << QStringList{u"Desktop"_s, u"Downloads"_s} << german
        << QStringList{u"Scanning: HOME/Schreibtisch"_s, u"Found 1 items"_s,
                       u"Scanning: HOME/Downloads"_s, u"Found 0 items"_s, u"Total files: 1"_s};
    QTest::newRow("desktop named by the desktop, switched off")
        << false << true << QStringList{u"Schreibtisch"_s, u"Downloads"_s} << german
        << QStringList{u"Scanning: HOME/Downloads"_s, u"Found 0 items"_s, u"Total files: 0"_s};
    QTest::newRow("desktop set to the home folder")
        << true << true << QStringList{u"*"_s} << QStringList{u"XDG_DESKTOP_DIR=\"$HOME/\""_s}
        << QStringList{u"Scanning: HOME/Downloads"_s, u"Found 0 items"_s, u"Total files: 0"_s};
    QTest::newRow("missing custom folder, a file as a folder")
        << false << false << QStringList{u"Nowhere"_s, u"Desktop/a.txt"_s, u"Desktop/inner"_s}
        << QStringList()
        << QStringList{u"Scanning: HOME/Nowhere"_s,
                       u"Error scanning HOME/Nowhere: No such file or directory"_s,
                       u"Scanning: HOME/Desktop/a.txt"_s,
                       u"Error scanning HOME/Desktop/a.txt: Not a directory"_s,
                       u"Scanning: HOME/Desktop/inner"_s,
                       u"Found 1 items"_s,
                       u"Total files: 1"_s};
    // One folder by three names: each file is listed once.
    QTest::newRow("Downloads set to the Desktop, which is a custom folder too")
        << true << true << QStringList{u"Desktop/"_s}
        << QStringList{u"XDG_DOWNLOAD_DIR=\"$HOME/Desktop\""_s}
        << QStringList{u"Scanning: HOME/Desktop"_s, u"Found 2 items"_s, u"Total files: 1"_s};
    QTest::newRow("a custom folder that links to the Desktop")
        << true << false << QStringList{u"Desktop link"_s} << QStringList()
        << QStringList{u"Scanning: HOME/Desktop"_s, u"Found 2 items"_s, u"Total files: 1"_s};
}

void TestScan::consoleLines()
{
    QFETCH(bool, desktop);
    QFETCH(bool, downloads);
    QFETCH(QStringList, custom);
    QFETCH(QStringList, userDirs);
    QFETCH(QStringList, expected);

    TestHome home;
    const UserDirsFile names(userDirs);
    setSwitches(desktop, downloads);
    QVERIFY(writeFile(home.folder(u"Desktop"_s) + u"/a.txt"_s));
    QVERIFY(writeFile(home.folder(u"Desktop/inner"_s) + u"/b.txt"_s));
    QVERIFY(writeFile(home.folder(u"Schreibtisch"_s) + u"/c.txt"_s));
    home.folder(u"Downloads"_s);
    QVERIFY(QFile::link(home.path(u"Desktop"_s), home.path(u"Desktop link"_s)));
    if (custom != QStringList{u"*"_s}) {
        QList<QUrl> folders;
        for (const QString &relative : custom)
            folders.append(QUrl::fromLocalFile(home.path(relative)));
        FolderAccessService::shared().saveFolders(folders);
    }
    AppState state;
    home.lines().clear();

    state.scanFolders();

    expected.replaceInStrings(u"HOME"_s, home.path());
    QCOMPARE(home.lines(), expected);
}

void TestScan::order_data()
{
    // "folder/name@seconds after ten"; a "?" after the seconds: the listing cannot tell them.
    QTest::addColumn<QStringList>("files");
    QTest::addColumn<QStringList>("expected");

    QTest::newRow("ties keep Desktop before Downloads")
        << QStringList{u"Downloads/b@60"_s, u"Desktop/a@60"_s, u"Downloads/newer@61"_s}
        << QStringList{u"newer"_s, u"a"_s, u"b"_s};
    QTest::newRow("sub-second difference counts")
        << QStringList{u"Desktop/first@0"_s, u"Desktop/second@0.5"_s}
        << QStringList{u"second"_s, u"first"_s};
    // Unknown dates sort after every known one, in scan order among themselves.
    QTest::newRow("unreadable dates come last")
        << QStringList{u"Downloads/old@0"_s, u"Downloads/unknown-1@500?"_s, u"Downloads/new@100"_s,
                       u"Desktop/unknown-0@900?"_s}
        << QStringList{u"new"_s, u"old"_s, u"unknown-0"_s, u"unknown-1"_s};
}

void TestScan::order()
{
    QFETCH(QStringList, files);
    QFETCH(QStringList, expected);

    TestHome home;
    home.folder(u"Desktop"_s);
    home.folder(u"Downloads"_s);
    UnknownDates fileSystem;
    for (const QString &spec : files) {
        QStringList parts = spec.split(u'@');
        if (parts[1].endsWith(u'?')) {
            fileSystem.names.append(FileNames::fileName(parts.at(0)));
            parts[1].chop(1);
        }
        QFile file(home.path(parts.at(0)));
        const qint64 ms = tenOClock * 1000 + qint64(parts.at(1).toDouble() * 1000);
        QVERIFY(file.open(QIODevice::WriteOnly) &&
                file.setFileTime(QDateTime::fromMSecsSinceEpoch(ms),
                                 QFileDevice::FileModificationTime));
    }
    AppState state(fileSystem);
    QCOMPARE(names(state.files()), expected);
}

void TestScan::recordFields()
{
    TestHome home;
    const QString downloads = home.folder(u"Downloads"_s);
    QVERIFY(writeFile(downloads + u"/report.pdf"_s, QByteArray(2048, 'p'), tenOClock + 1));
    const QByteArray raw = QFile::encodeName(downloads) + "/caf\xe9 menu.txt";
    QVERIFY(writeFile(raw, "latin-1 name", tenOClock));

    AppState state;
    const QList<TrackedFile> files = state.files();

    QCOMPARE(files.size(), 2);
    QCOMPARE(files.at(0).fileSize, 2048);
    // A name that is not UTF-8 is carried byte for byte and shown with a replacement character.
    QCOMPARE(PathCodec::encode(files.at(1).filePath), raw);
    QCOMPARE(FileNames::displayName(files.at(1).filePath), u"caf\uFFFD menu.txt"_s);
    QCOMPARE(files.at(1).fileSize, 12);
}

void TestScan::folderThatDoesNotAnswer()
{
    TestHome home;
    setSwitches(true, true);
    QVERIFY(writeFile(home.folder(u"Desktop"_s) + u"/a.txt"_s, "a", tenOClock + 3));
    QVERIFY(writeFile(home.folder(u"Downloads"_s) + u"/b.txt"_s, "b", tenOClock + 2));
    const QString stalled = home.folder(u"Share"_s);
    QVERIFY(writeFile(stalled + u"/c.txt"_s, "c", tenOClock + 1));
    const QString slow = home.folder(u"Slow"_s);
    QVERIFY(writeFile(slow + u"/d.txt"_s, "d", tenOClock));
    FolderAccessService::shared().saveFolders(
        {QUrl::fromLocalFile(stalled), QUrl::fromLocalFile(slow)});
    // Outlives the test: the stuck listing's thread still holds it when the test ends.
    static StallingFolder fileSystem;
    fileSystem.stalled = stalled;
    fileSystem.slow = slow;
    const auto answer = qScopeGuard([] { fileSystem.answer(); });

    // The first scan gives up on the folder after about 2 s; the other folders are listed,
    // the slow one included, in their usual order.
    QElapsedTimer timer;
    timer.start();
    AppState state(fileSystem);
    QVERIFY2(timer.elapsed() < 10'000, "the scan waited for the folder that does not answer");
    const QStringList expected{u"Scanning: "_s + home.path(u"Desktop"_s),
                               u"Found 1 items"_s,
                               u"Scanning: "_s + home.path(u"Downloads"_s),
                               u"Found 1 items"_s,
                               u"Scanning: "_s + stalled,
                               u"Error scanning "_s + stalled + u": the folder does not respond"_s,
                               u"Scanning: "_s + slow,
                               u"Found 1 items"_s,
                               u"Total files: 3"_s};
    QCOMPARE(home.lines().mid(home.lines().size() - expected.size()), expected);
    QCOMPARE(names(state.files()), (QStringList{u"a.txt"_s, u"b.txt"_s, u"d.txt"_s}));

    // Scans while it is still stuck: no second listing of that folder.
    home.lines().clear();
    state.scanFolders();
    QCOMPARE(home.lines(), expected);
    QCOMPARE(fileSystem.started.load(), 1);

    // Once it answers, the next scan lists it afresh.
    fileSystem.answer();
    QTRY_COMPARE(fileSystem.finished.load(), 1);
    QVERIFY(writeFile(stalled + u"/e.txt"_s, "e", tenOClock + 4));
    home.lines().clear();
    state.scanFolders();
    QCOMPARE(fileSystem.started.load(), 2);
    QVERIFY(!home.lines().join(u'\n').contains(u"does not respond"_s));
    QCOMPARE(names(state.files()),
             (QStringList{u"e.txt"_s, u"a.txt"_s, u"b.txt"_s, u"c.txt"_s, u"d.txt"_s}));
}

QTEST_GUILESS_MAIN(TestScan)
#include "tst_Scan.moc"
