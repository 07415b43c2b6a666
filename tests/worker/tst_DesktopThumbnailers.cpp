// SPDX-License-Identifier: GPL-3.0-or-later
#include "DesktopThumbnailers.h"
#include "PosixPaths.h"
#include "TestHome.h"
#include "ThumbnailerSandbox.h"

#include <QCryptographicHash>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QTest>

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

using namespace Qt::StringLiterals;
using PosixPaths::UniqueFd;
using ThumbnailerSandbox::Isolation;
using ThumbnailerSandbox::Outcome;

Q_DECLARE_METATYPE(ThumbnailerSandbox::Isolation)
Q_DECLARE_METATYPE(ThumbnailerSandbox::Outcome)

namespace {

// A Python helper every test thumbnailer starts with: writes an RGB PNG with text chunks.
const QByteArray pngWriter = R"(#!/usr/bin/python3
import os, socket, struct, sys, zlib
def png(path, w, h, rgb, texts={}, data=None):
    def chunk(kind, body):
        return struct.pack('>I', len(body)) + kind + body + struct.pack('>I', zlib.crc32(kind + body))
    raw = b''.join(b'\x00' + bytes(rgb) * w for _ in range(h)) if data is None else data
    out = b'\x89PNG\r\n\x1a\n' + chunk(b'IHDR', struct.pack('>IIBBBBB', w, h, 8, 2, 0, 0, 0))
    for key, value in texts.items():
        out += chunk(b'tEXt', key.encode() + b'\x00' + value.encode())
    out += chunk(b'IDAT', zlib.compress(raw)) + chunk(b'IEND', b'')
    with open(path, 'wb') as f:
        f.write(out)
source, target, size = sys.argv[1], sys.argv[2], int(sys.argv[3])
)";

QString writeScript(const QString &folder, const QString &name, const QByteArray &body)
{
    const QString path = folder + u'/' + name;
    const bool ok =
        writeFile(path, body) &&
        QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    return ok ? path : QString();
}

// Writes the file and opens it for reading; invalid when either fails.
PosixPaths::UniqueFd openNewFile(const QString &path, const QByteArray &bytes)
{
    return PosixPaths::UniqueFd(
        writeFile(path, bytes) ? ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC)
                               : -1);
}

bool processGone(pid_t pid)
{
    QFile stat(u"/proc/%1/stat"_s.arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return true;
    const QByteArray line = stat.readAll();
    const qsizetype close = line.lastIndexOf(')');
    return close > 0 && line.mid(close + 2, 1) == "Z"; // a zombie waiting for its reaper
}

// What a probe script saw, written as JSON into the pixels of its picture.
class Observations
{
public:
    explicit Observations(const QImage &image)
    {
        QByteArray bytes;
        for (int x = 0; x < image.width(); ++x) {
            const QRgb pixel = image.pixel(x, 0);
            bytes += char(qRed(pixel));
            bytes += char(qGreen(pixel));
            bytes += char(qBlue(pixel));
        }
        m_seen = QJsonDocument::fromJson(bytes.trimmed()).object();
    }
    QString text(const QString &key) const { return m_seen.value(key).toString(); }

private:
    QJsonObject m_seen;
};

QList<Isolation> isolations()
{
    QList<Isolation> result = {Isolation::LimitsOnly};
    if (ThumbnailerSandbox::bubblewrapWorks())
        result.append(Isolation::Bubblewrap);
    return result;
}

QString isolationName(Isolation isolation)
{
    return isolation == Isolation::Bubblewrap ? u"bwrap"_s : u"limits"_s;
}

} // namespace

