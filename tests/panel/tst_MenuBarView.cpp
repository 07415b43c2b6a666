#include "AppState.h"
#include "CountLabel.h"
#include "ElidedLabel.h"
#include "FileListView.h"
#include "FileNames.h"
#include "FileRowView.h"
#include "FinishedView.h"
#include "MenuBarView.h"
#include "PreviewCard.h"
#include "SmartPreviewView.h"
#include "TestHome.h"

#include <QLabel>
#include <QPushButton>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>
#include <QToolButton>

using namespace Qt::StringLiterals;

namespace {

const QDateTime fixedNow(QDate(2026, 12, 6), QTime(9, 30));
constexpr qint64 baseTime = 1'790'000'000;

// Files f0 (newest) .. f<count-1> in Downloads.
QStringList makeFiles(TestHome &home, int count)
{
    const QString downloads = home.folder(u"Downloads"_s);
    QStringList paths;
    for (int i = 0; i < count; ++i) {
        const QString path = downloads + u"/f"_s + QString::number(i) + u".txt"_s;
        writeFile(path, "file " + QByteArray::number(i), baseTime - i);
        paths.append(path);
    }
    return paths;
}

QString keptPath(const TestHome &home, const QString &name)
{
    return home.path(u"Documents/Kept/2026/December/"_s) + name;
}

QString trashPath(const TestHome &home, const QString &name)
{
    return home.path(u".local/share/Trash/files/"_s) + name;
}

// A panel on screen over `count` files in Downloads, with the clock fixed for Keep.
struct Review
{
    explicit Review(int count)
        : files(makeFiles(home, count))
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

} // namespace

class TestMenuBarView final : public QObject
{
    Q_OBJECT

public:
    static void initMain() { useTemporarySettingsStore(); }

private slots:
    void init() { QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates)); }
    void count_data();
    void count();
    void finishedStateWhenEmpty();
    void clickMakesRowCurrent();
    void keepPressedTwiceMovesOneFile();
    void deleteThenKeepDeletesOnly();
    void decisionBelongsToTheFileOnScreen();
    void rescanDuringFeedbackMovesNothing();
    void lastFileKeptShowsFinishedState();
    void failedKeepKeepsTheFileCurrent();
    void showingAgainRescans();
    void rowsAreBuiltLazily();
    void detailsOfTheCurrentFile();
};

void TestMenuBarView::count_data()
{
    QTest::addColumn<int>("files");
    QTest::addColumn<QString>("text");
    QTest::newRow("none") << 0 << u"0 files"_s;
    QTest::newRow("one, no singular form") << 1 << u"1 files"_s;
    QTest::newRow("many") << 12 << u"12 files"_s;
}

void TestMenuBarView::count()
{
    QFETCH(int, files);
    QFETCH(QString, text);
    TestHome home;
    makeFiles(home, files);
    AppState state;
    MenuBarView panel(state);
    panel.show();
    QCOMPARE(panel.countLabel()->text(), text);
    QCOMPARE(panel.size(), QSize(320, 480));
}

void TestMenuBarView::finishedStateWhenEmpty()
{
    TestHome home;
    AppState state;
    MenuBarView panel(state);
    panel.show();

    QVERIFY(panel.isShowingFinishedState());
    QVERIFY(panel.finishedView()->isVisible());
    QVERIFY(!panel.keepButton()->isVisible());
    QVERIFY(!panel.deleteButton()->isVisible());

    // "Scan Again" finds what arrived meanwhile.
    makeFiles(home, 2);
    QTest::mouseClick(panel.finishedView()->scanAgainButton(), Qt::LeftButton);
    QVERIFY(!panel.isShowingFinishedState());
    QCOMPARE(panel.countLabel()->count(), 2);
    QVERIFY(panel.keepButton()->isVisible());
}

void TestMenuBarView::clickMakesRowCurrent()
{
    Review review(6);
    auto &[home, files, state, panel] = review;
    QSignalSpy indexChanges(&state, &AppState::currentIndexChanged);

    clickRow(panel, 1);
    QCOMPARE(state.currentIndex(), 1);
    QCOMPARE(indexChanges.count(), 1);
    QTRY_COMPARE(panel.fileList()->rowAt(1)->selectionLevel(), 1.0);
    QTRY_COMPARE(panel.fileList()->rowAt(0)->selectionLevel(), 0.0);
    QCOMPARE(panel.previewCard()->fileId(), state.files().at(1).id);

    // The current row again: the index is assigned again, and nothing moves.
    QTRY_VERIFY(!panel.fileList()->isScrolling());
    const int position = panel.fileList()->verticalScrollBar()->value();
    clickRow(panel, 1);
    QCOMPARE(state.currentIndex(), 1);
    QVERIFY(!panel.fileList()->isScrolling());
    QCOMPARE(panel.fileList()->verticalScrollBar()->value(), position);
}

