// SPDX-License-Identifier: GPL-3.0-or-later
#include "AppState.h"
#include "FolderAccessService.h"
#include "TestHome.h"

#include <QProcess>
#include <QRect>
#include <QSettings>
#include <QSignalSpy>
#include <QTest>

#include <cstdio>
#include <cstdlib>

using namespace Qt::StringLiterals;

namespace {

// The folder list as a newly started Mirel reads it: this test program, started again.
QStringList foldersAfterRestart()
{
    QProcess probe;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(u"MIREL_PRINT_FOLDERS"_s, u"1"_s);
    probe.setProcessEnvironment(environment);
    probe.start(QCoreApplication::applicationFilePath(), {});
    if (!probe.waitForFinished(30000) || probe.exitCode() != 0)
        return {u"the second process failed"_s};
    return QString::fromUtf8(probe.readAllStandardOutput()).split(u'\n', Qt::SkipEmptyParts);
}

} // namespace

class TestSettings final : public QObject
{
    Q_OBJECT

public:
    static void initMain()
    {
        if (qEnvironmentVariableIsSet("MIREL_PRINT_FOLDERS")) {
            for (const QUrl &folder : FolderAccessService::shared().loadFolders())
                std::printf("%s\n", folder.toLocalFile().toUtf8().constData());
            std::exit(0);
        }
        useTemporaryHome();
    }

private slots:
    void storedSwitches_data();
    void storedSwitches();
    void assigningTheSameValueRescans();
    void folderList_data();
    void folderList();
};

void TestSettings::storedSwitches_data()
{
    QTest::addColumn<QVariant>("storedDesktop"); // invalid: nothing stored
    QTest::addColumn<bool>("includeDesktop");

    QTest::newRow("first launch") << QVariant() << true;
    QTest::newRow("stored false") << QVariant(false) << false;
}

void TestSettings::storedSwitches()
{
    QFETCH(QVariant, storedDesktop);
    QFETCH(bool, includeDesktop);

    TestHome home;
    if (storedDesktop.isValid())
        TestHome::store().setValue(u"includeDesktop"_s, storedDesktop);
    AppState state;

    QCOMPARE(state.includeDesktop(), includeDesktop);
    // Both switches are written back; the folder list is not.
    QCOMPARE(TestHome::store().value(u"includeDesktop"_s).toBool(), includeDesktop);
    QCOMPARE(TestHome::store().value(u"includeDownloads"_s).toBool(), true);
    QVERIFY(!TestHome::store().contains(u"monitoredFolders"_s));
}

void TestSettings::assigningTheSameValueRescans()
{
    TestHome home;
    const QString downloads = home.folder(u"Downloads"_s);
    for (int i = 0; i < 4; ++i)
        QVERIFY(writeFile(downloads + u"/f"_s + QString::number(i), "x", 1'700'000'000 + i));
    AppState state;
    state.setCurrentIndex(3);
    TestHome::store().remove(u"includeDownloads"_s);
    home.lines().clear();
    QSignalSpy files(&state, &AppState::filesChanged);
    QSignalSpy index(&state, &AppState::currentIndexChanged);

    state.setIncludeDownloads(true);

    QVERIFY(TestHome::store().contains(u"includeDownloads"_s));
    QCOMPARE(home.lines().last(), u"Total files: 4"_s);
    // The scan starts over at the newest file.
    QCOMPARE(state.currentFile()->filePath, downloads + u"/f3"_s);
    QVERIFY(files.count() >= 2); // emptied, then filled
    QCOMPARE(index.count(), 1);
}

void TestSettings::folderList_data()
{
    QTest::addColumn<QVariant>("stored");      // invalid: nothing stored
    QTest::addColumn<QString>("added");        // empty: nothing added
    QTest::addColumn<QStringList>("expected"); // HOME stands for the home folder
    QTest::addColumn<bool>("written");         // whether a list is stored in the end

    const QStringList defaults{u"HOME/Desktop"_s, u"HOME/Downloads"_s};
    const QStringList ab{u"/a"_s, u"/b"_s};
    QTest::newRow("nothing stored") << QVariant() << QString() << defaults << false;
    QTest::newRow("empty list") << QVariant(QStringList()) << QString() << QStringList() << true;
    const QStringList odd{u"/z"_s, u"/a, \"b\""_s, u"/é"_s};
    QTest::newRow("order kept") << QVariant(odd) << QString() << odd << true;
    QTest::newRow("wrong type") << QVariant(QRect(1, 2, 3, 4)) << QString() << defaults << true;
    QTest::newRow("relative entries are left out")
        << QVariant(QStringList{u"Downloads"_s, u"/srv/a"_s, u""_s, u"./x"_s, u"~/y"_s})
        << QString() << QStringList{u"/srv/a"_s} << true;
    QTest::newRow("first folder added stores the defaults too")
        << QVariant() << u"/srv/work"_s << defaults + QStringList{u"/srv/work"_s} << true;
    QTest::newRow("home Desktop added while nothing stored")
        << QVariant() << u"HOME/Desktop"_s << defaults << false;
    QTest::newRow("duplicate added") << QVariant(ab) << u"/b"_s << ab << true;
    QTest::newRow("case differs") << QVariant(QStringList{u"/a"_s}) << u"/A"_s
                                  << QStringList{u"/a"_s, u"/A"_s} << true;
    QTest::newRow("added to an empty list")
        << QVariant(QStringList()) << u"/a"_s << QStringList{u"/a"_s} << true;
    QTest::newRow("relative path is refused") << QVariant() << u"srv/work"_s << defaults << false;
}

void TestSettings::folderList()
{
    QFETCH(QVariant, stored);
    QFETCH(QString, added);
    QFETCH(QStringList, expected);
    QFETCH(bool, written);

    TestHome home;
    if (stored.isValid())
        TestHome::store().setValue(u"monitoredFolders"_s, stored);
    if (!added.isEmpty())
        FolderAccessService::shared().addFolder(
            QUrl::fromLocalFile(added.replace(u"HOME"_s, home.path())));
    TestHome::store().sync();

    expected.replaceInStrings(u"HOME"_s, home.path());
    QStringList loaded;
    for (const QUrl &url : FolderAccessService::shared().loadFolders())
        loaded.append(url.toLocalFile());
    QCOMPARE(loaded, expected);
    QCOMPARE(foldersAfterRestart(), expected);
    // Reading never writes.
    QCOMPARE(TestHome::store().contains(u"monitoredFolders"_s), written);
}

QTEST_GUILESS_MAIN(TestSettings)
#include "tst_Settings.moc"
