// SPDX-License-Identifier: GPL-3.0-or-later
#include "AppState.h"
#include "FolderAccessService.h"
#include "TestHome.h"

#include <QProcess>
#include <QRect>
#include <QSettings>
#include <QSignalSpy>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

QStringList paths(const QList<QUrl> &urls)
{
    QStringList result;
    for (const QUrl &url : urls)
        result.append(url.toLocalFile());
    return result;
}

QStringList scannedFolders(const QStringList &lines)
{
    QStringList folders;
    for (const QString &line : lines) {
        if (line.startsWith(u"Scanning: "_s))
            folders.append(line.sliced(10));
    }
    return folders;
}

} // namespace

class TestSettings final : public QObject
{
    Q_OBJECT

public:
    static void initMain() { useTemporaryHome(); }

private slots:
    void storedSwitches_data();
    void storedSwitches();
    void assigningTheSameValueRescans();
    void folderList_data();
    void folderList();
    void addFolder_data();
    void addFolder();
    void storedListSurvivesRestart_data();
    void storedListSurvivesRestart();
    void keptFilesPathIsNotStored();
};

void TestSettings::storedSwitches_data()
{
    QTest::addColumn<QVariant>("storedDesktop"); // invalid: nothing stored
    QTest::addColumn<bool>("includeDesktop");

    QTest::newRow("first launch") << QVariant() << true;
    QTest::newRow("stored false") << QVariant(false) << false;
    // A value of another type counts as present and reads as the store converts it.
    QTest::newRow("text 'false'") << QVariant(u"false"_s) << false;
}

void TestSettings::storedSwitches()
{
    QFETCH(QVariant, storedDesktop);
    QFETCH(bool, includeDesktop);

    TestHome home;
    home.folder(u"Desktop"_s);
    home.folder(u"Downloads"_s);
    if (storedDesktop.isValid())
        TestHome::store().setValue(u"includeDesktop"_s, storedDesktop);
    AppState state;

    QCOMPARE(state.includeDesktop(), includeDesktop);
    // Both switches are written back; the folder list is not.
    QCOMPARE(TestHome::store().value(u"includeDesktop"_s).toBool(), includeDesktop);
    QCOMPARE(TestHome::store().value(u"includeDownloads"_s).toBool(), true);
    QVERIFY(!TestHome::store().contains(u"monitoredFolders"_s));
    // Three scans at start-up: one per switch assignment and one more.
    QStringList expected{home.path(u"Downloads"_s)};
    if (includeDesktop)
        expected.prepend(home.path(u"Desktop"_s));
    QCOMPARE(scannedFolders(home.lines()), expected + expected + expected);
    QCOMPARE(home.scanCount(), 3);
}

void TestSettings::assigningTheSameValueRescans()
{
    TestHome home;
    const QString downloads = home.folder(u"Downloads"_s);
    for (int i = 0; i < 4; ++i)
        QVERIFY(writeFile(downloads + u"/f"_s + QString::number(i)));
    AppState state;
    state.setCurrentIndex(3);
    TestHome::store().remove(u"includeDownloads"_s);
    home.lines().clear();
    QSignalSpy indexChanges(&state, &AppState::currentIndexChanged);

    state.setIncludeDownloads(true);

    QCOMPARE(state.currentIndex(), 0);
    QVERIFY(indexChanges.count() >= 1);
    QVERIFY(TestHome::store().contains(u"includeDownloads"_s));
    QCOMPARE(home.lines().last(), u"Total files: 4"_s);
}

void TestSettings::folderList_data()
{
    QTest::addColumn<QVariant>("stored");
    QTest::addColumn<bool>("defaults");
    QTest::addColumn<QStringList>("expected");

    QTest::newRow("nothing stored") << QVariant() << true << QStringList();
    QTest::newRow("empty list") << QVariant(QStringList()) << false << QStringList();
    QTest::newRow("order kept") << QVariant(QStringList{u"/z"_s, u"/a, b"_s, u"/é"_s}) << false
                                << QStringList{u"/z"_s, u"/a, b"_s, u"/é"_s};
    QTest::newRow("wrong type") << QVariant(QRect(1, 2, 3, 4)) << true << QStringList();
    QTest::newRow("relative entries are left out")
        << QVariant(QStringList{u"Downloads"_s, u"/srv/a"_s, u""_s, u"./x"_s, u"~/y"_s}) << false
        << QStringList{u"/srv/a"_s};
}

