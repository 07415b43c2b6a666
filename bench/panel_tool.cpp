// SPDX-License-Identifier: GPL-3.0-or-later
// The review panel outside the tray, for screenshots and timing.
//   panel_tool screenshot OUT.png     shows the panel on $HOME's files and saves a picture
//   panel_tool open ROUNDS            times show-to-first-paint and scanFolders alone
//   panel_tool samples HOME           puts a few everyday files into HOME's folders
#include "AppState.h"
#include "Console.h"
#include "MenuBarView.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEvent>
#include <QFile>
#include <QImage>
#include <QPainter>
#include <QPdfWriter>
#include <QTextStream>
#include <QTimer>

#include <sys/resource.h>

using namespace Qt::StringLiterals;

namespace {

// Notes the moment of the panel's first paint after being shown.
class FirstPaint final : public QObject
{
public:
    bool painted = false;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Paint)
            painted = true;
        return QObject::eventFilter(watched, event);
    }
};

void settle(int ms)
{
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < ms)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
}

int screenshot(const QString &out)
{
    AppState state;
    MenuBarView panel(state);
    panel.show();
    settle(2500);
    return panel.grab().save(out) ? 0 : 1;
}

// A few everyday files: a photo-like image, a PDF, notes and an archive.
int makeSamples(const QString &home)
{
    const QString downloads = home + u"/Downloads"_s;
    const QString desktop = home + u"/Desktop"_s;
    if (!QDir().mkpath(downloads) || !QDir().mkpath(desktop))
        return 1;

    QImage photo(1600, 1000, QImage::Format_RGB32);
    QPainter sky(&photo);
    QLinearGradient gradient(0, 0, 0, 1000);
    gradient.setColorAt(0, QColor(255, 183, 94));
    gradient.setColorAt(0.55, QColor(237, 110, 90));
    gradient.setColorAt(1, QColor(53, 60, 110));
    sky.fillRect(photo.rect(), gradient);
    sky.setBrush(QColor(255, 236, 170));
    sky.setPen(Qt::NoPen);
    sky.drawEllipse(QPointF(1000, 560), 150, 150);
    sky.setBrush(QColor(30, 34, 64));
    sky.drawRect(0, 700, 1600, 300);
    sky.end();
    photo.save(downloads + u"/Sunset at the lake.jpg"_s, "JPEG", 90);

    QPdfWriter pdf(downloads + u"/Invoice 2026-118.pdf"_s);
    pdf.setTitle(u"Invoice"_s);
    QPainter page(&pdf);
    QFont big = page.font();
    big.setPointSize(28);
    page.setFont(big);
    page.drawText(QPointF(400, 1200), u"Invoice 2026-118"_s);
    QFont body = page.font();
    body.setPointSize(12);
    page.setFont(body);
    for (int line = 0; line < 12; ++line)
        page.drawText(QPointF(400, 2000 + line * 300),
                      u"Item %1 .......... %2.00 EUR"_s.arg(line + 1).arg((line + 3) * 7));
    page.end();

    QFile notes(desktop + u"/Meeting notes.txt"_s);
    if (!notes.open(QIODevice::WriteOnly))
        return 1;
    notes.write(
        "Meeting notes\n\n- ship the panel\n- review the icons\n- book the room for Friday\n");
    notes.close();

    // An empty but valid zip archive.
    QFile archive(downloads + u"/photos-backup.zip"_s);
    if (!archive.open(QIODevice::WriteOnly))
        return 1;
    archive.write(QByteArray("PK\x05\x06", 4) + QByteArray(18, '\0'));
    archive.close();

    // Newest first: the photo, then the invoice, the notes and the archive.
    const QDateTime now = QDateTime::currentDateTime();
    const QList<std::pair<QString, int>> ages = {{downloads + u"/Sunset at the lake.jpg"_s, 0},
                                                 {downloads + u"/Invoice 2026-118.pdf"_s, 3600},
                                                 {desktop + u"/Meeting notes.txt"_s, 7200},
                                                 {downloads + u"/photos-backup.zip"_s, 86400}};
    for (const auto &[path, age] : ages) {
        QFile file(path);
        if (!file.open(QIODevice::ReadWrite) ||
            !file.setFileTime(now.addSecs(-age), QFileDevice::FileModificationTime))
            return 1;
    }
    return 0;
}

int openTimes(int rounds)
{
    Console::setSink([](const QString &) {});
    AppState state;
    QTextStream err(stderr);
    for (int round = 0; round < rounds; ++round) {
        QElapsedTimer timer;
        timer.start();
        state.scanFolders();
        const double scanMs = double(timer.nsecsElapsed()) / 1e6;

        MenuBarView panel(state);
        FirstPaint paint;
        panel.installEventFilter(&paint);
        timer.restart();
        panel.show(); // rescans, as every opening does
        while (!paint.painted)
            QCoreApplication::processEvents(QEventLoop::AllEvents);
        const double openMs = double(timer.nsecsElapsed()) / 1e6;
        panel.hide();
        settle(50);
        err << "round " << round << " open-ms " << openMs << " scan-ms " << scanMs << " files "
            << state.files().size() << Qt::endl;
    }
    rusage usage = {};
    ::getrusage(RUSAGE_SELF, &usage);
    err << "peak-rss-mb " << usage.ru_maxrss / 1024.0 << Qt::endl;
    return 0;
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(u"Mirel"_s);
    const QStringList args = app.arguments();
    if (args.size() == 3 && args.at(1) == u"screenshot"_s)
        return screenshot(args.at(2));
    if (args.size() == 3 && args.at(1) == u"samples"_s)
        return makeSamples(args.at(2));
    if (args.size() == 3 && args.at(1) == u"open"_s)
        return openTimes(args.at(2).toInt());
    QTextStream(stderr) << "usage: panel_tool screenshot OUT.png | open ROUNDS | samples HOME\n";
    return 2;
}
