// SPDX-License-Identifier: GPL-3.0-or-later
#include "ArchivePreviewLoader.h"

#include "ArchivePreview.h"
#include "BusyIndicator.h"
#include "PreviewPriority.h"
#include "RunInBackground.h"

#include <QVBoxLayout>

#include <algorithm>

using Problem = ArchiveListing::Problem;

ArchivePreviewLoader::ArchivePreviewLoader(PreviewFilePtr file, QWidget *parent)
    : QWidget(parent)
    , m_cancel(makeCancelFlag())
    , m_busy(new BusyIndicator(this))
{
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_busy, 0, Qt::AlignCenter);
    PreviewWorker::prestart();
    runInBackground(
        this, [file = std::move(file), cancel = m_cancel] { return list(*file, cancel); },
        [this](const Listed &listed) { present(listed); }, previewPriority);
}

ArchivePreviewLoader::~ArchivePreviewLoader()
{
    // Off screen: a listing still on its way is not worth finishing.
    m_cancel->store(true);
}

bool ArchivePreviewLoader::isBusy() const
{
    return m_busy->isVisibleTo(this);
}

ArchivePreviewLoader::Listed ArchivePreviewLoader::list(const PreviewFile &file,
                                                        const CancelFlag &cancel)
{
    Listed listed;
    if (cancel->load()) {
        listed.status = PreviewWorker::Status::Cancelled;
        return listed;
    }
    WorkerProtocol::Request request;
    request.job = WorkerProtocol::Job::ArchiveList;
    PreviewWorker::Result result =
        PreviewWorker::run(file, request, PreviewWorker::Lane::Preview, cancel);
    listed.status = result.status;
    listed.listing = std::move(result.archive);
    return listed;
}

QString ArchivePreviewLoader::failureReason(PreviewWorker::Status status,
                                            const std::optional<ArchiveListing> &listing)
{
    if (status == PreviewWorker::Status::Done && listing) {
        // What was read before a problem is still worth a list (with the problem noted); with
        // nothing read, or only entries without a name (the remains of a broken header), the
        // problem is all there is to say.
        const bool named =
            std::any_of(listing->entries.cbegin(), listing->entries.cend(),
                        [](const ArchiveEntry &entry) { return !entry.path.isEmpty(); });
        if (listing->problem == Problem::None || named)
            return QString();
        return ArchivePreview::problemText(listing->problem);
    }
    return tr("Mirel could not list what this archive holds.");
}

void ArchivePreviewLoader::present(const Listed &listed)
{
    if (listed.status == PreviewWorker::Status::Cancelled)
        return;
    const QString reason = failureReason(listed.status, listed.listing);
    if (!reason.isEmpty()) {
        emit failed(reason);
        return;
    }
    m_busy->hide();
    m_preview = new ArchivePreview(*listed.listing, this);
    layout()->removeWidget(m_busy);
    layout()->addWidget(m_preview);
    emit loaded();
}