void TestSettings::folderList()
{
    QFETCH(QVariant, stored);
    QFETCH(bool, defaults);
    QFETCH(QStringList, expected);

    TestHome home;
    if (stored.isValid())
        TestHome::store().setValue(u"monitoredFolders"_s, stored);
    if (defaults)
        expected = {home.path(u"Desktop"_s), home.path(u"Downloads"_s)};
    QCOMPARE(paths(FolderAccessService::shared().loadFolders()), expected);
    // Reading never writes.
    QCOMPARE(TestHome::store().contains(u"monitoredFolders"_s), stored.isValid());
}

void TestSettings::addFolder_data()
{
    QTest::addColumn<QStringList>("before"); // empty with `nothingStored` means no value
    QTest::addColumn<bool>("nothingStored");
    QTest::addColumn<QString>("added");
    QTest::addColumn<QStringList>("after");
    QTest::addColumn<bool>("written");

    const QString home = u"HOME"_s;
    QTest::newRow("first folder stores the defaults too")
        << QStringList() << true << u"/srv/work"_s
        << QStringList{home + u"/Desktop"_s, home + u"/Downloads"_s, u"/srv/work"_s} << true;
    QTest::newRow("home Desktop while nothing stored")
        << QStringList() << true << home + u"/Desktop"_s << QStringList() << false;
    QTest::newRow("duplicate") << QStringList{u"/a"_s, u"/b"_s} << false << u"/b"_s
                               << QStringList{u"/a"_s, u"/b"_s} << true;
    QTest::newRow("case differs") << QStringList{u"/a"_s} << false << u"/A"_s
                                  << QStringList{u"/a"_s, u"/A"_s} << true;
    QTest::newRow("to an empty list")
        << QStringList() << false << u"/a"_s << QStringList{u"/a"_s} << true;
    QTest::newRow("relative path is refused")
        << QStringList() << true << u"srv/work"_s << QStringList() << false;
}

void TestSettings::addFolder()
{
    QFETCH(QStringList, before);
    QFETCH(bool, nothingStored);
    QFETCH(QString, added);
    QFETCH(QStringList, after);
    QFETCH(bool, written);

    TestHome home;
    added.replace(u"HOME"_s, home.path());
    after.replaceInStrings(u"HOME"_s, home.path());
    if (!nothingStored)
        TestHome::store().setValue(u"monitoredFolders"_s, before);

    FolderAccessService::shared().addFolder(QUrl::fromLocalFile(added));

    QCOMPARE(TestHome::store().contains(u"monitoredFolders"_s), written);
    if (written)
        QCOMPARE(paths(FolderAccessService::shared().loadFolders()), after);
}

void TestSettings::storedListSurvivesRestart_data()
{
    QTest::addColumn<QStringList>("saved");
    QTest::newRow("empty") << QStringList();
    QTest::newRow("comma and quote") << QStringList{u"/srv/a, \"b\""_s, u"/srv/ü"_s};
}

void TestSettings::storedListSurvivesRestart()
{
    QFETCH(QStringList, saved);
    TestHome home;
    QList<QUrl> urls;
    for (const QString &path : saved)
        urls.append(QUrl::fromLocalFile(path));
    FolderAccessService::shared().saveFolders(urls);
    TestHome::store().sync();

    QProcess probe;
    probe.start(QString::fromUtf8(SETTINGS_PROBE), {});
    QVERIFY(probe.waitForFinished(30000));
    QCOMPARE(probe.exitCode(), 0);
    const QStringList lines = QString::fromUtf8(probe.readAllStandardOutput()).split(u'\n');
    QCOMPARE(lines.first(), u"folders "_s + QString::number(saved.size()));
    QCOMPARE(lines.mid(1, saved.size()), saved);
}

void TestSettings::keptFilesPathIsNotStored()
{
    TestHome home;
    {
        AppState state;
        state.setKeptFilesPath(u"/elsewhere"_s);
    }
    AppState restarted;
    QCOMPARE(restarted.keptFilesPath(), home.path(u"Documents/Kept"_s));
    for (const QString &key : TestHome::store().allKeys())
        QVERIFY2(!TestHome::store().value(key).toString().contains(u"elsewhere"_s),
                 qPrintable(key));
}

QTEST_GUILESS_MAIN(TestSettings)
#include "tst_Settings.moc"