void TestMenuBarView::keepPressedTwiceMovesOneFile()
{
    Review review(3);
    auto &[home, files, state, panel] = review;

    QTest::mouseClick(panel.keepButton(), Qt::LeftButton);
    QVERIFY(panel.isAnimating());
    QVERIFY(!panel.keepButton()->isEnabled());
    panel.performWithFeedback(MenuBarView::Decision::Keep); // a second press, ignored

    QTRY_VERIFY(!panel.isAnimating());
    QCOMPARE(state.files().size(), 2);
    QVERIFY(QFileInfo::exists(keptPath(home, u"f0.txt"_s)));
    QVERIFY(QFileInfo::exists(files.at(1)));
    QVERIFY(QFileInfo::exists(files.at(2)));
    QVERIFY(panel.keepButton()->isEnabled());
}

void TestMenuBarView::deleteThenKeepDeletesOnly()
{
    Review review(3);
    auto &[home, files, state, panel] = review;

    QTest::mouseClick(panel.deleteButton(), Qt::LeftButton);
    QTest::mouseClick(panel.keepButton(), Qt::LeftButton); // disabled: ignored
    QVERIFY(panel.showTrash());
    QVERIFY(!panel.showCheckmark());
    QCOMPARE(panel.overlayColor(), panel.previewCard()->overlayColor());

    QTRY_VERIFY(!panel.isAnimating());
    QVERIFY(QFileInfo::exists(trashPath(home, u"f0.txt"_s)));
    QVERIFY(!QFileInfo::exists(home.path(u"Documents/Kept"_s)));
    QCOMPARE(state.files().size(), 2);
    QCOMPARE(state.currentFile()->filePath, files.at(1));
}

void TestMenuBarView::decisionBelongsToTheFileOnScreen()
{
    Review review(5);
    auto &[home, files, state, panel] = review;
    clickRow(panel, 2);
    QCOMPARE(state.currentIndex(), 2);
    QTRY_VERIFY(!panel.fileList()->isScrolling());

    QTest::mouseClick(panel.keepButton(), Qt::LeftButton); // f2 on screen
    clickRow(panel, 1);                                    // then f1, within 0.2 s
    QCOMPARE(state.currentIndex(), 1);

    QTRY_VERIFY(!panel.isAnimating());
    QVERIFY(QFileInfo::exists(keptPath(home, u"f2.txt"_s)));
    QVERIFY(QFileInfo::exists(files.at(1)));
    QCOMPARE(state.currentFile()->filePath, files.at(1)); // the clicked file stays current

    // A row clicked after the acted-on one: the position follows the clicked file.
    QTRY_VERIFY(!panel.fileList()->isScrolling());
    QTest::mouseClick(panel.deleteButton(), Qt::LeftButton); // f1
    clickRow(panel, 2);                                      // f3
    QTRY_VERIFY(!panel.isAnimating());
    QVERIFY(QFileInfo::exists(trashPath(home, u"f1.txt"_s)));
    QCOMPARE(state.currentIndex(), 1);
    QCOMPARE(state.currentFile()->filePath, files.at(3));
    QCOMPARE(state.files().size(), 3);
}

void TestMenuBarView::rescanDuringFeedbackMovesNothing()
{
    Review review(3);
    auto &[home, files, state, panel] = review;

    QTest::mouseClick(panel.keepButton(), Qt::LeftButton);
    QTest::mouseClick(panel.refreshButton(), Qt::LeftButton); // new records, new ids

    QTRY_VERIFY(!panel.isAnimating());
    for (const QString &file : files)
        QVERIFY(QFileInfo::exists(file));
    QCOMPARE(state.files().size(), 3);
}

void TestMenuBarView::lastFileKeptShowsFinishedState()
{
    Review review(1);
    auto &[home, files, state, panel] = review;

    QTest::mouseClick(panel.keepButton(), Qt::LeftButton);
    QTRY_VERIFY(panel.isShowingFinishedState());
    QTRY_VERIFY(!panel.isAnimating());
    QCOMPARE(panel.overlayColor(), QColor(Qt::transparent));
    QVERIFY(!panel.showCheckmark());
    QVERIFY(!panel.showTrash());
    QVERIFY(QFileInfo::exists(keptPath(home, u"f0.txt"_s)));
    QCOMPARE(panel.countLabel()->text(), u"0 files"_s);
}

