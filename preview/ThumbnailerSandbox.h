// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "PreviewWorker.h"

#include <QImage>
#include <QMap>
#include <QString>
#include <QStringList>

#include <chrono>

// Runs one of the desktop's thumbnailer programs on a file that is handed over as an open
// descriptor, and checks what it wrote before anyone uses it.
//
// The program never gets a path into the user's folders. Inside bubblewrap (when `bwrap` is
// installed and works) it sees /usr, the few files in /etc that programs need, the input
// mounted read-only from the descriptor and an empty output folder: no home, no network, no
// other process, and it dies with us. Without bubblewrap it runs with memory, CPU-time and
// file-size limits and no way to gain privileges; the input is then a name in a private
// folder that leads to the descriptor it inherited (/proc/self/fd/3).
// Either way the whole process group is killed at the deadline.
//
// Mirel runs this on its preview threads, not in the preview process: that process lives in a
// user namespace of its own with a system-call filter, where bubblewrap cannot make another. The
// PNG the program wrote is derived from the hostile file, so only its signature and the size in
// its header are read here; the preview process decodes it.
namespace ThumbnailerSandbox {

enum class Isolation {
    Automatic,  // bubblewrap when it works here, else limits only
    Bubblewrap, // fail rather than run without it
    LimitsOnly,
};

struct Options
{
    int size = 256; // %s: the longest side wanted
    // Gives the input's name its extension (some thumbnailers go by it); never opened.
    QString nameHint;
    std::chrono::milliseconds deadline{10'000};
    Isolation isolation = Isolation::Automatic;
    qint64 memoryLimit = qint64(2) << 30;  // address space
    qint64 outputLimit = qint64(32) << 20; // bytes of the PNG it writes
    int maxSide = 4096;                    // of the picture in that PNG
    // Which share of the preview processes decodes the PNG, and when to give up: set, it stops
    // the program (and the decoding) at once.
    PreviewWorker::Lane lane = PreviewWorker::Lane::Preview;
    CancelFlag cancel;
};

enum class Outcome {
    Made,
    CouldNotStart, // the program, its sandbox or the preview process could not be started
    Failed,        // it exited with an error or was killed by a signal
    TimedOut,      // still running at the deadline: killed
    NoOutput,
    BadOutput, // not a PNG, too large, or undecodable
    Cancelled, // no longer wanted: says nothing about the file
};

struct Result
{
    Outcome outcome = Outcome::CouldNotStart;
    QImage image;
    bool sandboxed = false;
    QString detail;
};

// The Exec line split into arguments as desktop entries quote them, with %i (input path),
// %u (its URI), %o (output path), %s (size) and %% put in. Other field codes are dropped.
QStringList expandExec(const QString &exec, const QMap<QChar, QString> &fields);

// The program an Exec or TryExec names: an absolute path, or found in $PATH. Empty when
// there is no such executable file.
QString findProgram(const QString &name);

// Whether bubblewrap is installed and can make a sandbox here (checked once per process).
bool bubblewrapWorks();

Result run(const QString &exec, int fd, const Options &options);

} // namespace ThumbnailerSandbox
