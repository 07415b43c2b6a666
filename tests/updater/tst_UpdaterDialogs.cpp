// SPDX-License-Identifier: GPL-3.0-or-later
#include "OpenedUrls.h"
#include "ReleaseNotesView.h"
#include "TestHome.h"
#include "UpdaterDialogs.h"
#include "UpdaterViewModel.h"

#include <QApplication>
#include <QDesktopServices>
#include <QLabel>
#include <QMessageBox>
#include <QProgressDialog>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTextDocument>

#include <functional>

#include <sys/stat.h>

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

// Version 2.0 with these notes.
AppcastItem release(const QString &description = {}, const QUrl &notesLink = {})
{
    AppcastItem item;
    item.version = u"2.0"_s;
    item.description = description;
    item.releaseNotesLink = notesLink;
    return item;
}

using Step = std::function<void(UpdaterDialogs &)>;

// A colour only the style sheet given to the notes uses.
const QColor styleSheetColour(0x12, 0x34, 0x56);

// Everything in the notes' document that would make Qt load something or show what it loaded,
// and the links it holds. Every format any frame, block or fragment uses is among allFormats().
QStringList resourceProblems(const QTextDocument *document, QStringList &links)
{
    QStringList problems;
    for (const QTextFormat &format : document->allFormats()) {
        if (format.isImageFormat())
            problems << u"image "_s + format.toImageFormat().name();
        if (format.hasProperty(QTextFormat::BackgroundImageUrl))
            problems << u"background "_s + format.stringProperty(QTextFormat::BackgroundImageUrl);
        if (format.background().style() == Qt::TexturePattern)
            problems << u"background picture"_s;
        if (format.foreground().color() == styleSheetColour)
            problems << u"style sheet colour"_s;
        if (format.toCharFormat().isAnchor())
            links << format.toCharFormat().anchorHref();
    }
    return problems;
}

} // namespace

Q_DECLARE_METATYPE(Step)

class TestUpdaterDialogs final : public TemporaryHomeSuite
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanup();
    void dialogs_data();
    void dialogs();
    void releaseNotes_data();
    void releaseNotes();
    void downloadedShowsFolder();
    void defaultSourceBuildSaysHowToUpdate();

private:
    QTemporaryDir m_files; // a picture and a FIFO the notes point at
};

void TestUpdaterDialogs::initTestCase()
{
    QVERIFY(m_files.isValid());
    QVERIFY(writeImage(quadrantImage(QSize(8, 8)), m_files.filePath(u"picture.png"_s), "png"));
    // Opening a FIFO to read waits for a writer: any attempt to load it hangs the test.
    QCOMPARE(::mkfifo(QFile::encodeName(m_files.filePath(u"pipe.png"_s)).constData(), 0600), 0);
}

void TestUpdaterDialogs::cleanup()
{
    for (QDialog *dialog : visibleDialogs())
        delete dialog;
}

void TestUpdaterDialogs::dialogs_data()
{
    QTest::addColumn<Step>("show"); // after the checking dialog
    QTest::addColumn<QString>("shown");
    QTest::addColumn<QString>("button");
    QTest::addColumn<bool>("closes"); // false: asks for the download instead
    const Step update = [](UpdaterDialogs &ui) {
        ui.showUpdate(release(), u"1.0"_s);
    };
    QTest::newRow("Cancel while checking") << Step([](UpdaterDialogs &ui) { ui.showChecking(); })
                                           << u"Checking for updates…"_s << u"Cancel"_s << true;
    QTest::newRow("Cancel while downloading") << Step([update](UpdaterDialogs &ui) {
        update(ui);
        ui.showDownloading(10, 100);
    }) << u"Downloading the update…"_s << u"Cancel"_s
                                              << true;
    QTest::newRow("OK when up to date")
        << Step([](UpdaterDialogs &ui) { ui.showUpToDate(u"0.1.0"_s); })
        << u"Mirel 0.1.0 is the newest version available."_s << u"OK"_s << true;
    QTest::newRow("OK on an error")
        << Step([](UpdaterDialogs &ui) { ui.showError(UpdateProblem::Kind::NoNetwork); })
        << UpdateProblem::message(UpdateProblem::Kind::NoNetwork) << u"OK"_s << true;
    const QString offered = u"Mirel 2.0 is available. You have version 1.0."_s;
    QTest::newRow("Not Now on a newer version") << update << offered << u"Not Now"_s << true;
    QTest::newRow("Download on a newer version") << update << offered << u"Download"_s << false;
}

