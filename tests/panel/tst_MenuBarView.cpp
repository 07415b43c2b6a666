// SPDX-License-Identifier: GPL-3.0-or-later
#include "AppState.h"
#include "CountLabel.h"
#include "ElidedLabel.h"
#include "FileListView.h"
#include "FileRowView.h"
#include "FileSystem.h"
#include "FinishedView.h"
#include "HeldMove.h"
#include "MenuBarView.h"
#include "OpenedUrls.h"
#include "PreviewCard.h"
#include "TestHome.h"
#include "TextStyles.h"

#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QDBusConnection>
#include <QDir>
#include <QLabel>
#include <QMenu>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QProcess>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollBar>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>

using namespace Qt::StringLiterals;

namespace {

constexpr qint64 baseTime = TestHome::newestTime;

// A panel on screen over `count` files in Downloads, with the clock fixed for Keep.
struct Review
{
    explicit Review(int count, FileSystem &fileSystem = FileSystem::standard())
        : files(home.makeFiles(count))
        , state(fileSystem)
        , panel(state)
    {
        state.setClock([] { return fixedNow; });
        panel.show();
    }

    TestHome home;
    QStringList files;
    AppState state;
    MenuBarView panel;
};

// Clicks the row like a person would, so the row must be on screen.
void clickRow(MenuBarView &panel, qsizetype index)
{
    FileRowView *row = panel.fileList()->rowAt(index);
    QVERIFY2(row, "the row is not on screen");
    QTest::mouseClick(row, Qt::LeftButton, {}, QPoint(row->width() - 60, row->height() / 2));
}

// A file manager on the session bus that only remembers what it was asked to show.
class RecordingFileManager final : public QObject
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.FileManager1")

public:
    QStringList shown;

public slots:
    void ShowItems(const QStringList &uris, const QString &) { shown += uris; }
};

// Right-clicks the widget and picks the entry of that name from the menu it opens.
bool chooseFromMenu(QWidget *target, const QString &text)
{
    const QPoint at = target->rect().center();
    QContextMenuEvent event(QContextMenuEvent::Mouse, at, target->mapToGlobal(at));
    QApplication::sendEvent(target, &event);
    auto *menu = qobject_cast<QMenu *>(QApplication::activePopupWidget());
    if (!menu)
        return false;
    const QList<QAction *> actions = menu->actions();
    const auto found = std::find_if(actions.cbegin(), actions.cend(),
                                    [&text](QAction *action) { return action->text() == text; });
    if (found != actions.cend())
        (*found)->trigger();
    menu->close();
    return found != actions.cend();
}

} // namespace

class TestMenuBarView final : public QObject
{
    Q_OBJECT

public:
    // Never the desktop's own bus, where a real file manager would answer: a bus of the
    // test's own without service activation, or none when dbus-daemon is missing. Set up
    // before the application, which may reach for the bus as it starts.
    static void initMain()
    {
        useTemporaryHome();
        qputenv("DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent/mirel-test-bus");
        static QTemporaryDir folder;
        static QProcess daemon;
        qAddPostRoutine([] {
            daemon.kill();
            daemon.waitForFinished();
        });
        QFile config(folder.filePath(u"bus.conf"_s));
        if (!config.open(QIODevice::WriteOnly))
            return;
        config.write(
            "<busconfig><type>session</type><listen>unix:dir=" + QFile::encodeName(folder.path()) +
            "</listen><auth>EXTERNAL</auth><policy context=\"default\">"
            "<allow send_destination=\"*\" eavesdrop=\"true\"/>"
            "<allow eavesdrop=\"true\"/><allow own=\"*\"/></policy></busconfig>");
        config.close();
        daemon.start(u"dbus-daemon"_s, {u"--nofork"_s, u"--print-address=1"_s,
                                        u"--config-file="_s + config.fileName()});
        if (daemon.waitForStarted() && daemon.waitForReadyRead(10000))
            qputenv("DBUS_SESSION_BUS_ADDRESS", daemon.readLine().trimmed());
    }

private slots:
    void init() { QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates)); }
    void finishedState_data();
    void finishedState();
    void pressDuringFeedback_data();
    void pressDuringFeedback();
    void clickedRowsAndDecisions();
    void failedDecisionStays_data();
    void failedDecisionStays();
    void contextMenu();
    void keyboardReview();
    void longListShownAgain();
    void detailsOfTheFiles();
};

