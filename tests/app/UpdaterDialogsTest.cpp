#include "UpdaterDialogs.h"
#include "ReleaseNotesView.h"
#include "TestEnvironment.h"
#include "UpdaterViewModel.h"

#include <QApplication>
#include <QDesktopServices>
#include <QLabel>
#include <QMessageBox>
#include <QProgressDialog>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

#include <functional>

using namespace Qt::StringLiterals;

namespace {

QList<QDialog *> visibleDialogs()
{
    QList<QDialog *> dialogs;
    for (QWidget *widget : QApplication::topLevelWidgets()) {
        if (auto *dialog = qobject_cast<QDialog *>(widget); dialog && dialog->isVisible())
            dialogs.append(dialog);
    }
    return dialogs;
}

// All the text a dialog shows, joined by newlines.
QString shownText(const QDialog *dialog)
{
    QStringList parts;
    if (const auto *box = qobject_cast<const QMessageBox *>(dialog))
        parts << box->text() << box->informativeText();
    if (const auto *progress = qobject_cast<const QProgressDialog *>(dialog))
        parts << progress->labelText();
    for (const QLabel *label : dialog->findChildren<QLabel *>()) {
        if (label->isVisible())
            parts << label->text();
    }
    for (const ReleaseNotesView *notes : dialog->findChildren<ReleaseNotesView *>())
        parts << notes->toPlainText();
    return parts.join(u'\n');
}

QPushButton *buttonWithText(const QDialog *dialog, const QString &text)
{
    for (QPushButton *button : dialog->findChildren<QPushButton *>()) {
        if (button->text().remove(u'&') == text)
            return button;
    }
    return nullptr;
}

AppcastItem release(const QString &version, const QString &description = {},
                    const QUrl &notesLink = {})
{
    AppcastItem item;
    item.version = version;
    item.description = description;
    item.releaseNotesLink = notesLink;
    return item;
}

using Step = std::function<void(UpdaterDialogs &)>;

} // namespace

Q_DECLARE_METATYPE(Step)

// Receives the URLs the dialogs hand to the desktop instead of starting a file manager.
class OpenedUrls final : public QObject
{
    Q_OBJECT

public:
    QList<QUrl> urls;

public slots:
    void open(const QUrl &url) { urls.append(url); }
};

class UpdaterDialogsTest final : public QObject
{
    Q_OBJECT

public:
    static void initMain() { TestEnvironment::install(); }

private slots:
    void cleanup();
    void oneDialogAtATime_data();
    void oneDialogAtATime();
    void buttons_data();
    void buttons();
    void releaseNotes_data();
    void releaseNotes();
    void downloadedShowsFolder();
    void defaultSourceBuildSaysHowToUpdate();
};

void UpdaterDialogsTest::cleanup()
{
    for (QDialog *dialog : visibleDialogs())
        delete dialog;
}

void UpdaterDialogsTest::oneDialogAtATime_data()
{
    QTest::addColumn<Step>("first");
    QTest::addColumn<Step>("second");
    QTest::addColumn<QString>("shown");

    const Step checking = [](UpdaterDialogs &ui) {
        ui.showChecking();
    };
    QTest::newRow("checking, then up to date")
        << checking << Step([](UpdaterDialogs &ui) { ui.showUpToDate(u"0.1.0"_s); })
        << u"Mirel 0.1.0 is the newest version available."_s;
    QTest::newRow("checking, then an error") << checking << Step([](UpdaterDialogs &ui) {
        ui.showError(UpdateProblem::Kind::NoNetwork);
    }) << UpdateProblem::message(UpdateProblem::Kind::NoNetwork);
    QTest::newRow("checking, then a newer version")
        << checking << Step([](UpdaterDialogs &ui) { ui.showUpdate(release(u"2.0"_s), u"1.0"_s); })
        << u"Mirel 2.0 is available. You have version 1.0."_s;
    QTest::newRow("a newer version, then downloading")
        << Step([](UpdaterDialogs &ui) { ui.showUpdate(release(u"2.0"_s), u"1.0"_s); })
        << Step([](UpdaterDialogs &ui) { ui.showDownloading(0, 4096); })
        << u"Downloading the update…"_s;
    // The test runs from the build folder, as a Mirel built from source does.
    QTest::newRow("without a feed, built from source") << checking << Step([](UpdaterDialogs &ui) {
        ui.showPackageManaged();
    }) << u"This build of Mirel has no update feed. To update it, fetch the new source and build it again."_s;
}

void UpdaterDialogsTest::oneDialogAtATime()
{
    QFETCH(Step, first);
    QFETCH(Step, second);
    QFETCH(QString, shown);
    UpdaterDialogs ui;
    QSignalSpy closed(&ui, &UpdaterUi::closed);

    first(ui);
    QCOMPARE(visibleDialogs().size(), 1);
    second(ui);
    QTRY_COMPARE(visibleDialogs().size(), 1);
    QDialog *dialog = visibleDialogs().first();
    QVERIFY2(shownText(dialog).contains(shown), qPrintable(shownText(dialog)));
    QCOMPARE(dialog->windowModality(), Qt::NonModal);
    QCOMPARE(QApplication::activeModalWidget(), nullptr);
    QCOMPARE(closed.count(), 0); // replacing a dialog is not the user closing it
}

