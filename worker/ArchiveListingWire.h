// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "ArchiveListing.h"

#include <QByteArray>

#include <cstddef>
#include <optional>

// An archive listing as it crosses from the preview process to Mirel (the ArchiveList payload of
// WorkerProtocol.h). The preview process may have been taken over by the file it listed, so the
// reading side checks every count and size against the protocol's bounds and against the bytes
// that are really there, and refuses the whole reply when anything is off.
namespace ArchiveListingWire {

// Longer paths and messages are cut (at a character boundary) to the protocol's bounds; at most
// maxArchiveListed entries are written.
QByteArray encode(const ArchiveListing &listing);

std::optional<ArchiveListing> decode(const void *data, std::size_t bytes);

} // namespace ArchiveListingWire