void TestMenuBarView::finishedState_data()
{
    QTest::addColumn<int>("files");
    QTest::newRow("nothing to review at the start") << 0;
    QTest::newRow("the last file kept") << 1;
}

void TestMenuBarView::finishedState()
{
    QFETCH(int, files);
    Review review(files);
    auto &[home, paths, state, panel] = review;
    if (files == 1) {
        QCOMPARE(panel.countLabel()->text(), u"1 files"_s); // no singular form in English
        // By keyboard: the focus stays in the body, never on the gear, where the next Space
        // would open the settings.
        panel.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&panel));
        QTest::keyClick(panel.fileList(), Qt::Key_Tab);
        QTest::keyClick(panel.deleteButton(), Qt::Key_Tab);
        QTest::keyClick(panel.keepButton(), Qt::Key_Space);
        QTRY_VERIFY(panel.isShowingFinishedState());
        QCOMPARE(QApplication::focusWidget(), panel.finishedView()->scanAgainButton());
        // The picture that grows over the body during the switch does not stay over it.
        QTRY_VERIFY(!panel.findChild<QWidget *>(u"scaleFadeIn"_s));
    }
    QVERIFY(panel.isShowingFinishedState());
    QVERIFY(panel.finishedView()->isVisible()); // in place of the buttons
    QCOMPARE(panel.countLabel()->text(), u"0 files"_s);

    // "Scan Again" finds what arrived meanwhile.
    home.makeFiles(2);
    QTest::mouseClick(panel.finishedView()->scanAgainButton(), Qt::LeftButton);
    QVERIFY(!panel.isShowingFinishedState());
    QCOMPARE(panel.countLabel()->count(), 2);
    QVERIFY(panel.keepButton()->isVisible());
    QTRY_VERIFY(!panel.findChild<QWidget *>(u"scaleFadeOut"_s));
}

void TestMenuBarView::pressDuringFeedback_data()
{
    QTest::addColumn<QString>("during"); // what happens while the Keep of f0 is under way
    QTest::newRow("Keep pressed twice") << u"keep"_s;
    QTest::newRow("Keep, then Delete") << u"delete"_s;
}

void TestMenuBarView::pressDuringFeedback()
{
    QFETCH(QString, during);
    Review review(3);
    auto &[home, files, state, panel] = review;
    home.lines().clear();

    QTest::mouseClick(panel.keepButton(), Qt::LeftButton);
    QVERIFY(panel.isAnimating());
    if (during == u"keep"_s)
        panel.performWithFeedback(MenuBarView::Decision::Keep); // ignored
    else
        QTest::mouseClick(panel.deleteButton(), Qt::LeftButton); // ignored

    QTRY_VERIFY(!panel.isAnimating());
    // f0, the file on screen at the press, is kept once; nothing else is touched, and
    // nothing failed on the way (a second decision on f0 would).
    QCOMPARE(readFile(home.keptMonth() + u"/f0.txt"_s), QByteArray("file 0"));
    QVERIFY(!QFileInfo::exists(files.at(0)));
    QVERIFY(QFileInfo::exists(files.at(1)));
    QVERIFY(QFileInfo::exists(files.at(2)));
    QVERIFY(home.lines().filter(u"Failed"_s).isEmpty());
    QCOMPARE(state.files().size(), 2);
    QCOMPARE(state.currentFile()->filePath, files.at(1));
    QCOMPARE(panel.countLabel()->count(), 2);
    QVERIFY(!panel.failureLabel()->isVisible());
}

void TestMenuBarView::clickedRowsAndDecisions()
{
    Review review(5);
    auto &[home, files, state, panel] = review;
    // The decision belongs to the file on screen at the press.
    clickRow(panel, 2);
    QTRY_VERIFY(!panel.fileList()->isScrolling());
    QCOMPARE(panel.previewCard()->fileId(), state.files().at(2).id);
    QTest::mouseClick(panel.keepButton(), Qt::LeftButton); // f2 on screen
    clickRow(panel, 1);                                    // then f1, within 0.2 s
    QCOMPARE(state.currentIndex(), 1);

    QTRY_VERIFY(!panel.isAnimating());
    QVERIFY(QFileInfo::exists(home.keptMonth() + u"/f2.txt"_s));
    QVERIFY(QFileInfo::exists(files.at(1)));
    QCOMPARE(state.currentFile()->filePath, files.at(1)); // the clicked file stays current
}

