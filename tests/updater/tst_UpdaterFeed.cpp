// SPDX-License-Identifier: GPL-3.0-or-later
#include "AppcastParser.h"
#include "DownloadFileName.h"
#include "Ed25519Verifier.h"
#include "FileNames.h"
#include "TestSigningKey.h"
#include "UpdateUrlPolicy.h"
#include "VersionComparison.h"

#include <QTest>

using namespace Qt::StringLiterals;

namespace {

QByteArray feed(const QByteArray &items)
{
    return "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n"
           "<rss version=\"2.0\" "
           "xmlns:sparkle=\"http://www.andymatuschak.org/xml-namespaces/sparkle\">"
           "<channel><title>Mirel</title>" +
           items + "</channel></rss>";
}

} // namespace

class TestUpdaterFeed final : public QObject
{
    Q_OBJECT

private slots:
    void compareVersions_data();
    void compareVersions();
    void parse_data();
    void parse();
    void parseReadsEveryField();
    void urlPolicy_data();
    void urlPolicy();
    void fileNameFromUrl_data();
    void fileNameFromUrl();
    void signatureOfWrongSize();
};

void TestUpdaterFeed::compareVersions_data()
{
    QTest::addColumn<QString>("left");
    QTest::addColumn<QString>("right");
    QTest::addColumn<int>("expected");
    QTest::newRow("1.10 is newer than 1.9") << u"1.10"_s << u"1.9"_s << 1;
    QTest::newRow("missing parts are zero") << u"1.0"_s << u"1.0.0"_s << 0;
    QTest::newRow("longer is newer when not zero") << u"1.0.1"_s << u"1.0"_s << 1;
    QTest::newRow("leading zeros") << u"01.002"_s << u"1.2"_s << 0;
    QTest::newRow("more digits than any integer")
        << u"1.123456789012345678901234567890"_s << u"1.99999999999999999999"_s << 1;
    QTest::newRow("pre-release is older") << u"1.2b1"_s << u"1.2"_s << -1;
    QTest::newRow("pre-releases by text") << u"1.2b2"_s << u"1.2b1"_s << 1;
    QTest::newRow("surrounding space") << u" 2.0 "_s << u"2"_s << 0;
    QTest::newRow("empty is oldest") << u""_s << u"0.0.1"_s << -1;
}

void TestUpdaterFeed::compareVersions()
{
    QFETCH(QString, left);
    QFETCH(QString, right);
    QFETCH(int, expected);
    QCOMPARE(::compareVersions(left, right), expected);
    QCOMPARE(::compareVersions(right, left), -expected);
}

void TestUpdaterFeed::parse_data()
{
    QTest::addColumn<QByteArray>("document");
    QTest::addColumn<bool>("isFeed");
    QTest::addColumn<int>("itemCount");
    QTest::addColumn<QString>("newest");

    const auto item = [](const QByteArray &version) -> QByteArray {
        return "<item><sparkle:version>" + version +
               "</sparkle:version><enclosure url=\"https://example.org/a\" length=\"1\"/></item>";
    };
    const QByteArray item12 = item("1.2");
    QTest::newRow("newest by number, not by order or text")
        << feed(item("1.9") + item("1.10") + item12) << true << 3 << u"1.10"_s;
    QTest::newRow("versions on the enclosure")
        << feed("<item><enclosure url=\"https://example.org/m.AppImage\" length=\"3\" "
                "sparkle:version=\"2.1\" sparkle:shortVersionString=\"2.1 beta\"/></item>")
        << true << 1 << u"2.1"_s;
    QTest::newRow("item without a version is skipped")
        << feed("<item><title>News</title></item>" + item12) << true << 1 << u"1.2"_s;
    QTest::newRow("item without a download is skipped")
        << feed("<item><sparkle:version>9</sparkle:version></item>" + item12) << true << 1
        << u"1.2"_s;
    QTest::newRow("unknown elements are skipped")
        << feed("<item><sparkle:minimumSystemVersion>1</sparkle:minimumSystemVersion>"
                "<category><sub>x</sub></category>"
                "<sparkle:version>3</sparkle:version>"
                "<enclosure url=\"https://example.org/z\" length=\"1\"/></item>")
        << true << 1 << u"3"_s;
    QTest::newRow("version in another namespace does not count")
        << QByteArray("<rss xmlns:sparkle=\"urn:other\"><channel><item>"
                      "<sparkle:version>5</sparkle:version>"
                      "<enclosure url=\"https://example.org/z\" length=\"1\"/>"
                      "</item></channel></rss>")
        << false << 0 << QString();
    QTest::newRow("feed with no release") << feed("") << false << 0 << QString();
    QTest::newRow("malformed XML")
        << QByteArray("<rss><channel><item><sparkle:version>1") << false << 0 << QString();
    QTest::newRow("an HTML page") << QByteArray("<html><body>Moved</body></html>") << false << 0
                                  << QString();
    QTest::newRow("document type with entities refused")
        << QByteArray("<?xml version=\"1.0\"?><!DOCTYPE rss [<!ENTITY a \"aaaaaaaa\">"
                      "<!ENTITY b \"&a;&a;&a;&a;&a;&a;&a;&a;\">]>") +
               feed(item12).mid(feed(item12).indexOf("<rss"))
        << false << 0 << QString();
}

