// SPDX-License-Identifier: GPL-3.0-or-later
#include "PreviewWorker.h"

#include "MessageChannel.h"
#include "PreviewFile.h"
#include "WorkerReplies.h"
#include "WorkerSpawn.h"

#include <QCoreApplication>
#include <QFile>
#include <QMutex>

#include <algorithm>
#include <cerrno>
#include <condition_variable>
#include <cstring>
#include <iterator>
#include <mutex>
#include <thread>
#include <vector>

#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace Qt::StringLiterals;
using namespace WorkerProtocol;

namespace PreviewWorker {

namespace {

constexpr std::chrono::milliseconds pollStep{25};

struct DocumentKey
{
    dev_t device = 0;
    ino_t inode = 0;
    bool operator==(const DocumentKey &) const = default;
};

// Killed processes not reaped yet (one stuck in a read of a stalled drive dies only when the read
// returns); reaped whenever a worker is started.
std::vector<pid_t> &graveyard()
{
    // Never destroyed: the reaper thread may still use it while the process exits.
    static auto *const pids = new std::vector<pid_t>;
    return *pids;
}

struct Process
{
    pid_t pid = -1;
    int socket = -1;
    DocumentKey lastDocument;
    std::chrono::steady_clock::time_point idleSince;
    // It has loaded the video module, whose libraries' relocated data stay private to it for
    // its life: the next video goes to it rather than to a second process loading them again.
    bool holdsVideo = false;
};

// How long a video waits for the busy process that holds the video module before another one
// loads it too.
constexpr std::chrono::seconds videoHolderWait{2};

// A worker with nothing to do for this long ends: Mirel sits in the tray all day, and its
// previews come in bursts.
constexpr std::chrono::seconds idleLifetime{5};

struct Pool
{
    std::mutex mutex;
    std::condition_variable freed;
    std::vector<std::unique_ptr<Process>> idle;
    int busy = 0;
    int busyThumbnails = 0;
    int videoHolders = 0; // processes alive, idle or busy, that hold the video module
    int starting = 0;     // started ahead of a request, not idle yet
    int started = 0;
    QString executable;
    bool executableSet = false;
    std::chrono::milliseconds deadline = defaultDeadline;
    bool reaperStarted = false;
};

std::atomic_bool stopping{false};

bool givenUp(const CancelFlag &cancel)
{
    return stopping.load() || (cancel && cancel->load());
}

Pool &pool()
{
    static Pool *const instance = new Pool;
    return *instance;
}

void reapGraveyard()
{
    auto &pids = graveyard();
    pids.erase(std::remove_if(pids.begin(), pids.end(),
                              [](pid_t pid) { return ::waitpid(pid, nullptr, WNOHANG) != 0; }),
               pids.end());
}

// Called with the pool's mutex held.
void bury(std::unique_ptr<Process> process)
{
    if (!process)
        return;
    pool().videoHolders -= process->holdsVideo;
    if (process->socket >= 0)
        ::close(process->socket);
    if (process->pid > 0) {
        ::kill(process->pid, SIGKILL);
        if (::waitpid(process->pid, nullptr, WNOHANG) == 0)
            graveyard().push_back(process->pid);
    }
}

// Ends the workers idle for longer than idleLifetime, and reaps the killed ones; runs for the
// life of the process once a first worker was started.
void startReaper(Pool &workers)
{
    if (workers.reaperStarted)
        return;
    workers.reaperStarted = true;
    std::thread([&workers] {
        std::unique_lock lock(workers.mutex);
        for (;;) {
            workers.freed.wait_for(lock, std::chrono::seconds(1));
            const auto now = std::chrono::steady_clock::now();
            auto expired = std::partition(
                workers.idle.begin(), workers.idle.end(),
                [now](const auto &process) { return now - process->idleSince < idleLifetime; });
            for (auto it = expired; it != workers.idle.end(); ++it)
                bury(std::move(*it));
            workers.idle.erase(expired, workers.idle.end());
            reapGraveyard();
        }
    }).detach();
}

QString defaultExecutable()
{
    const QByteArray fromEnvironment = qgetenv("MIREL_PREVIEW_WORKER");
    if (!fromEnvironment.isEmpty())
        return QFile::decodeName(fromEnvironment);
    return QCoreApplication::applicationDirPath() + u'/' +
           QStringLiteral(MIREL_WORKER_RELATIVE_PATH);
}

// Called without the pool's mutex.
std::unique_ptr<Process> spawn(const QString &path)
{
    const WorkerSpawn::Started started = WorkerSpawn::start(path);
    if (started.pid <= 0)
        return nullptr;
    auto process = std::make_unique<Process>();
    process->pid = started.pid;
    process->socket = started.socket;
    return process;
}

std::unique_ptr<Process> acquire(Lane lane, const DocumentKey &key, bool video,
                                 const CancelFlag &cancel)
{
    Pool &workers = pool();
    std::unique_lock lock(workers.mutex);
    const auto stopWaitingForHolder = std::chrono::steady_clock::now() + videoHolderWait;
    for (;;) {
        if (givenUp(cancel))
            return nullptr;
        const bool laneFree = lane == Lane::Preview || workers.busyThumbnails < maxThumbnailWorkers;
        // The one used last first: one left over from a burst of thumbnails then stays idle
        // and ends, where taking turns would keep every one of them alive.
        const auto idleWhere = [&workers](auto &&test) {
            const auto found =
                std::find_if(workers.idle.rbegin(), workers.idle.rend(),
                             [&test](const auto &process) { return test(*process); });
            return found == workers.idle.rend() ? workers.idle.end() : std::prev(found.base());
        };
        // A video waits a moment for the holder of the video module when that one is busy.
        const bool waitForHolder =
            video && workers.videoHolders > 0 &&
            idleWhere([](const Process &p) { return p.holdsVideo; }) == workers.idle.end() &&
            std::chrono::steady_clock::now() < stopWaitingForHolder;
        if (laneFree && !workers.idle.empty() && !waitForHolder) {
            // One that has this document open already renders its pages without reading it
            // again; else one of the same kind, so the holder of the video module stays free
            // for videos (and ends when they stop coming).
            auto match =
                idleWhere([&](const Process &p) { return !video && p.lastDocument == key; });
            if (match == workers.idle.end())
                match = idleWhere([video](const Process &p) { return p.holdsVideo == video; });
            if (match == workers.idle.end())
                match = workers.idle.end() - 1;
            std::unique_ptr<Process> process = std::move(*match);
            workers.idle.erase(match);
            ++workers.busy;
            workers.busyThumbnails += lane == Lane::Thumbnail;
            if (video && !process->holdsVideo) {
                process->holdsVideo = true;
                ++workers.videoHolders;
            }
            return process;
        }
        // A process already starting is ready sooner than one started now.
        if (laneFree && workers.busy + int(workers.idle.size()) < maxWorkers && !waitForHolder &&
            workers.starting == 0) {
            ++workers.busy;
            workers.busyThumbnails += lane == Lane::Thumbnail;
            // Counted before it starts, so a second video meanwhile waits for this one.
            workers.videoHolders += video;
            ++workers.started;
            reapGraveyard();
            startReaper(workers);
            if (!workers.executableSet) {
                workers.executable = defaultExecutable();
                workers.executableSet = true;
            }
            const QString path = workers.executable;
            lock.unlock();
            std::unique_ptr<Process> process = spawn(path);
            if (process) {
                process->holdsVideo = video;
            } else {
                lock.lock();
                --workers.busy;
                workers.busyThumbnails -= lane == Lane::Thumbnail;
                workers.videoHolders -= video;
                workers.freed.notify_all();
            }
            return process;
        }
        workers.freed.wait_for(lock, pollStep);
    }
}

void release(std::unique_ptr<Process> process, Lane lane, bool reusable)
{
    Pool &workers = pool();
    const std::lock_guard lock(workers.mutex);
    --workers.busy;
    workers.busyThumbnails -= lane == Lane::Thumbnail;
    if (reusable) {
        process->idleSince = std::chrono::steady_clock::now();
        workers.idle.push_back(std::move(process));
    } else
        bury(std::move(process));
    workers.freed.notify_all();
}

} // namespace

Result run(const PreviewFile &file, Request request, Lane lane, const CancelFlag &cancel)
{
    Result result;
    if (!file.isRegular()) {
        result.status = Status::Failed;
        return result;
    }
    // A description of its own, reached through the descriptor already checked, never the name.
    const std::unique_ptr<QFile> device = file.device();
    if (!device) {
        result.status = Status::Failed;
        return result;
    }
    const DocumentKey key{file.attributes().st_dev, file.attributes().st_ino};
    // A worker that ended between two requests (it retired, or was killed from outside) is
    // replaced once; one that dies on this very file is not tried again.
    for (int attempt = 0; attempt < 2; ++attempt) {
        std::unique_ptr<Process> process =
            acquire(lane, key, request.job == Job::VideoFrame, cancel);
        if (!process) {
            result.status = givenUp(cancel) ? Status::Cancelled : Status::Unavailable;
            return result;
        }
        static std::atomic<std::uint32_t> serials{0};
        request.magic = requestMagic;
        request.serial = ++serials;
        if (!MessageChannel::send(process->socket, &request, sizeof(request), device->handle())) {
            release(std::move(process), lane, false);
            continue;
        }
        std::chrono::milliseconds deadline;
        {
            const std::lock_guard lock(pool().mutex);
            deadline = pool().deadline;
        }
        const auto giveUpAt = std::chrono::steady_clock::now() + deadline;
        Status status = Status::WorkerLost;
        bool answered = false;
        for (;;) {
            if (givenUp(cancel)) {
                status = Status::Cancelled;
                break;
            }
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                giveUpAt - std::chrono::steady_clock::now());
            if (left.count() <= 0)
                break;
            pollfd watched = {process->socket, POLLIN, 0};
            const int ready = ::poll(&watched, 1, int(std::min(left, pollStep).count()));
            if (ready < 0 && errno != EINTR)
                break;
            if (ready > 0) {
                answered = true;
                break;
            }
        }
        if (!answered) {
            release(std::move(process), lane, false);
            result.status = status;
            return result;
        }
        Reply reply;
        int memory = -1;
        const bool received =
            MessageChannel::receive(process->socket, &reply, sizeof(reply), &memory);
        bool valid = received && reply.magic == replyMagic && reply.serial == request.serial;
        if (valid && reply.outcome == Outcome::Done) {
            if (request.job == Job::ArchiveList) {
                result.archive = WorkerReplies::archive(reply, memory);
                // A listing out of bounds is a lie, not a damaged archive: the worker goes.
                valid = result.archive.has_value();
            } else if (request.job == Job::PdfOpen) {
                result.pageSizes = WorkerReplies::pageSizes(reply, memory);
                result.pageCount = result.pageSizes.isEmpty() ? 0 : reply.pageCount;
            } else {
                result.image = WorkerReplies::image(reply, memory);
                result.pageSize = WorkerReplies::pageSize(reply);
            }
            result.fullSize = QSize(reply.fullWidth, reply.fullHeight);
            result.scalable = reply.scalable != 0;
        }
        if (memory >= 0)
            ::close(memory);
        if (valid) {
            process->lastDocument = key;
            release(std::move(process), lane, reply.retiring == 0);
            result.status = result.image.isNull() && result.pageSizes.isEmpty() && !result.archive
                                ? Status::Failed
                                : Status::Done;
            return result;
        }
        // End of stream or nonsense: it died on this file, or is not to be trusted any more.
        release(std::move(process), lane, false);
        result.status = Status::WorkerLost;
        return result;
    }
    result.status = Status::WorkerLost;
    return result;
}

