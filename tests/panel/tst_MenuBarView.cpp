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
#include <QDesktopServices>
#include <QDir>
#include <QLabel>
#include <QMenu>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QProcess>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollBar>
#include <QSignalSpy>
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
// The desktop's applications are only those of the test: `types` are registered in the test
// home's mimeinfo.cache, and the system's folders are out of sight until the guard ends.
auto onlyApplicationsFor(const QByteArray &types)
{
    const QByteArray oldData = qgetenv("XDG_DATA_DIRS");
    const QByteArray oldConfig = qgetenv("XDG_CONFIG_DIRS");
    static QTemporaryDir nowhere;
    qputenv("XDG_DATA_DIRS", QFile::encodeName(nowhere.path()));
    qputenv("XDG_CONFIG_DIRS", QFile::encodeName(nowhere.path()));
    const QString folder =
        QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) + u"/applications"_s;
    QDir().mkpath(folder);
    QFile cache(folder + u"/mimeinfo.cache"_s);
    if (cache.open(QIODevice::WriteOnly))
        cache.write("[MIME Cache]\n" + types);
    return qScopeGuard([oldData, oldConfig, folder] {
        qputenv("XDG_DATA_DIRS", oldData);
        qputenv("XDG_CONFIG_DIRS", oldConfig);
        QFile::remove(folder + u"/mimeinfo.cache"_s);
    });
}

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
    void undoDuringFeedback();
    void spaceTwiceOnKeep();
    void failedDecisionSaysSo();
    void copyShowsProgress();
    void lateFailureReplacesSuccess();
    void contextMenu();
    void openWithNoApplication();
    void keyboardReview();
    void showingAgainRescans();
    void rowsAreBuiltLazily();
    void detailsOfTheFiles();
    void framelessPanelHasAnEdge();
    void decisionIconsSitAlike();
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
        QTest::mouseClick(panel.keepButton(), Qt::LeftButton);
        QTRY_VERIFY(panel.isShowingFinishedState());
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
    QTest::newRow("Keep, then Refresh with new ids") << u"refresh"_s;
    QTest::newRow("Keep, then the panel shown again") << u"reopen"_s;
}

