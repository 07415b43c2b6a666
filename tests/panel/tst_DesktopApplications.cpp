// SPDX-License-Identifier: GPL-3.0-or-later
#include "DesktopApplications.h"

#include <QDir>
#include <QFile>
#include <QMimeDatabase>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

class TestDesktopApplications final : public QObject
{
    Q_OBJECT

private slots:
    void canOpen_data();
    void canOpen();
};

void TestDesktopApplications::canOpen_data()
{
    QTest::addColumn<QString>("file"); // under the temporary folder
    QTest::addColumn<QByteArray>("contents");
    QTest::addColumn<QString>("type");
    QTest::addColumn<bool>("expected");

    const QByteArray cache = "[MIME Cache]\n";
    QTest::newRow("listed in the cache")
        << u"applications/mimeinfo.cache"_s << cache + "application/pdf=viewer.desktop;\n"
        << u"application/pdf"_s << true;
    QTest::newRow("a type it derives from")
        << u"applications/mimeinfo.cache"_s << cache + "text/plain=editor.desktop;\n"
        << u"text/x-csrc"_s << true;
    QTest::newRow("only other types")
        << u"applications/mimeinfo.cache"_s << cache + "image/png=viewer.desktop;\n"
        << u"application/pdf"_s << false;
    QTest::newRow("no application after the type")
        << u"applications/mimeinfo.cache"_s << cache + "application/pdf=;\n"
        << u"application/pdf"_s << false;
    QTest::newRow("a default of the user's")
        << u"config/mimeapps.list"_s
        << QByteArray("[Default Applications]\napplication/pdf=viewer.desktop\n")
        << u"application/pdf"_s << true;
    QTest::newRow("only a removed association")
        << u"config/mimeapps.list"_s
        << QByteArray("[Removed Associations]\napplication/pdf=viewer.desktop;\n")
        << u"application/pdf"_s << false;
    QTest::newRow("an entry where there is no cache")
        << u"applications/viewer.desktop"_s
        << QByteArray("[Desktop Entry]\nType=Application\nMimeType=image/png;application/pdf;\n")
        << u"application/pdf"_s << true;
    QTest::newRow("the type under an action, not the entry")
        << u"applications/viewer.desktop"_s
        << QByteArray("[Desktop Entry]\nType=Application\n[Desktop Action x]\n"
                      "MimeType=application/pdf;\n")
        << u"application/pdf"_s << false;
}

void TestDesktopApplications::canOpen()
{
    QFETCH(QString, file);
    QFETCH(QByteArray, contents);
    QFETCH(QString, type);
    QFETCH(bool, expected);

    QTemporaryDir root;
    QVERIFY(QDir(root.path()).mkpath(u"config"_s));
    QVERIFY(QDir(root.path()).mkpath(u"applications"_s));
    QFile written(root.filePath(file));
    QVERIFY(written.open(QIODevice::WriteOnly));
    QCOMPARE(written.write(contents), contents.size());
    written.close();

    const QMimeType mime = QMimeDatabase().mimeTypeForName(type);
    QVERIFY(mime.isValid());
    QCOMPARE(DesktopApplications::canOpen(mime, {root.filePath(u"config"_s)},
                                          {root.filePath(u"applications"_s)}),
             expected);
}

QTEST_GUILESS_MAIN(TestDesktopApplications)
#include "tst_DesktopApplications.moc"
