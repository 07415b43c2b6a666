// SPDX-License-Identifier: GPL-3.0-or-later
// Times AppState::scanFolders against `find | sort` on the same folder, alternately.
//   scan_bench make N FOLDER     fills FOLDER with N files (mixed names, sizes and times)
//   scan_bench time ROUNDS       times both on $HOME/Downloads; one line per round on stderr
#include "AppState.h"
#include "Console.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QSettings>
#include <QTextStream>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {

int makeFiles(int count, const QByteArray &folder)
{
    static const char *const extensions[] = {".pdf",  ".jpg",  ".png", ".txt",    ".zip", ".mp4",
                                             ".docx", ".heic", "",     ".tar.gz", ".dmg", ".csv"};
    QRandomGenerator random(42);
    const QByteArray filler(8192, 'm');
    for (int i = 0; i < count; ++i) {
        const QByteArray path = folder + "/file-" + QByteArray::number(i) +
                                extensions[random.bounded(int(std::size(extensions)))];
        const int fd = ::open(path.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (fd < 0)
            return 1;
        const int size = random.bounded(3) == 0 ? random.bounded(8192) : random.bounded(512);
        const bool written = ::write(fd, filler.constData(), size_t(size)) == size;
        ::close(fd);
        const time_t when = 1'600'000'000 + time_t(random.bounded(200'000'000));
        const struct timespec times[2] = {{when, 0}, {when, long(random.bounded(999'999'999))}};
        if (!written || ::utimensat(AT_FDCWD, path.constData(), times, 0) != 0)
            return 1;
    }
    return 0;
}

int timeRounds(int rounds)
{
    QSettings settings(u"Mirel"_s, u"Mirel"_s);
    settings.setValue(u"includeDesktop"_s, false);
    settings.setValue(u"includeDownloads"_s, true);
    settings.setValue(u"monitoredFolders"_s, QStringList());
    settings.sync();
    Console::setSink([](const QString &) {});
    AppState state;

    const QString folder = qEnvironmentVariable("HOME") + u"/Downloads"_s;
    const QString pipeline =
        u"find '%1' -maxdepth 1 -type f -printf '%T@ %s %p\\n' | sort -rn > /dev/null"_s.arg(
            folder);
    QTextStream err(stderr);
    for (int round = 0; round < rounds; ++round) {
        QElapsedTimer timer;
        timer.start();
        state.scanFolders();
        const double scanMs = double(timer.nsecsElapsed()) / 1e6;
        timer.restart();
        QProcess::execute(u"sh"_s, {u"-c"_s, pipeline});
        const double findMs = double(timer.nsecsElapsed()) / 1e6;
        err << "round " << round << " scan-ms " << scanMs << " find-ms " << findMs << " files "
            << state.files().size() << Qt::endl;
    }
    return 0;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() == 4 && args.at(1) == u"make"_s)
        return makeFiles(args.at(2).toInt(), QFile::encodeName(args.at(3)));
    if (args.size() == 3 && args.at(1) == u"time"_s)
        return timeRounds(args.at(2).toInt());
    QTextStream(stderr) << "usage: scan_bench make N FOLDER | scan_bench time ROUNDS\n";
    return 2;
}