void TestMenuBarView::pressDuringFeedback()
{
    QFETCH(QString, during);
    Review review(3);
    auto &[home, files, state, panel] = review;
    home.lines().clear();

    QTest::mouseClick(panel.keepButton(), Qt::LeftButton);
    QVERIFY(panel.isAnimating());
    if (during == u"keep"_s) {
        panel.performWithFeedback(MenuBarView::Decision::Keep); // ignored
    } else if (during == u"delete"_s) {
        QTest::mouseClick(panel.deleteButton(), Qt::LeftButton); // ignored
    } else if (during == u"refresh"_s) {
        QTest::mouseClick(panel.refreshButton(), Qt::LeftButton);
    } else {
        panel.hide();
        panel.show();
    }

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

void TestMenuBarView::undoDuringFeedback()
{
    Review review(3);
    auto &[home, files, state, panel] = review;
    QTest::mouseClick(panel.deleteButton(), Qt::LeftButton); // f0
    QTRY_VERIFY(!panel.isAnimating());
    QCOMPARE(state.currentFile()->filePath, files.at(1));

    // Keep f1, and Undo from the tray ("Undo Delete: f0.txt") a moment later.
    QTest::mouseClick(panel.keepButton(), Qt::LeftButton);
    state.undoLastDecision();

    QTRY_VERIFY(QFileInfo::exists(files.at(0)));
    QTRY_VERIFY(!panel.isAnimating());
    QTRY_COMPARE(state.files().size(), 2);
    QCOMPARE(readFile(home.keptMonth() + u"/f1.txt"_s), QByteArray("file 1"));
    QVERIFY(!QFileInfo::exists(files.at(1)));
    QCOMPARE(state.lastDecision()->originalPath, files.at(1));
    QCOMPARE(state.currentFile()->filePath, files.at(0));
    QVERIFY(home.lines().filter(u"Failed"_s).isEmpty());
}

void TestMenuBarView::spaceTwiceOnKeep()
{
    Review review(3);
    auto &[home, files, state, panel] = review;
    panel.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&panel));
    QSignalSpy settings(&panel, &MenuBarView::settingsRequested);
    QTest::keyClick(panel.fileList(), Qt::Key_Tab);
    QTest::keyClick(panel.deleteButton(), Qt::Key_Tab);
    QCOMPARE(QApplication::focusWidget(), panel.keepButton());

    // Each Space goes where the focus is, as a person's would.
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Space);
    QCOMPARE(QApplication::focusWidget(), panel.keepButton());
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Space);
    QCOMPARE(QApplication::focusWidget(), panel.keepButton());

    QTRY_VERIFY(!panel.isAnimating());
    QCOMPARE(QApplication::focusWidget(), panel.keepButton());
    QCOMPARE(settings.size(), 0);
    QVERIFY(QFileInfo::exists(home.keptMonth() + u"/f0.txt"_s));
    QVERIFY(QFileInfo::exists(files.at(1)));
    QCOMPARE(state.files().size(), 2);
    QVERIFY(home.lines().filter(u"Failed"_s).isEmpty());

    // The last file: the finished state takes the focus, not the gear.
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Space);
    QTRY_VERIFY(!panel.isAnimating());
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Space);
    QTRY_VERIFY(panel.isShowingFinishedState());
    QVERIFY(QApplication::focusWidget() != panel.settingsButton());
    QCOMPARE(settings.size(), 0);
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

    // A row clicked after the acted-on one: the position follows the clicked file.
    QTRY_VERIFY(!panel.fileList()->isScrolling());
    QTest::mouseClick(panel.deleteButton(), Qt::LeftButton); // f1
    clickRow(panel, 2);                                      // f3
    QTRY_VERIFY(!panel.isAnimating());
    QVERIFY(QFileInfo::exists(home.path(u".local/share/Trash/files/f1.txt"_s)));
    QCOMPARE(state.currentIndex(), 1);
    QCOMPARE(state.currentFile()->filePath, files.at(3));
    QCOMPARE(state.files().size(), 3);
}

void TestMenuBarView::failedDecisionSaysSo()
{
    Review review(2);
    auto &[home, files, state, panel] = review;
    PreviewCard *card = panel.previewCard();
    QStringList symbols;
    connect(card, &PreviewCard::feedbackShown, card,
            [&symbols](const QString &symbol) { symbols.append(symbol); });
    QVERIFY(QFile::remove(files.at(0)));
    home.lines().clear();

    // Known at the press: the warning, and never a success symbol before it.
    QTest::mouseClick(panel.keepButton(), Qt::LeftButton);
    QVERIFY(card->symbolName() != u"checkmark.circle.fill"_s);
    QTRY_VERIFY(!panel.isAnimating());
    QCOMPARE(symbols, QStringList{u"exclamationmark.triangle.fill"_s});
    QCOMPARE(panel.failureLabel()->text(),
             u"Could not keep \"f0.txt\": it is no longer in Downloads"_s);
    QVERIFY(panel.failureLabel()->isVisible());
    QVERIFY(!panel.detailsLabel()->isVisible());
    // The console line is as it always was.
    QCOMPARE(home.lines(),
             QStringList{u"Failed to keep: Could not move \""_s + files.at(0) + u"\" to \""_s +
                         home.keptMonth() + u"\": No such file or directory"_s});

    // The warning does not fade with the feedback: it stays over the card until a scan.
    QTRY_COMPARE(card->feedbackLevel(), 1.0);
    QTest::qWait(3 * MenuBarView::feedbackDelayMs); // longer than any fade; nothing to wait on
    QCOMPARE(card->feedbackLevel(), 1.0);
    QCOMPARE(card->symbolName(), u"exclamationmark.triangle.fill"_s);
    QVERIFY(panel.failureLabel()->isVisible());
    QTest::mouseClick(panel.refreshButton(), Qt::LeftButton);
    QTRY_COMPARE(card->feedbackLevel(), 0.0);
    QVERIFY(!panel.failureLabel()->isVisible());
    QVERIFY(panel.detailsLabel()->isVisible());

    // A failure found only during the operation replaces the success symbol. A name so long
    // that the line is cut: the cut is at the end, the start still says what failed.
    const QString longName = QString(120, u'n') + u".txt"_s;
    QVERIFY(writeFile(home.path(u"Downloads/"_s) + longName, "long", baseTime + 10));
    state.scanFolders();
    QCOMPARE(state.currentFile()->filePath, home.path(u"Downloads/"_s) + longName);
    symbols.clear();
    QTest::mouseClick(panel.deleteButton(), Qt::LeftButton);
    QTRY_COMPARE(symbols, QStringList{u"trash.fill"_s});
    QVERIFY(QFile::remove(home.path(u"Downloads/"_s) + longName));
    QTRY_VERIFY(!panel.isAnimating());
    QCOMPARE(symbols, (QStringList{u"trash.fill"_s, u"exclamationmark.triangle.fill"_s}));
    QCOMPARE(panel.failureLabel()->text(),
             u"Could not delete \""_s + longName + u"\": it is no longer in Downloads"_s);
    const QString shown = panel.failureLabel()->shownText();
    QVERIFY2(shown.startsWith(u"Could not delete \"nnn"_s) && shown.endsWith(u"\u2026"_s),
             qPrintable(shown));

    // The next decision takes the old warning away at once.
    QTest::mouseClick(panel.deleteButton(), Qt::LeftButton);
    QVERIFY(!panel.failureLabel()->isVisible());
    QTRY_VERIFY(!panel.isAnimating());
    QVERIFY(panel.failureLabel()->isVisible());
}