void TestUpdaterFeed::parse()
{
    QFETCH(QByteArray, document);
    QFETCH(bool, isFeed);
    QFETCH(int, itemCount);
    QFETCH(QString, newest);
    const AppcastParser::Result result = AppcastParser::parse(document);
    QCOMPARE(result.isFeed(), isFeed);
    QCOMPARE(result.items.size(), itemCount);
    const AppcastItem *item = newestItem(result.items);
    QCOMPARE(item ? item->version : QString(), newest);
}

void TestUpdaterFeed::parseReadsEveryField()
{
    const QByteArray document =
        feed("<item><title>Mirel 2.0</title>"
             "<pubDate>Sat, 05 Dec 2026 10:00:00 +0000</pubDate>"
             "<sparkle:version>200</sparkle:version>"
             "<sparkle:shortVersionString>2.0</sparkle:shortVersionString>"
             "<sparkle:releaseNotesLink>https://example.org/notes</sparkle:releaseNotesLink>"
             "<description><![CDATA[<p>Faster <b>scans</b></p>]]></description>"
             "<enclosure url=\"https://example.org/Mirel-2.0.AppImage\" length=\"12345\" "
             "type=\"application/octet-stream\" sparkle:version=\"ignored\" "
             "sparkle:edSignature=\"c2lnbmF0dXJl\"/></item>");
    const AppcastParser::Result result = AppcastParser::parse(document);
    QVERIFY2(result.isFeed(), qPrintable(result.error));
    QCOMPARE(result.items.size(), 1);
    const AppcastItem &item = result.items.first();
    QCOMPARE(item.title, u"Mirel 2.0"_s);
    QCOMPARE(item.published, QDateTime(QDate(2026, 12, 5), QTime(10, 0), Qt::UTC));
    QCOMPARE(item.version, u"200"_s); // the element wins over the enclosure's attribute
    QCOMPARE(item.displayVersion(), u"2.0"_s);
    QCOMPARE(item.releaseNotesLink, QUrl(u"https://example.org/notes"_s));
    QCOMPARE(item.description, u"<p>Faster <b>scans</b></p>"_s);
    QCOMPARE(item.enclosureUrl, QUrl(u"https://example.org/Mirel-2.0.AppImage"_s));
    QCOMPARE(item.enclosureLength, 12345);
    QCOMPARE(item.enclosureType, u"application/octet-stream"_s);
    QCOMPARE(item.edSignature, u"c2lnbmF0dXJl"_s);
}

void TestUpdaterFeed::urlPolicy_data()
{
    QTest::addColumn<QString>("feed");
    QTest::addColumn<QString>("url");
    QTest::addColumn<bool>("allowed");
    const QString published = u"https://updates.example.org/feed.xml"_s;
    const QString local = u"http://127.0.0.1:8080/feed.xml"_s;
    QTest::newRow("https anywhere") << published << u"https://updates.example.org/a"_s << true;
    QTest::newRow("http elsewhere") << published << u"http://updates.example.org/a"_s << false;
    QTest::newRow("http to a public address") << local << u"http://192.0.2.1/a"_s << false;
    // A published feed must not be able to send Mirel to a service on this machine.
    QTest::newRow("https feed, http on 127.0.0.1") << published << u"http://127.0.0.1/a"_s << false;
    QTest::newRow("https feed by name, http on 127.0.0.1")
        << u"https://localhost/feed.xml"_s << u"http://127.0.0.1/a"_s << false;
    QTest::newRow("local feed, http on 127.0.0.1") << local << u"http://127.0.0.1:9/a"_s << true;
    QTest::newRow("local feed, http on 127.1.2.3") << local << u"http://127.1.2.3/a"_s << true;
    QTest::newRow("local feed on ::1, http on ::1")
        << u"http://[::1]:8080/feed.xml"_s << u"http://[::1]:8080/a"_s << true;
    QTest::newRow("local feed, https elsewhere") << local << u"https://example.org/a"_s << true;
    QTest::newRow("local feed, http to localhost by name")
        << local << u"http://localhost/a"_s << false;
    QTest::newRow("local feed, http to 128.0.0.1") << local << u"http://128.0.0.1/a"_s << false;
    QTest::newRow("a local file") << local << u"file:///etc/passwd"_s << false;
    QTest::newRow("ftp") << local << u"ftp://127.0.0.1/feed.xml"_s << false;
    QTest::newRow("relative") << local << u"/feed.xml"_s << false;
}

