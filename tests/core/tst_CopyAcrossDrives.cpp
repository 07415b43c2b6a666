// SPDX-License-Identifier: GPL-3.0-or-later
#include "FileSystem.h"
#include "NoReplaceMove.h"
#include "TestHome.h"

#include <QTest>

#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <csignal>

using namespace Qt::StringLiterals;

namespace {

// Unsets the hook even when a check fails.
struct HookGuard
{
    ~HookGuard() { NoReplaceMove::setBeforeSourceRemovedHook({}); }
};

} // namespace

// A Keep onto another drive is a copy, and the one place a file could be lost or cut short: the
// source must stay whole until its copy is, whatever happens to either on the way.
class TestCopyAcrossDrives final : public TemporaryHomeSuite
{
    Q_OBJECT

private slots:
    void copyAcrossDrives_data();
    void copyAcrossDrives();
    void sparseFileStaysSparse();
};

void TestCopyAcrossDrives::copyAcrossDrives_data()
{
    QTest::addColumn<QString>("fault");
    QTest::addColumn<QString>("reason"); // after "Could not move ... to ...: "
    const QString changed = u"it changed while it was being kept"_s;
    QTest::newRow("unchanged") << QString() << QString();
    QTest::newRow("still written to") << u"append"_s << changed;
    QTest::newRow("rewritten in place, same size") << u"overwrite"_s << changed;
    QTest::newRow("another file put in its place")
        << u"replace"_s << u"it has been replaced since it was listed"_s;
    // Quit while the first chunk is out.
    QTest::newRow("cancelled") << u"cancel"_s << u"Operation canceled"_s;
    // The kernel kills the copying process once it has written a third of the copy.
    QTest::newRow("killed") << u"kill"_s << QString();
}

void TestCopyAcrossDrives::copyAcrossDrives()
{
    QFETCH(QString, fault);
    QFETCH(QString, reason);
    QTemporaryDir other(u"/dev/shm/mirel-test-XXXXXX"_s);
    TestHome home;
    if (!other.isValid() || !onAnotherFileSystem(home.path(), other.path()))
        QSKIP("/dev/shm is not a separate file system here");
    const QString source = other.path() + u"/big.bin"_s;
    // A cancel must come in the middle: more than one chunk of the copy.
    const QByteArray content(fault == u"cancel"_s ? 40 << 20 : 3 << 20, 'c');
    QVERIFY(writeFile(source, content, 1'600'000'000));
    // Left by someone else: the copy must not become the user's set-user-ID program.
    QCOMPARE(::chmod(QFile::encodeName(source).constData(), 06755), 0);
    const QString month = home.folder(u"Documents/Kept/2026/December"_s);
    const QString kept = month + u"/big.bin"_s;
    // Partial copies of a Mirel killed long ago go; one still being written stays.
    QVERIFY(writeFile(month + u"/.mirel-keep-old.part"_s, "partial", 1'600'000'000));
    QVERIFY(writeFile(month + u"/.mirel-keep-recent.part"_s, "partial"));
    const HookGuard unhook;
    QByteArray expected = content;
    int calls = 0;
    NoReplaceMove::setBeforeSourceRemovedHook([&] {
        ++calls;
        if (fault == u"append"_s) {
            QFile file(source);
            QVERIFY(file.open(QIODevice::Append));
            file.write("a line written during the copy\n");
            expected += "a line written during the copy\n";
        } else if (fault == u"overwrite"_s) {
            QFile file(source);
            QVERIFY(file.open(QIODevice::ReadWrite));
            file.write("b");
            expected[0] = 'b';
        } else if (fault == u"replace"_s) {
            QVERIFY(writeFile(source + u".new"_s, "the new one"));
            QVERIFY(::rename(QFile::encodeName(source + u".new"_s).constData(),
                             QFile::encodeName(source).constData()) == 0);
            expected = "the new one";
        }
    });
    std::atomic<bool> cancelled = false;
    QList<qint64> reports;
    CopyControl control;
    control.cancelled = &cancelled;
    control.progress = [&](qint64 done, qint64 total) {
        QCOMPARE(total, qint64(content.size()));
        reports.append(done);
        cancelled = fault == u"cancel"_s;
    };
    // As the scan records it.
    const FileIdentity listed = FileSystem::standard().listFolder(other.path()).entries[0].identity;

    FileResult moved;
    if (fault == u"kill"_s) {
        const pid_t child = ::fork();
        QVERIFY(child >= 0);
        if (child == 0) {
            const struct rlimit noCore = {0, 0};
            const struct rlimit oneMegabyte = {1 << 20, 1 << 20};
            ::setrlimit(RLIMIT_CORE, &noCore);
            ::setrlimit(RLIMIT_FSIZE, &oneMegabyte);
            FileSystem::standard().moveWithoutReplacing(source, kept);
            ::_exit(0);
        }
        int status = 0;
        QCOMPARE(::waitpid(child, &status, 0), child);
        QVERIFY(WIFSIGNALED(status));
        QCOMPARE(WTERMSIG(status), SIGXFSZ);
    } else {
        moved = FileSystem::standard().moveWithoutReplacing(source, kept, listed, &control);
    }

    QCOMPARE(calls, fault == u"cancel"_s || fault == u"kill"_s ? 0 : 1);
    if (fault.isEmpty()) {
        QVERIFY2(moved.ok(), qPrintable(moved.message));
        QVERIFY(!QFileInfo::exists(source));
        QCOMPARE(readFile(kept), content);
        QCOMPARE(QFileInfo(kept).lastModified().toSecsSinceEpoch(), 1'600'000'000);
        struct stat attributes = {};
        QCOMPARE(::stat(QFile::encodeName(kept).constData(), &attributes), 0);
        QCOMPARE(attributes.st_mode & 07777, 0755u);
        QCOMPARE(namesIn(month), (QStringList{u".mirel-keep-recent.part"_s, u"big.bin"_s}));
        return;
    }
    if (fault != u"kill"_s) {
        QCOMPARE(moved.message,
                 u"Could not move \""_s + source + u"\" to \""_s + month + u"\": "_s + reason);
    }
    if (fault == u"cancel"_s) {
        QCOMPARE(moved.code, ECANCELED);
        QCOMPARE(reports.size(), 1);
        QVERIFY(reports.at(0) > 0 && reports.at(0) < content.size());
    }
    // Nothing lost: the source holds everything, and no copy is left to be mistaken for it.
    QCOMPARE(readFile(source), expected);
    QCOMPARE(namesIn(month), QStringList{u".mirel-keep-recent.part"_s});
}

void TestCopyAcrossDrives::sparseFileStaysSparse()
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

QTEST_GUILESS_MAIN(TestCopyAcrossDrives)
#include "tst_CopyAcrossDrives.moc"