void TestMenuBarView::copyShowsProgress()
{
    HeldMove fileSystem;
    Review review(3, fileSystem);
    auto &[home, files, state, panel] = review;
    QProgressBar *bar = panel.previewCard()->progressBar();

    QTest::mouseClick(panel.keepButton(), Qt::LeftButton);
    QTRY_COMPARE_WITH_TIMEOUT(fileSystem.entered.available(), 1, 10000);
    fileSystem.entered.acquire();
    // Held in the middle of its copy: after a moment the card shows how far it is, and the
    // panel answers: another row can be picked, Keep and Delete are not taken again.
    QTRY_VERIFY(bar->isVisible());
    QCOMPARE(bar->value(), bar->maximum() / 4);
    clickRow(panel, 2);
    QCOMPARE(state.currentFile()->filePath, files.at(2));
    QTest::mouseClick(panel.deleteButton(), Qt::LeftButton);
    QVERIFY(panel.isAnimating());
    fileSystem.released.release();

    QTRY_VERIFY(!panel.isAnimating());
    QVERIFY(!bar->isVisible());
    QCOMPARE(readFile(home.keptMonth() + u"/f0.txt"_s), QByteArray("file 0"));
    QVERIFY(QFileInfo::exists(files.at(2)));
    QCOMPARE(state.files().size(), 2);
    QCOMPARE(state.currentFile()->filePath, files.at(2));
    // The Delete pressed meanwhile was not taken.
    QCOMPARE(state.lastDecision()->originalPath, files.at(0));
    QVERIFY(!QFileInfo::exists(home.path(u".local/share/Trash/files"_s)));
}