class TestDesktopThumbnailers : public TemporaryHomeSuite
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        qInfo("bubblewrap %s",
              ThumbnailerSandbox::bubblewrapWorks() ? "works here" : "is missing or blocked");
    }

    void expandsExecLikeTheDesktop_data()
    {
        QTest::addColumn<QString>("exec");
        QTest::addColumn<QStringList>("expected");
        QTest::newRow("gdk-pixbuf's line")
            << u"/usr/bin/gdk-pixbuf-thumbnailer -s %s %u %o"_s
            << QStringList{u"/usr/bin/gdk-pixbuf-thumbnailer"_s, u"-s"_s, u"256"_s,
                           u"file:///in%20put/a%20b.odt"_s, u"/out/thumb.png"_s};
        QTest::newRow("a path with spaces stays one argument")
            << u"thumb %i   %o"_s
            << QStringList{u"thumb"_s, u"/in put/a b.odt"_s, u"/out/thumb.png"_s};
        QTest::newRow("quoted with escapes")
            << u"sh -c \"echo \\\"hi there\\\" > %o\""_s
            << QStringList{u"sh"_s, u"-c"_s, u"echo \"hi there\" > /out/thumb.png"_s};
        QTest::newRow("codes inside a word, and %%")
            << u"thumb --size=%s --input=%i 100%%"_s
            << QStringList{u"thumb"_s, u"--size=256"_s, u"--input=/in put/a b.odt"_s, u"100%"_s};
        QTest::newRow("unknown codes are dropped, an empty quote is kept")
            << u"thumb %f %i \"\""_s << QStringList{u"thumb"_s, u"/in put/a b.odt"_s, QString()};
    }
    void expandsExecLikeTheDesktop()
    {
        QFETCH(QString, exec);
        QFETCH(QStringList, expected);
        const QString input = u"/in put/a b.odt"_s;
        QCOMPARE(ThumbnailerSandbox::expandExec(
                     exec, {{u'i', input},
                            {u'u', QString::fromLatin1(QUrl::fromLocalFile(input).toEncoded())},
                            {u'o', u"/out/thumb.png"_s},
                            {u's', u"256"_s}}),
                 expected);
    }

    void picksTheInstalledThumbnailerForAType()
    {
        QTemporaryDir dir;
        const QString user = dir.filePath(u"user"_s);
        const QString system = dir.filePath(u"system"_s);
        QVERIFY(QDir().mkpath(user) && QDir().mkpath(system));
        const QString tool = writeScript(dir.path(), u"tool"_s, "#!/bin/sh\nexit 0\n");
        const auto entry = [&](const QString &folder, const QString &name, const QString &body) {
            QVERIFY(writeFile(folder + u'/' + name + u".thumbnailer"_s,
                              (u"# a comment\n[Thumbnailer Entry]\n"_s + body).toUtf8()));
        };
        // For zip files; office documents derive from zip.
        entry(system, u"archives"_s,
              u"TryExec=%1\nExec=%1 %i %o\nMimeType=application/zip;\n"_s.arg(tool));
        // The same name in the user's folder wins over the system's.
        entry(system, u"documents"_s,
              u"TryExec=/no/such/program\nExec=%1 %i %o\nMimeType=application/"
              "vnd.oasis.opendocument.text;\n"_s.arg(tool));
        entry(user, u"documents"_s,
              u"TryExec=%1\nExec=%1 --user %i %o\nMimeType=application/"
              "vnd.oasis.opendocument.text;\n"_s.arg(tool));
        // Not installed: its TryExec is missing, or no TryExec and its Exec program missing.
        entry(system, u"a-missing"_s,
              u"TryExec=/no/such/program\nExec=%1 %i\nMimeType=font/ttf;image/x-mirel;\n"_s.arg(
                  tool));
        entry(system, u"b-missing"_s, u"Exec=/no/such/program %i\nMimeType=font/ttf;\n"_s);
        entry(system, u"c-fonts"_s,
              u"TryExec=%1\nExec=%1 --font %i %o\nMimeType=font/ttf;\n"_s.arg(tool));
        entry(system, u"no-group"_s, u"[Other]\nExec=%1\nMimeType=text/x-mirel;\n"_s.arg(tool));

        const DesktopThumbnailers thumbnailers({user, system});
        QCOMPARE(thumbnailers.all().size(), 5);
        QCOMPARE(thumbnailers.forMimeType(u"application/vnd.oasis.opendocument.text"_s)->exec,
                 u"%1 --user %i %o"_s.arg(tool));
        // A .docx is a zip: the zip thumbnailer, through the parent type.
        QCOMPARE(
            thumbnailers
                .forMimeType(
                    u"application/vnd.openxmlformats-officedocument.wordprocessingml.document"_s)
                ->id,
            u"archives"_s);
        QCOMPARE(thumbnailers.forMimeType(u"font/ttf"_s)->id, u"c-fonts"_s);
        QVERIFY(!thumbnailers.forMimeType(u"image/x-mirel"_s));
        QVERIFY(!thumbnailers.forMimeType(u"text/x-mirel"_s));
        QVERIFY(!thumbnailers.forMimeType(u"text/x-csrc"_s)); // not through text/plain
    }

    void searchesTheXdgDataFolders()
    {
        const ScopedEnvironment environment{
            {"XDG_DATA_HOME", "/home/someone/.local/share"},
            {"XDG_DATA_DIRS", "/opt/share:relative/ignored:/usr/share/"}};
        QCOMPARE(DesktopThumbnailers::searchFolders(),
                 (QStringList{u"/home/someone/.local/share/thumbnailers"_s,
                              u"/opt/share/thumbnailers"_s, u"/usr/share/thumbnailers"_s}));
        qunsetenv("XDG_DATA_DIRS");
        QCOMPARE(DesktopThumbnailers::searchFolders().mid(1),
                 (QStringList{u"/usr/local/share/thumbnailers"_s, u"/usr/share/thumbnailers"_s}));
    }

    void runsAndChecksWhatItWrites_data()
    {
        QTest::addColumn<Isolation>("isolation");
        QTest::addColumn<QByteArray>("script");
        QTest::addColumn<Outcome>("outcome");
        QTest::addColumn<QSize>("size");

        for (const Isolation isolation : isolations()) {
            const QString name = isolationName(isolation);
            QTest::addRow("%s: a real PNG", qPrintable(name))
                << isolation << pngWriter + "png(target, 40, 30, (200, 30, 10))\n"
                << Outcome::Made << QSize(40, 30);
            QTest::addRow("%s: a larger one is scaled down", qPrintable(name))
                << isolation << pngWriter + "png(target, 600, 300, (200, 30, 10))\n"
                << Outcome::Made << QSize(128, 64);
            QTest::addRow("%s: garbage", qPrintable(name))
                << isolation
                << pngWriter + "open(target, 'wb').write(b'this is no picture at all')\n"
                << Outcome::BadOutput << QSize(0, 0);
            QTest::addRow("%s: a PNG that claims 100000 pixels a side", qPrintable(name))
                << isolation << pngWriter + "png(target, 100000, 100000, (0,0,0), data=b'')\n"
                << Outcome::BadOutput << QSize(0, 0);
            QTest::addRow("%s: a broken PNG", qPrintable(name))
                << isolation << pngWriter + "png(target, 50, 50, (0,0,0), data=b'\\x00' * 7)\n"
                << Outcome::BadOutput << QSize(0, 0);
            QTest::addRow("%s: nothing", qPrintable(name))
                << isolation << pngWriter + "sys.exit(0)\n"
                << Outcome::NoOutput << QSize(0, 0);
            QTest::addRow("%s: a PNG, then an error", qPrintable(name))
                << isolation << pngWriter + "png(target, 4, 4, (1,2,3))\nsys.exit(3)\n"
                << Outcome::Failed << QSize(0, 0);
            QTest::addRow("%s: hangs", qPrintable(name))
                << isolation << QByteArray("#!/bin/sh\nexec sleep 300\n") << Outcome::TimedOut
                << QSize(0, 0);
        }
    }
    void runsAndChecksWhatItWrites()
    {
        QFETCH(Isolation, isolation);
        QFETCH(QByteArray, script);
        QFETCH(Outcome, outcome);
        QFETCH(QSize, size);

        QTemporaryDir dir;
        const QString program = writeScript(dir.path(), u"thumbnailer"_s, script);
        const UniqueFd fd = openNewFile(dir.filePath(u"sample.odt"_s), "input bytes");
        QVERIFY(fd.isValid());

        ThumbnailerSandbox::Options options;
        options.size = 128;
        options.isolation = isolation;
        options.nameHint = u"sample.odt"_s;
        options.deadline = std::chrono::milliseconds(
            outcome == Outcome::TimedOut ? 700 : 20'000); // generous: a busy machine
        const auto result = ThumbnailerSandbox::run(program + u" %i %o %s"_s, fd.get(), options);
        QCOMPARE(result.outcome, outcome);
        QCOMPARE(result.sandboxed, isolation == Isolation::Bubblewrap);
        QCOMPARE(result.image.size(), size);
        if (outcome == Outcome::Made)
            QCOMPARE(result.image.pixelColor(0, 0).red(), 200);
        else
            QVERIFY(!result.detail.isEmpty());
    }

    void runsOnlyOnRegularFilesAndInstalledPrograms()
    {
        QTemporaryDir dir;
        const QString runs = dir.filePath(u"runs"_s);
        const QString program = writeScript(dir.path(), u"thumbnailer"_s,
                                            u"#!/bin/sh\necho run >> '%1'\n"_s.arg(runs).toUtf8());
        int pipeEnds[2];
        QCOMPARE(::pipe(pipeEnds), 0);
        const UniqueFd reading(pipeEnds[0]);
        const UniqueFd writing(pipeEnds[1]);
        ThumbnailerSandbox::Options options;
        options.isolation = Isolation::LimitsOnly;
        auto result = ThumbnailerSandbox::run(program + u" %i %o"_s, reading.get(), options);
        QCOMPARE(result.outcome, Outcome::CouldNotStart);
        QVERIFY(!QFile::exists(runs));

        const UniqueFd file = openNewFile(dir.filePath(u"in.bin"_s), "x");
        result = ThumbnailerSandbox::run(u"/no/such/thumbnailer %i %o"_s, file.get(), options);
        QCOMPARE(result.outcome, Outcome::CouldNotStart);
        QVERIFY(result.detail.contains(u"/no/such/thumbnailer"_s));

        // Executable, but no program the system can start: reported, not taken for a failure
        // of this file.
        const QString broken = writeScript(dir.path(), u"broken"_s,
                                           QByteArray("\x7f"
                                                      "ELF broken",
                                                      11));
        result = ThumbnailerSandbox::run(broken + u" %i %o"_s, file.get(), options);
        QCOMPARE(result.outcome, Outcome::CouldNotStart);
        QCOMPARE(result.detail, QString::fromLocal8Bit(strerror(ENOEXEC)));
    }

    // The same program, with the limit and without: the limit is what stops it.
    void limitsHold_data()
    {
        QTest::addColumn<Isolation>("isolation");
        QTest::addColumn<QByteArray>("script");
        QTest::addColumn<bool>("limited");
        const QByteArray hog =
            pngWriter + "block = bytearray(600 << 20)\npng(target, 4, 4, (1, 2, 3))\n";
        const QByteArray flood = pngWriter + "png(target, 4, 4, (1, 2, 3))\n"
                                             "open(target, 'ab').write(b'\\0' * (3 << 20))\n";
        for (const Isolation isolation : isolations()) {
            const QString name = isolationName(isolation);
            QTest::addRow("%s: memory, unlimited", qPrintable(name)) << isolation << hog << false;
            QTest::addRow("%s: memory, limited", qPrintable(name)) << isolation << hog << true;
            QTest::addRow("%s: output size, unlimited", qPrintable(name))
                << isolation << flood << false;
            QTest::addRow("%s: output size, limited", qPrintable(name))
                << isolation << flood << true;
        }
    }
    void limitsHold()
    {
        QFETCH(Isolation, isolation);
        QFETCH(QByteArray, script);
        QFETCH(bool, limited);
        QTemporaryDir dir;
        const QString program = writeScript(dir.path(), u"thumbnailer"_s, script);
        const UniqueFd fd = openNewFile(dir.filePath(u"in.bin"_s), "x");

        ThumbnailerSandbox::Options options;
        options.isolation = isolation;
        options.deadline = std::chrono::seconds(20);
        options.memoryLimit = limited ? qint64(300) << 20 : qint64(4) << 30;
        options.outputLimit = limited ? qint64(1) << 20 : qint64(32) << 20;
        const auto result = ThumbnailerSandbox::run(program + u" %i %o %s"_s, fd.get(), options);
        QCOMPARE(result.outcome, limited ? Outcome::Failed : Outcome::Made);
    }

    // The deadline takes the thumbnailer's whole process group, not only its first process.
    void deadlineKillsWhatItStarted()
    {
        QTemporaryDir dir;
        const QString pids = dir.filePath(u"pids"_s);
        const QString program = writeScript(
            dir.path(), u"thumbnailer"_s,
            u"#!/bin/sh\nsleep 300 &\necho $! > '%1'\necho $$ >> '%1'\nwait\n"_s.arg(pids)
                .toUtf8());
        const UniqueFd fd = openNewFile(dir.filePath(u"x.bin"_s), "x");
        ThumbnailerSandbox::Options options;
        options.isolation = Isolation::LimitsOnly;
        options.deadline = std::chrono::milliseconds(1500);
        const auto result = ThumbnailerSandbox::run(program + u" %i %o %s"_s, fd.get(), options);
        QCOMPARE(result.outcome, Outcome::TimedOut);
        QFile file(pids);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QList<QByteArray> lines = file.readAll().split('\n');
        QVERIFY(lines.size() >= 2);
        for (int i = 0; i < 2; ++i) {
            const pid_t pid = lines.at(i).toInt();
            QVERIFY(pid > 0);
            QTRY_VERIFY_WITH_TIMEOUT(processGone(pid), 5000);
        }
    }

    // What a thumbnailer can see of the machine. Without the sandbox it could read anything
    // the user can: the same script proves the check would notice.
    void sandboxShowsOnlyTheInput_data()
    {
        QTest::addColumn<Isolation>("isolation");
        for (const Isolation isolation : isolations())
            QTest::newRow(qPrintable(isolationName(isolation))) << isolation;
    }
    void sandboxShowsOnlyTheInput()
    {
        QFETCH(Isolation, isolation);
        QTcpServer server;
        QVERIFY(server.listen(QHostAddress::LocalHost));

        QTemporaryDir dir;
        const QString secret = dir.filePath(u"secret.txt"_s);
        QVERIFY(writeFile(secret, "the user's secret"));
        const QByteArray probe = pngWriter + R"(
def attempt(action):
    try:
        return str(action())
    except Exception as error:
        return type(error).__name__
def connect():
    s = socket.create_connection(('127.0.0.1', PORT), timeout=2)
    s.close()
    return 'connected'
def write_input():
    open(source, 'ab').write(b'changed')
    return 'written'
def descriptors():
    seen = []
    for fd in os.listdir('/proc/self/fd'):
        try:
            seen.append(os.readlink('/proc/self/fd/' + fd))
        except OSError:
            pass
    return ','.join(seen)
texts = {
    'descriptors': descriptors(),
    'input': attempt(lambda: open(source, 'rb').read().decode()),
    'input-name': os.path.basename(source),
    'secret': attempt(lambda: open(SECRET, 'rb').read().decode()),
    'home': attempt(lambda: len(os.listdir(HOME))),
    'passwd': attempt(lambda: os.path.exists('/etc/passwd')),
    'root': ','.join(sorted(os.listdir('/'))),
    'network': attempt(connect),
    'write-input': attempt(write_input),
    'processes': str(len([p for p in os.listdir('/proc') if p.isdigit()])),
}
# In the pixels, three bytes each: the preview process that decodes the PNG keeps no text chunks.
import json
data = json.dumps(texts).encode()
data += b' ' * (-len(data) % 3)
png(target, len(data) // 3, 1, None, data=b'\x00' + data)
)";
        const QByteArray quotedSecret = "'" + QFile::encodeName(secret) + "'";
        const QByteArray quotedHome = "'" + QFile::encodeName(QDir::homePath()) + "'";
        const QString program =
            writeScript(dir.path(), u"probe"_s,
                        QByteArray(probe)
                            .replace("PORT", QByteArray::number(server.serverPort()))
                            .replace("SECRET", quotedSecret)
                            .replace("HOME", quotedHome));
        const QString input = dir.filePath(u"report.docx"_s);
        const UniqueFd fd = openNewFile(input, "input bytes");

        // Inheritable on purpose: the runner must not hand it on.
        int leak[2];
        QCOMPARE(::pipe(leak), 0);
        const UniqueFd leakRead(leak[0]);
        const UniqueFd leakWrite(leak[1]);

        ThumbnailerSandbox::Options options;
        options.isolation = isolation;
        options.nameHint = u"report.docx"_s;
        options.deadline = std::chrono::seconds(20);
        options.size = options.maxSide; // one pixel per three bytes, none scaled away
        const auto result = ThumbnailerSandbox::run(program + u" %i %o %s"_s, fd.get(), options);
        QCOMPARE(result.outcome, Outcome::Made);
        const Observations seen(result.image);
        qInfo().noquote() << "root folder:" << seen.text(u"root"_s)
                          << "processes:" << seen.text(u"processes"_s);
        QCOMPARE(seen.text(u"input"_s), u"input bytes"_s);
        QCOMPARE(seen.text(u"input-name"_s), u"input.docx"_s);
        // Nothing of ours leaks into it: not the listening socket, not a pipe.
        const QString descriptors = seen.text(u"descriptors"_s);
        QVERIFY2(!descriptors.isEmpty(), "no descriptors were listed");
        QVERIFY2(!descriptors.contains(u"socket:"_s) && !descriptors.contains(u"pipe:"_s),
                 qPrintable(descriptors));

        if (isolation == Isolation::LimitsOnly) {
            QCOMPARE(seen.text(u"secret"_s), u"the user's secret"_s);
            QCOMPARE(seen.text(u"network"_s), u"connected"_s);
            return;
        }
        QCOMPARE(seen.text(u"secret"_s), u"FileNotFoundError"_s);
        QCOMPARE(seen.text(u"home"_s), u"FileNotFoundError"_s);
        QCOMPARE(seen.text(u"passwd"_s), u"False"_s);
        QVERIFY(seen.text(u"network"_s) != u"connected"_s);
        QCOMPARE(seen.text(u"write-input"_s), u"OSError"_s);
        QVERIFY(seen.text(u"processes"_s).toInt() <= 3);
        const QStringList root = seen.text(u"root"_s).split(u',');
        const QStringList allowed = {u"bin"_s,   u"dev"_s,   u"etc"_s,    u"lib"_s,
                                     u"lib32"_s, u"lib64"_s, u"libx32"_s, u"proc"_s,
                                     u"sbin"_s,  u"tmp"_s,   u"usr"_s};
        for (const QString &top : root)
            QVERIFY2(allowed.contains(top), qPrintable(top));
        QFile unchanged(input);
        QVERIFY(unchanged.open(QIODevice::ReadOnly));
        QCOMPARE(unchanged.readAll(), "input bytes");
    }

    void thumbnailsGoThroughTheSharedCache_data()
    {
        QTest::addColumn<QByteArray>("script");
        QTest::addColumn<bool>("made");
        QTest::newRow("made once, then read from the cache")
            << pngWriter + "png(target, 100, 50, (200, 30, 10))\n"
            << true;
        QTest::newRow("garbage: the failure is recorded and not tried again")
            << pngWriter + "open(target, 'wb').write(b'garbage')\n"
            << false;
    }
    void thumbnailsGoThroughTheSharedCache()
    {
        QFETCH(QByteArray, script);
        QFETCH(bool, made);
        QTemporaryDir dir;
        const QString runs = dir.filePath(u"runs"_s);
        // Counts its runs in a file of the test, so it runs without the sandbox here.
        const QString program =
            writeScript(dir.path(), u"thumbnailer"_s,
                        script + "open('" + QFile::encodeName(runs) + "', 'a').write('run\\n')\n");
        QVERIFY(QDir().mkpath(dir.filePath(u"thumbnailers"_s)));
        QVERIFY(writeFile(dir.filePath(u"thumbnailers/mirel-test.thumbnailer"_s),
                          (u"[Thumbnailer Entry]\nTryExec=%1\nExec=%1 %i %o %s\n"
                           "MimeType=application/x-mirel-test;\n"_s.arg(program))
                              .toUtf8()));
        const DesktopThumbnailers thumbnailers({dir.filePath(u"thumbnailers"_s)});
        const ThumbnailCache cache(dir.filePath(u"cache"_s));
        const QString file = dir.filePath(u"drawing.mirel"_s);
        const UniqueFd fd = openNewFile(file, "drawing");

        ThumbnailerSandbox::Options options;
        options.isolation = Isolation::LimitsOnly;
        options.deadline = std::chrono::seconds(20);
        for (int attempt = 0; attempt < 2; ++attempt) {
            const QImage image =
                thumbnailers.thumbnail(file, fd.get(), u"application/x-mirel-test"_s,
                                       ThumbnailCache::Flavor::Normal, cache, options);
            QCOMPARE(image.isNull(), !made);
            if (made)
                QCOMPARE(image.size(), QSize(100, 50));
        }
        QFile count(runs);
        QVERIFY(count.open(QIODevice::ReadOnly));
        QCOMPARE(count.readAll(), "run\n");
        count.close();

        // The preview card's picture, at its own size: made again, never from the cache.
        options.size = 400;
        const auto picture = thumbnailers.picture(fd.get(), u"application/x-mirel-test"_s, options);
        QCOMPARE(picture.outcome, made ? Outcome::Made : Outcome::BadOutput);
        if (made)
            QCOMPARE(picture.image.size(), QSize(100, 50));
        QVERIFY(count.open(QIODevice::ReadOnly));
        QCOMPARE(count.readAll(), "run\nrun\n");
        QCOMPARE(thumbnailers.picture(fd.get(), u"application/x-other"_s, options).outcome,
                 Outcome::CouldNotStart);
        const qint64 mtime = QFileInfo(file).lastModified().toSecsSinceEpoch();
        QCOMPARE(QFile::exists(cache.entryPath(file, ThumbnailCache::Flavor::Normal)), made);
        QCOMPARE(cache.hasFailure(file, mtime), !made);
        if (made) {
            const QImage stored = cache.find(file, ThumbnailCache::Flavor::Normal, mtime);
            QCOMPARE(stored.size(), QSize(100, 50));
        }
    }

    // Without a preview process to decode what the program wrote, nothing is known about the
    // file: no thumbnail, but no failure recorded either, so it is tried again later.
    void noPreviewProcessRecordsNoFailure()
    {
        QTemporaryDir dir;
        const QString program = writeScript(dir.path(), u"thumbnailer"_s,
                                            pngWriter + "png(target, 20, 10, (1, 2, 3))\n");
        QVERIFY(QDir().mkpath(dir.filePath(u"thumbnailers"_s)));
        writeFile(
            dir.filePath(u"thumbnailers/mirel-test.thumbnailer"_s),
            (u"[Thumbnailer Entry]\nExec=%1 %i %o %s\nMimeType=application/x-mirel-test;\n"_s.arg(
                 program))
                .toUtf8());
        const DesktopThumbnailers thumbnailers({dir.filePath(u"thumbnailers"_s)});
        const ThumbnailCache cache(dir.filePath(u"cache"_s));
        const QString file = dir.filePath(u"drawing.mirel"_s);
        const UniqueFd fd = openNewFile(file, "drawing");
        const QString worker = PreviewWorker::executable();
        PreviewWorker::setExecutable(dir.filePath(u"no-such-worker"_s));
        const QImage image = thumbnailers.thumbnail(file, fd.get(), u"application/x-mirel-test"_s,
                                                    ThumbnailCache::Flavor::Normal, cache);
        PreviewWorker::setExecutable(worker);
        QVERIFY(image.isNull());
        QVERIFY(!cache.hasFailure(file, QFileInfo(file).lastModified().toSecsSinceEpoch()));

        // With it, the same file gets its thumbnail.
        QCOMPARE(thumbnailers
                     .thumbnail(file, fd.get(), u"application/x-mirel-test"_s,
                                ThumbnailCache::Flavor::Normal, cache)
                     .size(),
                 QSize(20, 10));
    }
};

QTEST_GUILESS_MAIN(TestDesktopThumbnailers)
#include "tst_DesktopThumbnailers.moc"
