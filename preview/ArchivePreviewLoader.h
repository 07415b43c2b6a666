// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "ArchiveListing.h"
#include "PreviewFile.h"
#include "PreviewWorker.h"

#include <QWidget>

#include <optional>

class ArchivePreview;
class BusyIndicator;

// An archive's preview while the preview process lists it: a busy indicator, then the
// ArchivePreview of what it holds. An archive with nothing to list (unreadable, not an archive
// after all, or one the process gave up on) reports failed() with the reason instead, for the
// information card. Leaving the screen cancels the listing, and a worker busy on it is killed.
class ArchivePreviewLoader final : public QWidget
{
    Q_OBJECT

public:
    explicit ArchivePreviewLoader(PreviewFilePtr file, QWidget *parent = nullptr);
    ~ArchivePreviewLoader() override;

    // Null until the listing is there.
    ArchivePreview *archivePreview() const { return m_preview; }
    bool isBusy() const;

    // Why an archive shows the card instead of its list: empty when the listing is worth showing.
    static QString failureReason(PreviewWorker::Status status,
                                 const std::optional<ArchiveListing> &listing);

signals:
    void loaded();
    void failed(const QString &reason);

private:
    struct Listed
    {
        PreviewWorker::Status status = PreviewWorker::Status::Failed;
        std::optional<ArchiveListing> listing;
    };
    static Listed list(const PreviewFile &file, const CancelFlag &cancel);
    void present(const Listed &listed);

    CancelFlag m_cancel;
    BusyIndicator *m_busy = nullptr;
    ArchivePreview *m_preview = nullptr; // a child, made once
};