void TestMenuBarView::failedDecisionStays_data()
{
    QTest::addColumn<bool>("duringCopy"); // else known at the press: the file has gone
    QTest::addColumn<QStringList>("symbols");
    QTest::addColumn<QString>("reason");
    const QString warning = u"exclamationmark.triangle.fill"_s;
    QTest::newRow("known at the press, never a success symbol")
        << false << QStringList{warning} << u"it is no longer in Downloads"_s;
    QTest::newRow("found during the copy, in place of the check mark")
        << true << QStringList{u"checkmark.circle.fill"_s, warning} << u"No space left on device"_s;
}

void TestMenuBarView::failedDecisionStays()
{
    QFETCH(bool, duringCopy);
    QFETCH(QStringList, symbols);
    QFETCH(QString, reason);
    HeldMove fileSystem;
    fileSystem.failure = ENOSPC;
    Review review(1, duringCopy ? fileSystem : FileSystem::standard());
    auto &[home, files, state, panel] = review;
    // A name so long that the line is cut: the cut is at the end, the start still says what
    // failed.
    const QString name = QString(120, u'n') + u".txt"_s;
    const QString path = home.path(u"Downloads/"_s) + name;
    QVERIFY(writeFile(path, "long", baseTime + 10));
    state.scanFolders();
    QCOMPARE(state.currentFile()->filePath, path);
    PreviewCard *card = panel.previewCard();
    QStringList shown;
    connect(card, &PreviewCard::feedbackShown, card,
            [&shown](const QString &symbol) { shown.append(symbol); });
    if (!duringCopy)
        QVERIFY(QFile::remove(path));
    home.lines().clear();

    QTest::mouseClick(panel.keepButton(), Qt::LeftButton);
    QProgressBar *bar = card->progressBar();
    if (duringCopy) {
        // Held in the middle of its copy: after a moment the card shows how far it is.
        QTRY_COMPARE_WITH_TIMEOUT(fileSystem.entered.available(), 1, 10000);
        fileSystem.entered.acquire();
        QTRY_VERIFY(bar->isVisible());
        QCOMPARE(bar->value(), bar->maximum() / 4);
        // Refresh asked for during the copy runs after the failure, finds the same file and
        // leaves the warning.
        QTest::mouseClick(panel.refreshButton(), Qt::LeftButton);
        QCOMPARE(home.scanCount(), 0);
        fileSystem.released.release();
    }
    QTRY_VERIFY(!panel.isAnimating());
    QVERIFY(!bar->isVisible());
    QCOMPARE(shown, symbols);
    QCOMPARE(panel.failureLabel()->text(), u"Could not keep \""_s + name + u"\": "_s + reason);
    const QString line = panel.failureLabel()->shownText();
    QVERIFY2(line.startsWith(u"Could not keep \"nnn"_s) && line.endsWith(u"\u2026"_s),
             qPrintable(line));
    QVERIFY(!panel.detailsLabel()->isVisible());
    QCOMPARE(home.scanCount(), duringCopy ? 1 : 0);
    QCOMPARE(state.currentFile()->filePath, path);

    // The warning does not fade with the feedback: it stays over the card until a scan.
    QTRY_COMPARE(card->feedbackLevel(), 1.0);
    QTest::qWait(3 * MenuBarView::feedbackDelayMs); // longer than any fade; nothing to wait on
    QCOMPARE(card->feedbackLevel(), 1.0);
    QCOMPARE(card->symbolName(), symbols.last());
    QVERIFY(panel.failureLabel()->isVisible());
    if (!duringCopy) {
        // The next decision takes the old warning away at once.
        QTest::mouseClick(panel.deleteButton(), Qt::LeftButton);
        QVERIFY(!panel.failureLabel()->isVisible());
        QTRY_VERIFY(!panel.isAnimating());
        QVERIFY(panel.failureLabel()->isVisible());
    }
    QTest::mouseClick(panel.refreshButton(), Qt::LeftButton);
    QVERIFY(!panel.failureLabel()->isVisible());
    QVERIFY(panel.detailsLabel()->isVisible());
    QTRY_COMPARE(card->feedbackLevel(), 0.0);
}