void TestMenuBarView::lateFailureReplacesSuccess()
{
    HeldMove fileSystem;
    fileSystem.failure = ENOSPC;
    Review review(2, fileSystem);
    auto &[home, files, state, panel] = review;
    PreviewCard *card = panel.previewCard();
    QStringList symbols;
    connect(card, &PreviewCard::feedbackShown, card,
            [&symbols](const QString &symbol) { symbols.append(symbol); });
    home.lines().clear();

    // The file is there at the press: the check mark. Refresh is asked for during the copy.
    QTest::mouseClick(panel.keepButton(), Qt::LeftButton);
    QTRY_COMPARE_WITH_TIMEOUT(fileSystem.entered.available(), 1, 10000);
    fileSystem.entered.acquire();
    QCOMPARE(symbols, QStringList{u"checkmark.circle.fill"_s});
    QTest::mouseClick(panel.refreshButton(), Qt::LeftButton);
    QCOMPARE(home.scanCount(), 0);
    fileSystem.released.release(); // the drive turns out full

    QTRY_VERIFY(!panel.isAnimating());
    QCOMPARE(symbols,
             (QStringList{u"checkmark.circle.fill"_s, u"exclamationmark.triangle.fill"_s}));
    QCOMPARE(home.lines().first(), u"Failed to keep: the drive is full"_s);
    // The Refresh asked for before the failure was known ran after it; the warning stays.
    QCOMPARE(home.scanCount(), 1);
    QTRY_COMPARE(card->feedbackLevel(), 1.0);
    QCOMPARE(card->symbolName(), u"exclamationmark.triangle.fill"_s);
    QVERIFY(panel.failureLabel()->isVisible());
    QCOMPARE(panel.failureLabel()->text(), u"Could not keep \"f0.txt\": No space left on device"_s);
    QCOMPARE(state.currentFile()->filePath, files.at(0));
    QCOMPARE(readFile(files.at(0)), QByteArray("file 0"));

    // A Refresh now takes it away.
    QTest::mouseClick(panel.refreshButton(), Qt::LeftButton);
    QVERIFY(!panel.failureLabel()->isVisible());
    QTRY_COMPARE(card->feedbackLevel(), 0.0);
}

void TestMenuBarView::contextMenu()
{
    TestHome home;
    // A Latin-1 name: not valid UTF-8, so only its bytes name it.
    QVERIFY(writeFile(QFile::encodeName(home.folder(u"Downloads"_s)) + "/caf\xe9.txt", "text"));
    const auto applications = onlyApplicationsFor("text/plain=editor.desktop;\n");
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
    QVERIFY(chooseFromMenu(row, u"Show in Folder"_s));
    QTRY_COMPARE(fileManager.shown, QStringList{QString::fromLatin1(file)});
    QCOMPARE(recorder.urls.size(), 2);
}

void TestMenuBarView::openWithNoApplication()
{
    TestHome home;
    QVERIFY(writeFile(QFile::encodeName(home.folder(u"Downloads"_s)) + "/report.pdf", "%PDF-"));
    const auto applications = onlyApplicationsFor("text/plain=editor.desktop;\n");
    AppState state;
    MenuBarView panel(state);
    panel.show();
    OpenedUrls recorder;

    // Nothing would open: the warning says so, on the row's menu and on the card's.
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
    QVERIFY(recorder.urls.isEmpty());
}

void TestMenuBarView::keyboardReview()
{
    Review review(6);
    auto &[home, files, state, panel] = review;
    panel.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&panel));
    FileListView *list = panel.fileList();

    // Open: the list has the focus; one Space decides nothing.
    QCOMPARE(QApplication::focusWidget(), list);
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

void TestMenuBarView::showingAgainRescans()
{
    Review review(4);
    auto &[home, files, state, panel] = review;
    clickRow(panel, 2);
    QTRY_VERIFY(!panel.fileList()->isScrolling());
    QVERIFY(panel.fileList()->verticalScrollBar()->value() > 0);
    panel.hide();
    const QString newest = home.path(u"Downloads/newest.txt"_s);
    QVERIFY(writeFile(newest, "new", baseTime + 100));

    panel.show();
    QCOMPARE(state.currentIndex(), 0);
    QCOMPARE(state.currentFile()->filePath, newest);
    QCOMPARE(panel.nameLabel()->text(), u"newest.txt"_s);
    QCOMPARE(panel.countLabel()->count(), 5);
    QTRY_COMPARE(panel.fileList()->verticalScrollBar()->value(), 0); // back at the top
}