void TestUpdaterFeed::urlPolicy()
{
    QFETCH(QString, feed);
    QFETCH(QString, url);
    QFETCH(bool, allowed);
    QCOMPARE(UpdateUrlPolicy(QUrl(feed)).allows(QUrl(url)), allowed);
}

void TestUpdaterFeed::fileNameFromUrl_data()
{
    QTest::addColumn<QString>("url");
    QTest::addColumn<QString>("name");
    QTest::newRow("plain") << u"https://e.org/d/Mirel-2.0.AppImage"_s << u"Mirel-2.0.AppImage"_s;
    QTest::newRow("encoded separator") << u"https://e.org/d/..%2F..%2F.bashrc"_s << u"bashrc"_s;
    QTest::newRow("hidden name") << u"https://e.org/d/.profile"_s << u"profile"_s;
    QTest::newRow("no name") << u"https://e.org/"_s << u"Mirel-update"_s;
    QTest::newRow("control character") << u"https://e.org/a%0Ab.deb"_s << u"ab.deb"_s;
    QTest::newRow("dots and spaces in turn") << u"https://e.org/d/.%20.%09.bashrc"_s << u"bashrc"_s;
    QTest::newRow("space and two dots") << u"https://e.org/d/%20.."_s << u"Mirel-update"_s;
    QTest::newRow("odd spaces") << u"https://e.org/d/%E3%80%80Mirel%C2%A0%20%202.deb%20"_s
                                << u"Mirel 2.deb"_s;
    const QString cjk(200, QChar(0x4E2D)); // three bytes each in UTF-8
    QTest::newRow("200 CJK characters, extension kept")
        << u"https://e.org/d/"_s + cjk + u".AppImage"_s
        << QString(80, QChar(0x4E2D)) + u".AppImage"_s;
    QTest::newRow("200 CJK characters, no extension")
        << u"https://e.org/d/"_s + cjk << QString(83, QChar(0x4E2D));
    QTest::newRow("four-byte characters are not split")
        << u"https://e.org/d/"_s + QString(100, u'a') +
               QString::fromUcs4(U"\U0001F600").repeated(50)
        << QString(100, u'a') + QString::fromUcs4(U"\U0001F600").repeated(37);
    QTest::newRow("right-to-left override")
        << u"https://e.org/d/Mirel%E2%80%AEgepj.AppImage"_s << u"Mirelgepj.AppImage"_s;
    QTest::newRow("isolates and marks")
        << u"https://e.org/d/%E2%81%A7Mirel%E2%80%8F%E2%81%A9.deb"_s << u"Mirel.deb"_s;
    QTest::newRow("zero-width space hides a dot")
        << u"https://e.org/d/%E2%80%8B.bashrc"_s << u"bashrc"_s;
    QTest::newRow("zero-width characters only")
        << u"https://e.org/d/%E2%80%8B%E2%80%8C%E2%80%8D%EF%BB%BF%E2%81%A0"_s << u"Mirel-update"_s;
    QTest::newRow("filler characters only")
        << u"https://e.org/d/%E3%85%A4%EF%BE%A0"_s << u"Mirel-update"_s;
}

void TestUpdaterFeed::fileNameFromUrl()
{
    QFETCH(QString, url);
    QFETCH(QString, name);
    const QString cleaned = DownloadFileName::fromUrl(QUrl(url));
    QCOMPARE(cleaned, name);
    // Every numbered variant the download may try still fits a Linux file name.
    QVERIFY(FileNames::clashName(cleaned, 999).toUtf8().size() <= 255);
}

// Valid, tampered and foreign signatures are checked on real downloads in the check test.
void TestUpdaterFeed::signatureOfWrongSize()
{
    const TestSigningKey key;
    const QByteArray message = "Mirel 2.0";
    const QByteArray publicKey = QByteArray::fromBase64(key.publicKeyBase64());
    const QByteArray signature = QByteArray::fromBase64(key.signBase64(message));
    QVERIFY(Ed25519Verifier::verify(publicKey, signature, message));
    // Keys and signatures of the wrong size are refused, never read past their end.
    QVERIFY(!Ed25519Verifier::verify(publicKey.left(31), signature, message));
    QVERIFY(!Ed25519Verifier::verify(publicKey, signature.left(63), message));
}

QTEST_GUILESS_MAIN(TestUpdaterFeed)
#include "tst_UpdaterFeed.moc"
