// SPDX-License-Identifier: GPL-3.0-or-later
// mirel-preview: decodes what Mirel previews, in a process of its own under memory and CPU
// limits and without network, so a hostile file can only take this process down. Started by
// Mirel with its end of a socket pair as descriptor 3; not meant to be run by hand.
#include "Sandbox.h"
#include "WorkerLoop.h"
#include "WorkerProtocol.h"

#include <QBuffer>
#include <QGuiApplication>
#include <QImageReader>

#include <cstdio>
#include <cstdlib>

#include <malloc.h>

#include <sys/socket.h>
#include <sys/stat.h>

namespace {

void warmUp()
{
    // Only the JPEG plugin: a writer, or a reader left to guess, would load every image plugin
    // and the libraries behind them (TIFF, WebP, MNG, PDF...) into every process.
    QBuffer empty;
    empty.open(QIODevice::ReadOnly);
    QImageReader reader(&empty, "jpeg");
    reader.setAutoDetectImageFormat(false);
    Q_UNUSED(reader.canRead());
    QImage pixels(8, 8, QImage::Format_RGB32);
    pixels.fill(Qt::gray);
    Q_UNUSED(pixels.scaled(2, 2, Qt::IgnoreAspectRatio, Qt::SmoothTransformation));
}

} // namespace

int main(int argc, char **argv)
{
    struct stat socketAttributes = {};
    if (::fstat(WorkerProtocol::socketDescriptor, &socketAttributes) != 0 ||
        !S_ISSOCK(socketAttributes.st_mode)) {
        std::fputs("mirel-preview is started by mirel, not by hand\n", stderr);
        return 2;
    }
    // Before Qt starts any thread: a user namespace can only be entered single-threaded.
    const Sandbox::Report sandbox = Sandbox::apply();
    if (!sandbox.limits || !sandbox.noNewPrivs)
        return 2;
    // Fonts for drawings and PDFs need a QGuiApplication, but never a display, a session bus
    // or the accessibility bus.
    ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    for (const char *name : {"DISPLAY", "WAYLAND_DISPLAY", "DBUS_SESSION_BUS_ADDRESS",
                             "QT_LINUX_ACCESSIBILITY_ALWAYS_ON", "QT_ACCESSIBILITY"})
        ::unsetenv(name);
    // One heap: the few threads Qt starts for scaling need no arenas of their own, which would
    // each keep freed memory.
    ::mallopt(M_ARENA_MAX, 1);
    // Nobody reads this process's warnings, and in its user namespace Qt complains about folders
    // it sees as another user's: they would only clutter Mirel's standard error.
    qInstallMessageHandler([](QtMsgType, const QMessageLogContext &, const QString &) {});
    QGuiApplication app(argc, argv);
    // Mirel starts this process ahead of its first request: the image plugins are loaded and the
    // decoder's first buffers made while nothing waits for them yet.
    warmUp();
    return WorkerLoop::run(WorkerProtocol::socketDescriptor);
}