void TestMenuBarView::contextMenu()
{
    TestHome home;
    // A Latin-1 name: not valid UTF-8, so only its bytes name it.
    QVERIFY(writeFile(QFile::encodeName(home.folder(u"Downloads"_s)) + "/caf\xe9.txt", "text"));
    // The desktop's applications are only an editor in the test home: the system's folders are
    // out of sight, all but its MIME types, which Qt may read again at any time.
    static QTemporaryDir nowhere;
    QFile::link(QStandardPaths::locate(QStandardPaths::GenericDataLocation, u"mime"_s,
                                       QStandardPaths::LocateDirectory),
                nowhere.filePath(u"mime"_s));
    const ScopedEnvironment environment{{"XDG_DATA_DIRS", QFile::encodeName(nowhere.path())},
                                        {"XDG_CONFIG_DIRS", QFile::encodeName(nowhere.path())}};
    QVERIFY(writeFile(home.folder(u".local/share/applications"_s) + u"/mimeinfo.cache"_s,
                      "[MIME Cache]\ntext/plain=editor.desktop;\n"));
    AppState state;
    MenuBarView panel(state);
    panel.show();
    OpenedUrls recorder;
    const QByteArray folder =
        "file://" + QFile::encodeName(home.path()).toPercentEncoding("/") + "/Downloads";
    const QByteArray file = folder + "/caf%E9.txt";
    FileRowView *row = panel.fileList()->rowAt(0);
    QVERIFY(row);

    QVERIFY(chooseFromMenu(row, u"Open"_s));
    QTRY_COMPARE(recorder.urls.size(), 1);
    QVERIFY(chooseFromMenu(row, u"Show in Folder"_s)); // no file manager: the folder
    QTRY_COMPARE(recorder.urls.size(), 2);
    QCOMPARE(recorder.urls.at(0).toEncoded(), file);
    QCOMPARE(recorder.urls.at(1).toEncoded(), folder);

    // The text preview inside the card passes the right-click on to it.
    QApplication::clipboard()->clear();
    QTRY_VERIFY(panel.previewCard()->findChild<QPlainTextEdit *>());
    QWidget *card = panel.previewCard()->findChild<QPlainTextEdit *>()->viewport();
    QVERIFY(chooseFromMenu(card, u"Copy Path"_s));
    const QMimeData *copied = QApplication::clipboard()->mimeData();
    QVERIFY(copied);
    QCOMPARE(copied->urls().value(0).toEncoded(), file);
    QCOMPARE(copied->text(), home.path(u"Downloads/caf\ufffd.txt"_s));

    // Nothing would open a PDF: the warning says so, on the row's menu and on the card's.
    QVERIFY(writeFile(home.path(u"Downloads/report.pdf"_s), "%PDF-",
                      QDateTime::currentSecsSinceEpoch() + 100));
    QTest::mouseClick(panel.refreshButton(), Qt::LeftButton);
    QCOMPARE(panel.nameLabel()->text(), u"report.pdf"_s);
    const QString said = u"No application can open PDF document"_s;
    QVERIFY(chooseFromMenu(panel.fileList()->rowAt(0), u"Open"_s));
    QTRY_VERIFY(panel.failureLabel()->isVisible());
    QCOMPARE(panel.failureLabel()->text(), said);
    QCOMPARE(panel.overlayColor(), TextStyles::orange());
    QTest::mouseClick(panel.refreshButton(), Qt::LeftButton);
    QVERIFY(!panel.failureLabel()->isVisible());
    QVERIFY(chooseFromMenu(panel.previewCard(), u"Open"_s));
    QTRY_VERIFY(panel.failureLabel()->isVisible());
    QCOMPARE(panel.failureLabel()->text(), said);
    QCOMPARE(recorder.urls.size(), 2);

    // A file manager on the bus shows the file itself, and nothing else opens.
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected())
        QSKIP("No private session bus (dbus-daemon is missing)");
    RecordingFileManager fileManager;
    QVERIFY(bus.registerObject(u"/org/freedesktop/FileManager1"_s, &fileManager,
                               QDBusConnection::ExportAllSlots));
    QVERIFY(bus.registerService(u"org.freedesktop.FileManager1"_s));
    const auto unregister =
        qScopeGuard([&bus] { bus.unregisterService(u"org.freedesktop.FileManager1"_s); });
    QVERIFY(chooseFromMenu(panel.fileList()->rowAt(1), u"Show in Folder"_s));
    QTRY_COMPARE(fileManager.shown, QStringList{QString::fromLatin1(file)});
    QCOMPARE(recorder.urls.size(), 2);
}

