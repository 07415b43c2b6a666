// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "ArchiveListing.h"
#include "WorkerProtocol.h"

#include <QImage>
#include <QList>
#include <QSizeF>

#include <optional>

// What a reply of the preview process carries, read from the sealed memfd that came with it.
// The worker is not trusted: each reads nothing unless the memory is sealed, at least as large as
// the reply says, and its contents within the protocol's bounds; otherwise it gives nothing.
namespace WorkerReplies {

// Pixels: the picture maps the memory itself, read-only, until it goes (no copy).
QImage image(const WorkerProtocol::Reply &reply, int memory);
// A PDF's page sizes in points, each clamped to something a layout can hold.
QList<QSizeF> pageSizes(const WorkerProtocol::Reply &reply, int memory);
// The rendered page's size in points, clamped in the same way.
QSizeF pageSize(const WorkerProtocol::Reply &reply);
std::optional<ArchiveListing> archive(const WorkerProtocol::Reply &reply, int memory);

} // namespace WorkerReplies
