// SPDX-License-Identifier: GPL-3.0-or-later
#include "BuildInfo.h"
#include "FolderAccessService.h"
#include "FolderDisplay.h"
#include "TestHome.h"

#include <QTest>

using namespace Qt::StringLiterals;

class TestFolderDisplay final : public QObject
{
    Q_OBJECT

public:
    static void initMain() { useTemporaryHome(); }

private slots:
    void abbreviatedPath_data();
    void abbreviatedPath();
    void customFolders_data();
    void customFolders();
    void buildInfoFallbacks_data();
    void buildInfoFallbacks();
};

void TestFolderDisplay::abbreviatedPath_data()
{
    QTest::addColumn<QString>("home");
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("expected");

    QTest::newRow("under the home")
        << u"/home/ann"_s << u"/home/ann/Projects/Site"_s << u"~/Projects/Site"_s;
    QTest::newRow("the home itself") << u"/home/ann"_s << u"/home/ann"_s << u"~"_s;
    QTest::newRow("string prefix, not a component")
        << u"/home/ann"_s << u"/home/anna/Work"_s << u"~a/Work"_s;
    QTest::newRow("outside the home")
        << u"/home/ann"_s << u"/media/Archive/Photos"_s << u"Photos"_s;
    QTest::newRow("outside, trailing slash") << u"/home/ann"_s << u"/srv/data/"_s << u"data"_s;
    QTest::newRow("the root") << u"/home/ann"_s << u"/"_s << u"/"_s;
    QTest::newRow("parent of the home") << u"/home/ann"_s << u"/home"_s << u"home"_s;
}

void TestFolderDisplay::abbreviatedPath()
{
    QFETCH(QString, home);
    QFETCH(QString, path);
    QFETCH(QString, expected);
    QCOMPARE(FolderDisplay::abbreviatedPath(QUrl::fromLocalFile(path), home), expected);
}

void TestFolderDisplay::customFolders_data()
{
    // Paths relative to the test's home unless they start with a slash; "<nothing>" leaves
    // the store without a list.
    QTest::addColumn<QStringList>("stored");
    QTest::addColumn<QStringList>("expected");
    QTest::addColumn<QStringList>("userDirs"); // lines of user-dirs.dirs

    QTest::newRow("nothing stored")
        << QStringList{u"<nothing>"_s} << QStringList{} << QStringList();
    QTest::newRow("empty list") << QStringList{} << QStringList{} << QStringList();
    QTest::newRow("only the standard folders")
        << QStringList{u"Desktop"_s, u"Downloads"_s} << QStringList{} << QStringList();
    QTest::newRow("standard folders hidden, others in order")
        << QStringList{u"Desktop"_s, u"/srv/b"_s, u"Downloads"_s, u"Desktop/Screenshots"_s,
                       u"/srv/a"_s}
        << QStringList{u"/srv/b"_s, u"Desktop/Screenshots"_s, u"/srv/a"_s} << QStringList();
    QTest::newRow("exact comparison: letter case and trailing slash")
        << QStringList{u"desktop"_s, u"Downloads/"_s} << QStringList{u"desktop"_s, u"Downloads/"_s}
        << QStringList();
    QTest::newRow("Desktop of another home")
        << QStringList{u"/home/other/Desktop"_s} << QStringList{u"/home/other/Desktop"_s}
        << QStringList();
    const QStringList german{u"XDG_DESKTOP_DIR=\"$HOME/Schreibtisch\""_s,
                             u"XDG_DOWNLOAD_DIR=\"$HOME/Herunterladen\""_s};
    QTest::newRow("folders named by the desktop, and the older defaults")
        << QStringList{u"Schreibtisch"_s, u"Desktop"_s, u"Herunterladen"_s, u"Downloads"_s,
                       u"/srv/a"_s}
        << QStringList{u"/srv/a"_s} << german;
    QTest::newRow("desktop set to the home: the home is a custom folder")
        << QStringList{u"/srv/a"_s, u""_s} << QStringList{u"/srv/a"_s, u""_s}
        << QStringList{u"XDG_DESKTOP_DIR=\"$HOME\""_s};
}

void TestFolderDisplay::customFolders()
{
    QFETCH(QStringList, stored);
    QFETCH(QStringList, expected);
    QFETCH(QStringList, userDirs);
    TestHome home;
    const UserDirsFile names(userDirs);
    const auto absolute = [&home](const QString &path) {
        if (path.isEmpty())
            return home.path();
        return path.startsWith(u'/') ? path : home.path(path);
    };
    if (stored != QStringList{u"<nothing>"_s}) {
        QList<QUrl> urls;
        for (const QString &path : std::as_const(stored))
            urls.append(QUrl::fromLocalFile(absolute(path)));
        FolderAccessService::shared().saveFolders(urls);
    }

    QStringList shown;
    for (const QUrl &folder : FolderDisplay::customFolders(FolderAccessService::shared()))
        shown.append(folder.toLocalFile());
    QStringList expectedPaths;
    for (const QString &path : std::as_const(expected))
        expectedPaths.append(absolute(path));
    QCOMPARE(shown, expectedPaths);
}

void TestFolderDisplay::buildInfoFallbacks_data()
{
    QTest::addColumn<QString>("version");
    QTest::addColumn<QString>("build");
    QTest::addColumn<QString>("shownVersion");
    QTest::addColumn<QString>("shownBuild");

    QTest::newRow("both set") << u"2.4.1"_s << u"318"_s << u"2.4.1"_s << u"318"_s;
    QTest::newRow("no version") << QString() << u"318"_s << u"1.0"_s << u"318"_s;
    QTest::newRow("no build number") << u"2.4.1"_s << QString() << u"2.4.1"_s << u"1"_s;
    QTest::newRow("blank build number") << u"0.1.0"_s << u"  "_s << u"0.1.0"_s << u"1"_s;
}

void TestFolderDisplay::buildInfoFallbacks()
{
    QFETCH(QString, version);
    QFETCH(QString, build);
    const BuildInfo info = BuildInfo::fromValues(version, build);
    QTEST(info.appVersion, "shownVersion");
    QTEST(info.buildNumber, "shownBuild");
}

QTEST_GUILESS_MAIN(TestFolderDisplay)
#include "tst_FolderDisplay.moc"