void UpdaterDialogsTest::buttons_data()
{
    QTest::addColumn<Step>("show");
    QTest::addColumn<QString>("button");
    QTest::addColumn<bool>("closes"); // false: asks for the download instead
    QTest::newRow("Cancel while checking")
        << Step([](UpdaterDialogs &ui) { ui.showChecking(); }) << u"Cancel"_s << true;
    QTest::newRow("Cancel while downloading")
        << Step([](UpdaterDialogs &ui) { ui.showDownloading(10, 100); }) << u"Cancel"_s << true;
    QTest::newRow("OK when up to date")
        << Step([](UpdaterDialogs &ui) { ui.showUpToDate(u"1.0"_s); }) << u"OK"_s << true;
    const Step update = [](UpdaterDialogs &ui) {
        ui.showUpdate(release(u"2.0"_s), u"1.0"_s);
    };
    QTest::newRow("Not Now on a newer version") << update << u"Not Now"_s << true;
    QTest::newRow("Download on a newer version") << update << u"Download"_s << false;
}

void UpdaterDialogsTest::buttons()
{
    QFETCH(Step, show);
    QFETCH(QString, button);
    QFETCH(bool, closes);
    UpdaterDialogs ui;
    QSignalSpy closed(&ui, &UpdaterUi::closed);
    QSignalSpy download(&ui, &UpdaterUi::downloadRequested);
    show(ui);
    QCOMPARE(visibleDialogs().size(), 1);
    QPushButton *pressed = buttonWithText(visibleDialogs().first(), button);
    QVERIFY(pressed != nullptr);

    pressed->click();
    QCOMPARE(download.count(), closes ? 0 : 1);
    QCOMPARE(closed.count(), closes ? 1 : 0);
    if (!closes)
        return;
    QTRY_VERIFY(visibleDialogs().isEmpty());
    ui.raiseCurrent(); // nothing left to bring forward
    QVERIFY(visibleDialogs().isEmpty());
    QCOMPARE(closed.count(), 1);
}

void UpdaterDialogsTest::releaseNotes_data()
{
    QTest::addColumn<AppcastItem>("item");
    QTest::addColumn<QString>("shown");
    QTest::addColumn<QString>("notShown");
    QTest::newRow("simple HTML is rendered")
        << release(u"2.0"_s, u"<h2>New</h2><ul><li>Faster <b>scans</b></li></ul>"_s)
        << u"Faster scans"_s << u"<b>"_s;
    QTest::newRow("plain text stays as written")
        << release(u"2.0"_s, u"Fixed: 2 < 3 & 4 > 1"_s) << u"Fixed: 2 < 3 & 4 > 1"_s << u"&amp;"_s;
    QTest::newRow("only a link") << release(u"2.0"_s, {},
                                            QUrl(u"https://example.org/notes?a=1&b=2"_s))
                                 << u"href=\"https://example.org/notes?a=1&amp;b=2\""_s
                                 << u"Faster"_s;
    QTest::newRow("a link that is not secure is left out")
        << release(u"2.0"_s, {}, QUrl(u"http://example.org/notes"_s)) << u"Mirel 2.0"_s
        << u"example.org"_s;
}

void UpdaterDialogsTest::releaseNotes()
{
    QFETCH(AppcastItem, item);
    QFETCH(QString, shown);
    QFETCH(QString, notShown);
    UpdaterDialogs ui;
    ui.showUpdate(item, u"1.0"_s);
    QCOMPARE(visibleDialogs().size(), 1);
    const QString text = shownText(visibleDialogs().first());
    QVERIFY2(text.contains(shown), qPrintable(text));
    QVERIFY2(!text.contains(notShown), qPrintable(text));
}

void UpdaterDialogsTest::downloadedShowsFolder()
{
    OpenedUrls opened;
    QDesktopServices::setUrlHandler(u"file"_s, &opened, "open");
    const auto restore = qScopeGuard([] { QDesktopServices::unsetUrlHandler(u"file"_s); });
    const QString folder = TestEnvironment::path() + u"/Downloads"_s;

    UpdaterDialogs ui;
    ui.showDownloaded(folder + u"/Mirel <2.0>.AppImage"_s);
    QCOMPARE(opened.urls, QList<QUrl>{QUrl::fromLocalFile(folder)});
    QCOMPARE(visibleDialogs().size(), 1);
    const QString text = shownText(visibleDialogs().first());
    QVERIFY2(text.contains(u"Mirel &lt;2.0&gt;.AppImage"_s), qPrintable(text));
}

void UpdaterDialogsTest::defaultSourceBuildSaysHowToUpdate()
{
    if (!UpdaterSettings::fromBuild().feedUrl.isEmpty())
        QSKIP("this build was configured with an update feed; the test must not contact it");
    UpdaterViewModel viewModel; // the settings compiled in and the real dialogs
    viewModel.checkForUpdates();
    QCOMPARE(visibleDialogs().size(), 1);
    const QString text = shownText(visibleDialogs().first());
    // Run from the build folder: the package manager has nothing to offer this build.
    QVERIFY2(text.contains(u"fetch the new source and build it again"_s), qPrintable(text));
}

QTEST_MAIN(UpdaterDialogsTest)
#include "UpdaterDialogsTest.moc"