void TestUpdaterDialogs::dialogs()
{
    QFETCH(Step, show);
    QFETCH(QString, shown);
    QFETCH(QString, button);
    QFETCH(bool, closes);
    UpdaterDialogs ui;
    QSignalSpy closed(&ui, &UpdaterUi::closed);
    QSignalSpy download(&ui, &UpdaterUi::downloadRequested);
    ui.showChecking();
    show(ui);
    // One dialog at a time, never modal; replacing one is not the user closing it.
    QTRY_COMPARE(visibleDialogs().size(), 1);
    QDialog *dialog = visibleDialogs().first();
    QVERIFY2(shownText(dialog).contains(shown), qPrintable(shownText(dialog)));
    QCOMPARE(QApplication::activeModalWidget(), nullptr);
    QCOMPARE(closed.count(), 0);
    QPushButton *pressed = buttonWithText(dialog, button);
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

void TestUpdaterDialogs::releaseNotes_data()
{
    QTest::addColumn<AppcastItem>("item");
    QTest::addColumn<QString>("shown");
    QTest::addColumn<QString>("notShown");
    QTest::addColumn<QStringList>("links"); // in the notes themselves
    QTest::newRow("simple HTML is rendered")
        << release(u"<h2>New</h2><ul><li>Faster <b>scans</b></li></ul>"_s) << u"Faster scans"_s
        << u"<b>"_s << QStringList();
    QTest::newRow("plain text stays as written")
        << release(u"Fixed: 2 < 3 & 4 > 1"_s) << u"Fixed: 2 < 3 & 4 > 1"_s << u"&amp;"_s
        << QStringList();
    QTest::newRow("only a link") << release({}, QUrl(u"https://example.org/notes?a=1&b=2"_s))
                                 << u"href=\"https://example.org/notes?a=1&amp;b=2\""_s
                                 << u"Faster"_s << QStringList();
    QTest::newRow("a link that is not secure is left out")
        << release({}, QUrl(u"http://example.org/notes"_s)) << u"Mirel 2.0"_s << u"example.org"_s
        << QStringList();

    // The notes come from the network: nothing they point at may be read. {dir} holds a
    // picture and a FIFO.
    const QString text = u"<p>Kept <i>text</i></p>"_s;
    const QString link = u"<p><a href=\"https://example.org/notes?a=1&amp;b=2\">notes</a></p>"_s;
    const QStringList kept{u"https://example.org/notes?a=1&b=2"_s};
    const auto notes = [&](const QString &resources) {
        return release(text + resources + link);
    };
    QTest::newRow("an image of /dev/zero")
        << notes(u"<img src=\"file:///dev/zero\"><img src=\"/dev/zero\">"_s) << u"Kept text"_s
        << u"zero"_s << kept;
    QTest::newRow("an image from a FIFO")
        << notes(u"<IMG SRC='{dir}/pipe.png' width=10 height=10>"_s) << u"Kept text"_s << u"pipe"_s
        << kept;
    QTest::newRow("a data: image")
        << notes(u"<img src=\"data:image/png;base64,"_s +
                 QString::fromLatin1(readFile(m_files.filePath(u"picture.png"_s)).toBase64()) +
                 u"\">"_s)
        << u"Kept text"_s << u"data:"_s << kept;
    QTest::newRow("a local picture by path and by URL")
        << notes(u"<img src=\"{dir}/picture.png\"><img src=\"file://{dir}/picture.png\">"_s)
        << u"Kept text"_s << u"picture"_s << kept;
    QTest::newRow("style element and style attributes")
        << notes(u"<style>p { color: #123456; background-image: url({dir}/picture.png) }</style>"
                 u"<p style=\"background-image: url('{dir}/picture.png'); color: #123456\">"
                 u"Styled</p>"_s)
        << u"Styled"_s << u"color"_s << kept;
    QTest::newRow("background attributes")
        << release(u"<html><body background=\"{dir}/picture.png\">"_s + text +
                   u"<table background=\"{dir}/picture.png\"><tr>"
                   u"<td background=\"{dir}/picture.png\">Cell</td></tr></table>"_s +
                   link + u"</body></html>"_s)
        << u"Cell"_s << u"picture"_s << kept;
    QTest::newRow("links other than https are text only")
        << release(u"<p><a href=\"file:///etc/passwd\">Kept</a> <a href=\"http://"
                   u"example.org/\">text</a> <a href=\"javascript:x()\">and</a> "
                   u"<a href=\"notes.html\">more</a></p>"_s)
        << u"Kept text and more"_s << u"passwd"_s << QStringList();
    QTest::newRow("markup in text and comments")
        << release(u"<p>1 &lt; 2 &#38; 3 &gt; 2<!-- <img src=\"/dev/zero\"> --></p>"
                   u"<script>document.write('x')</script>"_s)
        << u"1 < 2 & 3 > 2"_s << u"document"_s << QStringList();
}

void TestUpdaterDialogs::releaseNotes()
{
    QFETCH(AppcastItem, item);
    QFETCH(QString, shown);
    QFETCH(QString, notShown);
    QFETCH(QStringList, links);
    item.description.replace(u"{dir}"_s, m_files.path());
    UpdaterDialogs ui;
    ui.showUpdate(item, u"1.0"_s);
    QCOMPARE(visibleDialogs().size(), 1);
    QDialog *dialog = visibleDialogs().first();
    dialog->grab(); // lays out and paints the notes, as showing them on screen does
    const QString text = shownText(dialog);
    QVERIFY2(text.contains(shown), qPrintable(text));
    QVERIFY2(!text.contains(notShown), qPrintable(text));
    QStringList found;
    for (const ReleaseNotesView *notes : dialog->findChildren<ReleaseNotesView *>()) {
        const QStringList problems = resourceProblems(notes->document(), found);
        QVERIFY2(problems.isEmpty(), qPrintable(problems.join(u", "_s)));
        const QString html = notes->document()->toHtml();
        QVERIFY2(!html.contains(m_files.path()), qPrintable(html));
    }
    QCOMPARE(found, links);
}

void TestUpdaterDialogs::downloadedShowsFolder()
{
    OpenedUrls opened;
    const QString folder = temporaryHome() + u"/Downloads"_s;

    UpdaterDialogs ui;
    ui.showDownloaded(folder + u"/Mirel <2.0>.AppImage"_s);
    QCOMPARE(opened.urls, QList<QUrl>{QUrl::fromLocalFile(folder)});
    QCOMPARE(visibleDialogs().size(), 1);
    const QString text = shownText(visibleDialogs().first());
    QVERIFY2(text.contains(u"Mirel &lt;2.0&gt;.AppImage"_s), qPrintable(text));
}

void TestUpdaterDialogs::defaultSourceBuildSaysHowToUpdate()
{
    if (!UpdaterSettings::fromBuild().feedUrl.isEmpty())
        QSKIP("this build was configured with an update feed; the test must not contact it");
    UpdaterViewModel viewModel; // the settings compiled in and the real dialogs
    viewModel.checkForUpdates();
    QCOMPARE(visibleDialogs().size(), 1);
    const QString text = shownText(visibleDialogs().first());
    // Run from the build folder: the package manager has nothing to offer this build.
    QVERIFY2(text.contains(u"built from source; get the new version the same way"_s),
             qPrintable(text));
}

QTEST_MAIN(TestUpdaterDialogs)
#include "tst_UpdaterDialogs.moc"