void TestMenuBarView::keyboardReview()
{
    Review review(6);
    auto &[home, files, state, panel] = review;
    panel.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&panel));
    FileListView *list = panel.fileList();

    // Open: the list has the focus; one Space decides nothing.
    QTest::keyClick(list, Qt::Key_Space);
    QVERIFY(!panel.isAnimating());

    // Up and Down move the current file, and the list follows as after a click.
    QTest::keyClick(list, Qt::Key_Up);
    QCOMPARE(state.currentIndex(), 0);
    for (int i = 0; i < 3; ++i)
        QTest::keyClick(list, Qt::Key_Down);
    QCOMPARE(state.currentIndex(), 3);
    QTest::keyClick(list, Qt::Key_Up);
    QCOMPARE(state.currentIndex(), 2);

    // No letter keys, no Ctrl combinations.
    QTest::keyClick(list, Qt::Key_K);
    QTest::keyClick(list, Qt::Key_D, Qt::ControlModifier);
    QVERIFY(!panel.isAnimating());

    // Tab reaches Delete, then Keep; Enter presses the focused button, which keeps the focus.
    QTest::keyClick(list, Qt::Key_Tab);
    QCOMPARE(QApplication::focusWidget(), panel.deleteButton());
    QTest::keyClick(panel.deleteButton(), Qt::Key_Tab);
    QCOMPARE(QApplication::focusWidget(), panel.keepButton());
    QTest::keyClick(panel.keepButton(), Qt::Key_Return);
    QTRY_VERIFY(!panel.isAnimating());
    QVERIFY(QFileInfo::exists(home.keptMonth() + u"/f2.txt"_s));
    QCOMPARE(QApplication::focusWidget(), panel.keepButton());
}

void TestMenuBarView::longListShownAgain()
{
    Review review(3000);
    auto &[home, files, state, panel] = review;
    FileListView *list = panel.fileList();
    // Only the rows on screen are built, also once a far file has brought its row on screen.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QVERIFY(list->visibleRows().size() <= 4);
    QCOMPARE(list->visibleRows().first()->file().id, state.files().first().id);
    QCOMPARE(list->findChildren<FileRowView *>().size(), list->visibleRows().size());
    state.setCurrentIndex(2500);
    QTRY_VERIFY(!list->isScrolling());
    QVERIFY(list->rowAt(2500));
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QVERIFY(list->visibleRows().size() <= 4);
    QCOMPARE(list->findChildren<FileRowView *>().size(), list->visibleRows().size());
    QVERIFY(list->verticalScrollBar()->value() > 0);

    // Shown again, the panel rescans: on the newest file, back at the top.
    panel.hide();
    const QString newest = home.path(u"Downloads/newest.txt"_s);
    QVERIFY(writeFile(newest, "new", baseTime + 100));
    panel.show();
    QCOMPARE(state.currentIndex(), 0);
    QCOMPARE(state.currentFile()->filePath, newest);
    QCOMPARE(panel.nameLabel()->text(), u"newest.txt"_s);
    QCOMPARE(panel.countLabel()->count(), 3001);
    QTRY_COMPARE(list->verticalScrollBar()->value(), 0);
}

void TestMenuBarView::detailsOfTheFiles()
{
    TestHome home;
    QVERIFY(writeFile(home.folder(u"Desktop"_s) + u"/a.pdf"_s, QByteArray(2'400'000, 'x')));
    AppState state;
    MenuBarView panel(state);
    panel.show();

    QCOMPARE(panel.detailsLabel()->text(), u"Desktop \u2022 2.4 MB"_s);

    // One byte reads in the singular; a long folder name leaves the file name most of the row.
    const QString folder = home.path(u"Project files shared with the whole team in 2026"_s);
    QVERIFY(QDir().mkpath(folder));
    QVERIFY(writeFile(folder + u"/long-report-name.pdf"_s, "x", baseTime - 2000000));
    state.addFolder(QUrl::fromLocalFile(folder));
    QTRY_VERIFY(panel.fileList()->rowAt(1));
    FileRowView *row = panel.fileList()->rowAt(1);
    QCOMPARE(row->nameText(), u"long-report-name.pdf"_s);
    QCOMPARE(row->sizeText(), u"1 byte"_s);
    QVERIFY2(row->badgeText().endsWith(QChar(0x2026)), qPrintable(row->badgeText()));
}

QTEST_MAIN(TestMenuBarView)
#include "tst_MenuBarView.moc"
