// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "ArchiveListing.h"
#include "WorkerProtocol.h"

#include <QImage>
#include <QList>
#include <QSize>
#include <QSizeF>
#include <QString>

#include <atomic>
#include <chrono>
#include <memory>
#include <optional>

class PreviewFile;

// Set by whoever asked for a picture when it no longer wants it (the file left the screen); work
// not started yet is dropped, and a worker busy with it is killed rather than waited for.
using CancelFlag = std::shared_ptr<std::atomic_bool>;
inline CancelFlag makeCancelFlag()
{
    return std::make_shared<std::atomic_bool>(false);
}

// Mirel's side of the preview process (mirel-preview, see worker/): everything a library parses
// (pictures of every format, PDF pages and thumbnails) is decoded there, under memory and CPU
// limits and a deadline per request. Processes are started on demand and reused; one that
// crashes, runs out of memory or misses the deadline is killed, and only the request it was
// working on fails. run() blocks: call it on the preview threads, never on the GUI thread.
namespace PreviewWorker {

enum class Status {
    Done,
    Failed,     // the worker could not read the file as asked
    WorkerLost, // the worker died or missed the deadline on this file (and was replaced)
    Cancelled,
    Unavailable, // no worker could be started (the executable is missing)
};

struct Result
{
    Status status = Status::Unavailable;
    QImage image;
    QSize fullSize;
    bool scalable = false;
    int pageCount = 0;                     // PdfOpen: the document's pages
    QList<QSizeF> pageSizes;               // PdfOpen: the sizes of the first pages in points
    QSizeF pageSize;                       // PdfPage: the rendered page's size in points
    std::optional<ArchiveListing> archive; // ArchiveList: what the archive holds
};

// Which share of the workers a request may take: thumbnails never take the last one, so the
// preview on screen does not wait behind a list full of them.
enum class Lane { Preview, Thumbnail };

inline constexpr std::chrono::milliseconds defaultDeadline{10000};
inline constexpr int maxWorkers = 3;
inline constexpr int maxThumbnailWorkers = 2;

// `request` with `file` (which must be Regular) handed to a worker, waiting at most the deadline
// for its reply.
Result run(const PreviewFile &file, WorkerProtocol::Request request, Lane lane,
           const CancelFlag &cancel = {});

// The worker executable: set here (tests), else $MIREL_PREVIEW_WORKER, else the one installed
// beside this program (bin/../libexec/mirel/mirel-preview).
void setExecutable(const QString &path);
QString executable();
void setDeadline(std::chrono::milliseconds deadline);

// Kills every worker, busy or idle, and refuses new requests: Mirel is quitting, and nothing it
// waits for may hold the quit.
void stopAll();

// Starts workers ahead of the first request, off the calling thread, until `processes` are idle
// or starting, as room allows: a view about to ask for a picture calls it as it is made, so the
// process starts while the view is laid out; a list about to ask for many thumbnails asks for as
// many as thumbnails may use at once. Returns at once.
void prestart(int processes = 1);

// How many worker processes are alive now, and how many were started so far.
int liveWorkers();
int startedWorkers();

} // namespace PreviewWorker