void TestMenuBarView::rowsAreBuiltLazily()
{
    Review review(3000);
    auto &[home, files, state, panel] = review;

    FileListView *list = panel.fileList();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QVERIFY(list->visibleRows().size() <= 4);
    QCOMPARE(list->visibleRows().first()->file().id, state.files().first().id);
    QCOMPARE(list->findChildren<FileRowView *>().size(), list->visibleRows().size());

    // Picking a far file brings its row on screen.
    state.setCurrentIndex(2500);
    QTRY_VERIFY(!list->isScrolling());
    QVERIFY(list->rowAt(2500));
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QVERIFY(list->visibleRows().size() <= 4);
    QCOMPARE(list->findChildren<FileRowView *>().size(), list->visibleRows().size());
}

void TestMenuBarView::detailsOfTheFiles()
{
    TestHome home;
    QVERIFY(writeFile(home.folder(u"Desktop"_s) + u"/a.pdf"_s, QByteArray(2'400'000, 'x')));
    QVERIFY(writeFile(home.folder(u"Downloads"_s) + u"/b.bin"_s, "", baseTime - 1000000));
    AppState state;
    MenuBarView panel(state);
    panel.show();

    QCOMPARE(panel.detailsLabel()->text(), u"Desktop \u2022 2.4 MB"_s);
    FileRowView *row = panel.fileList()->rowAt(1);
    QVERIFY(row);
    QCOMPARE(row->sizeText(), u"0 bytes"_s);
    QCOMPARE(row->badgeText(), u"Downloads"_s);

    // One byte reads in the singular; a long folder name leaves the file name most of the row.
    const QString folder = home.path(u"Project files shared with the whole team in 2026"_s);
    QVERIFY(QDir().mkpath(folder));
    QVERIFY(writeFile(folder + u"/long-report-name.pdf"_s, "x", baseTime - 2000000));
    state.addFolder(QUrl::fromLocalFile(folder));
    QTRY_VERIFY(panel.fileList()->rowAt(2));
    row = panel.fileList()->rowAt(2);
    QCOMPARE(row->nameText(), u"long-report-name.pdf"_s);
    QCOMPARE(row->sizeText(), u"1 byte"_s);
    QVERIFY2(row->badgeText().endsWith(QChar(0x2026)), qPrintable(row->badgeText()));
    QLabel *badge = nullptr;
    for (QLabel *label : row->findChildren<QLabel *>())
        if (label->text() == row->badgeText())
            badge = label;
    QVERIFY(badge);
    QVERIFY(badge->width() <= FileRowView::maxBadgeWidth);
    QCOMPARE(badge->toolTip(), u"Project files shared with the whole team in 2026"_s);
}

void TestMenuBarView::framelessPanelHasAnEdge()
{
    TestHome home;
    AppState state;
    MenuBarView panel(state);
    panel.resize(320, 480);
    const auto edgeOf = [&panel] {
        const QImage picture = panel.grab().toImage();
        return picture.pixelColor(0, picture.height() / 2);
    };
    const QColor background = panel.palette().color(QPalette::Window);
    QCOMPARE(edgeOf(), background); // a window manager's frame draws the edge
    panel.setWindowFlags(Qt::Tool | Qt::FramelessWindowHint);
    QVERIFY(edgeOf() != background);
}

// The bare columns after a button's symbol, before the title begins.
static int gapAfterSymbol(const QPushButton *button)
{
    const QImage symbol = button->icon().pixmap(button->iconSize(), 2.0).toImage();
    int x = symbol.width();
    const auto bare = [&symbol](int column) {
        for (int y = 0; y < symbol.height(); ++y) {
            if (qAlpha(symbol.pixel(column, y)) > 0)
                return false;
        }
        return true;
    };
    while (x > 0 && bare(x - 1))
        --x;
    return symbol.width() - x;
}

void TestMenuBarView::decisionIconsSitAlike()
{
    TestHome home;
    AppState state;
    MenuBarView panel(state);
    const int deleteGap = gapAfterSymbol(panel.deleteButton());
    const int keepGap = gapAfterSymbol(panel.keepButton());
    QVERIFY2(deleteGap > 0 && deleteGap == keepGap,
             qPrintable(u"Delete %1 px, Keep %2 px"_s.arg(deleteGap).arg(keepGap)));
}

QTEST_MAIN(TestMenuBarView)
#include "tst_MenuBarView.moc"
