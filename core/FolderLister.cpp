// SPDX-License-Identifier: GPL-3.0-or-later
#include "FolderLister.h"

#include <algorithm>
#include <condition_variable>
#include <mutex>
#include <system_error>
#include <thread>

using namespace Qt::StringLiterals;

// One listing, shared by the thread that runs it and the lister that waits for it: whoever
// lets go last frees it.
struct FolderLister::Job
{
    std::mutex mutex;
    std::condition_variable finished;
    bool done = false;
    FolderListing listing;
};

bool FolderLister::newestFirst(const FolderEntry &a, const FolderEntry &b)
{
    return a.modifiedNs > b.modifiedNs;
}

FolderLister::FolderLister(const FileSystem &fileSystem)
    : m_fileSystem(fileSystem)
{}

FolderLister::~FolderLister() = default;

std::shared_ptr<FolderLister::Job> FolderLister::start(const QString &folder)
{
    auto job = std::make_shared<Job>();
    try {
        // A thread of its own, not one of a pool: a listing that never returns must not take
        // a thread that other work is waiting for.
        std::thread([job, folder, fileSystem = &m_fileSystem] {
            FolderListing listing = fileSystem->listFolder(folder);
            // Ordered here, while the other folders are still being listed; the scan then
            // only merges the ordered runs.
            std::stable_sort(listing.entries.begin(), listing.entries.end(), newestFirst);
            const std::lock_guard lock(job->mutex);
            job->listing = std::move(listing);
            job->done = true;
            job->finished.notify_all();
        }).detach();
    } catch (const std::system_error &error) {
        job->listing.error = u"the folder could not be listed: %1"_s.arg(
            QString::fromLocal8Bit(error.code().message()));
        job->done = true;
    }
    return job;
}

QList<std::optional<FolderListing>> FolderLister::list(const QStringList &folders,
                                                       std::chrono::milliseconds timeout)
{
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    QList<std::shared_ptr<Job>> jobs;
    jobs.reserve(folders.size());
    for (const QString &folder : folders) {
        // A listing still stuck from an earlier request is neither started again nor waited
        // for a second time; one that has returned since is out of date.
        std::shared_ptr<Job> job = m_unfinished.value(folder);
        if (job) {
            const std::lock_guard lock(job->mutex);
            if (!job->done) {
                jobs.append(nullptr);
                continue;
            }
        }
        m_unfinished.remove(folder);
        jobs.append(start(folder));
    }

    QList<std::optional<FolderListing>> listings;
    listings.reserve(folders.size());
    for (qsizetype i = 0; i < folders.size(); ++i) {
        if (!jobs.at(i)) {
            listings.append(std::nullopt);
            continue;
        }
        Job &job = *jobs.at(i);
        std::unique_lock lock(job.mutex);
        if (job.finished.wait_until(lock, deadline, [&job] { return job.done; })) {
            listings.append(std::move(job.listing));
        } else {
            listings.append(std::nullopt);
            m_unfinished.insert(folders.at(i), jobs.at(i));
        }
    }
    return listings;
}

QStringList FolderLister::stuckFolders() const
{
    QStringList stuck;
    for (auto it = m_unfinished.cbegin(); it != m_unfinished.cend(); ++it) {
        const std::lock_guard lock(it.value()->mutex);
        if (!it.value()->done)
            stuck.append(it.key());
    }
    return stuck;
}
