// The review panel outside the tray, for screenshots and timing.
//   panel_tool screenshot OUT.png     shows the panel on $HOME's files and saves a picture
//   panel_tool open ROUNDS            times show-to-first-paint and scanFolders alone
#include "AppState.h"
#include "Console.h"
#include "MenuBarView.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEvent>
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
    struct rusage usage
    {};
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
    if (args.size() == 3 && args.at(1) == u"open"_s)
        return openTimes(args.at(2).toInt());
    QTextStream(stderr) << "usage: panel_tool screenshot OUT.png | panel_tool open ROUNDS\n";
    return 2;
}