void setExecutable(const QString &path)
{
    const std::lock_guard lock(pool().mutex);
    pool().executable = path;
    pool().executableSet = true;
    // Workers of another executable are not reused.
    for (auto &process : pool().idle)
        bury(std::move(process));
    pool().idle.clear();
}

QString executable()
{
    const std::lock_guard lock(pool().mutex);
    return pool().executableSet ? pool().executable : defaultExecutable();
}

void setDeadline(std::chrono::milliseconds deadline)
{
    const std::lock_guard lock(pool().mutex);
    pool().deadline = deadline;
}

void prestart(int processes)
{
    Pool &workers = pool();
    QString path;
    {
        const std::lock_guard lock(workers.mutex);
        if (stopping.load() || int(workers.idle.size()) + workers.starting >= processes ||
            workers.busy + int(workers.idle.size()) >= maxWorkers)
            return;
        // Counted as busy while it starts, so no request starts another one meanwhile.
        ++workers.busy;
        ++workers.starting;
        ++workers.started;
        reapGraveyard();
        startReaper(workers);
        if (!workers.executableSet) {
            workers.executable = defaultExecutable();
            workers.executableSet = true;
        }
        path = workers.executable;
    }
    std::thread([&workers, path] {
        std::unique_ptr<Process> process = spawn(path);
        const std::lock_guard lock(workers.mutex);
        --workers.busy;
        --workers.starting;
        if (process && stopping.load()) {
            bury(std::move(process));
        } else if (process) {
            process->idleSince = std::chrono::steady_clock::now();
            workers.idle.push_back(std::move(process));
        }
        workers.freed.notify_all();
    }).detach();
    // The others, one by one, each on its own thread.
    if (processes > 1)
        prestart(processes);
}

void stopAll()
{
    stopping.store(true);
    const std::lock_guard lock(pool().mutex);
    for (auto &process : pool().idle)
        bury(std::move(process));
    pool().idle.clear();
    pool().freed.notify_all();
}

int liveWorkers()
{
    const std::lock_guard lock(pool().mutex);
    return pool().busy + int(pool().idle.size());
}

int startedWorkers()
{
    const std::lock_guard lock(pool().mutex);
    return pool().started;
}

} // namespace PreviewWorker