void TestMenuBarView::failedKeepKeepsTheFileCurrent()
{
    Review review(2);
    auto &[home, files, state, panel] = review;
    const QUuid current = state.currentFile()->id;
    QVERIFY(QFile::remove(files.at(0)));
    home.lines().clear();

    QTest::mouseClick(panel.keepButton(), Qt::LeftButton);
    QTRY_VERIFY(!panel.isAnimating());

    QCOMPARE(home.lines().size(), 1);
    QVERIFY(home.lines().first().startsWith(u"Failed to keep: "_s));
    QCOMPARE(state.currentFile()->id, current);
    QCOMPARE(panel.previewCard()->fileId(), current);
    QVERIFY(QFileInfo::exists(files.at(1)));
    QTRY_COMPARE(panel.previewCard()->feedbackLevel(), 0.0);
}

void TestMenuBarView::showingAgainRescans()
{
    Review review(4);
    auto &[home, files, state, panel] = review;
    clickRow(panel, 2);
    QCOMPARE(state.currentIndex(), 2);
    QTRY_VERIFY(!panel.fileList()->isScrolling());
    QVERIFY(panel.fileList()->verticalScrollBar()->value() > 0);
    panel.hide();
    const QString newest = home.path(u"Downloads/newest.txt"_s);
    QVERIFY(writeFile(newest, "new", baseTime + 100));

    panel.show();
    const qsizetype finishedChildren =
        panel.finishedView()->findChildren<QWidget *>(Qt::FindDirectChildrenOnly).size();

    QCOMPARE(state.currentIndex(), 0);
    QCOMPARE(state.currentFile()->filePath, newest);
    QCOMPARE(panel.nameLabel()->text(), u"newest.txt"_s);
    QCOMPARE(panel.countLabel()->count(), 5);
    QTRY_COMPARE(panel.fileList()->verticalScrollBar()->value(), 0); // back at the top

    // A rescan that finds the same files neither flashes the finished state nor moves the
    // count through zero.
    QTRY_VERIFY(!panel.countLabel()->isAnimating());
    QTest::mouseClick(panel.refreshButton(), Qt::LeftButton);
    QVERIFY(!panel.countLabel()->isAnimating());
    QVERIFY(!panel.isShowingFinishedState());
    QCOMPARE(panel.finishedView()->findChildren<QWidget *>(Qt::FindDirectChildrenOnly).size(),
             finishedChildren);
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

    // Picking a far file brings its row to the middle of the list.
    state.setCurrentIndex(2500);
    QTRY_VERIFY(!list->isScrolling());
    FileRowView *row = list->rowAt(2500);
    QVERIFY(row);
    const int middle = list->viewport()->height() / 2;
    QVERIFY(qAbs(row->geometry().center().y() - middle) <= 2);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QVERIFY(list->visibleRows().size() <= 4);
    QCOMPARE(list->findChildren<FileRowView *>().size(), list->visibleRows().size());
}

void TestMenuBarView::detailsOfTheCurrentFile()
{
    TestHome home;
    const QString desktop = home.folder(u"Desktop"_s);
    QVERIFY(writeFile(desktop + u"/a rather long file name that cannot fit in the panel.pdf"_s,
                      QByteArray(2'400'000, 'x')));
    QVERIFY(writeFile(home.folder(u"Downloads"_s) + u"/empty.bin"_s, "", baseTime - 1000000));
    AppState state;
    MenuBarView panel(state);
    panel.show();

    QCOMPARE(panel.detailsLabel()->text(), u"Desktop \u2022 2.4 MB"_s);
    QVERIFY(panel.nameLabel()->shownText().contains(u"\u2026"_s));
    QVERIFY(panel.previewCard()->preview());
    FileRowView *second = panel.fileList()->rowAt(1);
    QVERIFY(second);
    QCOMPARE(second->sizeText(), u"0 bytes"_s);
    QCOMPARE(second->badgeText(), u"Downloads"_s);
    // Accessible names of the icon-only buttons.
    QCOMPARE(panel.settingsButton()->accessibleName(), u"Settings"_s);
    QCOMPARE(panel.refreshButton()->accessibleName(), u"Refresh"_s);
    QCOMPARE(panel.quitButton()->accessibleName(), u"Quit"_s);
    QSignalSpy settings(&panel, &MenuBarView::settingsRequested);
    QTest::mouseClick(panel.settingsButton(), Qt::LeftButton);
    QCOMPARE(settings.count(), 1);
}

QTEST_MAIN(TestMenuBarView)
#include "tst_MenuBarView.moc"
