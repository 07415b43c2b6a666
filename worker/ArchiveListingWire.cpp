// SPDX-License-Identifier: GPL-3.0-or-later
#include "ArchiveListingWire.h"

#include "WorkerProtocol.h"

#include <algorithm>
#include <cstring>

using namespace WorkerProtocol;

namespace {

// Whole characters only: a path cut inside a UTF-8 sequence would decode to garbage.
QByteArray utf8Within(const QString &text, std::uint32_t maxBytes)
{
    QByteArray bytes = text.toUtf8();
    if (bytes.size() <= qsizetype(maxBytes))
        return bytes;
    qsizetype end = qsizetype(maxBytes);
    while (end > 0 && (static_cast<unsigned char>(bytes.at(end)) & 0xc0) == 0x80)
        --end;
    bytes.truncate(end);
    return bytes;
}

template<typename T> void append(QByteArray &out, const T &value)
{
    out.append(reinterpret_cast<const char *>(&value), qsizetype(sizeof(T)));
}

// Reads one T at `offset` when it lies wholly within the payload.
template<typename T> bool take(const char *data, std::size_t bytes, std::size_t &offset, T &value)
{
    if (bytes - offset < sizeof(T))
        return false;
    std::memcpy(&value, data + offset, sizeof(T));
    offset += sizeof(T);
    return true;
}

} // namespace

namespace ArchiveListingWire {

QByteArray encode(const ArchiveListing &listing)
{
    const qsizetype listed = std::min<qsizetype>(listing.entries.size(), maxArchiveListed);
    const QByteArray detail = utf8Within(listing.detail, maxArchiveDetailBytes);
    ArchiveHeader header;
    header.problem = std::uint32_t(listing.problem);
    header.flags = (listing.encrypted ? archiveEncrypted : 0) |
                   (listing.isDebianPackage ? archiveDebianPackage : 0);
    header.listed = std::uint32_t(listed);
    header.detailBytes = std::uint32_t(detail.size());
    header.entryCount = std::clamp<std::int64_t>(listing.entryCount, listed, maxArchiveEntries);
    header.totalSize = std::max<std::int64_t>(listing.totalSize, 0);
    QByteArray out;
    append(out, header);
    for (qsizetype i = 0; i < listed; ++i) {
        const ArchiveEntry &entry = listing.entries.at(i);
        const QByteArray path = utf8Within(entry.path, maxArchivePathBytes);
        ArchiveEntryHeader entryHeader;
        entryHeader.size = std::max<std::int64_t>(entry.size, 0);
        entryHeader.flags = entry.isDirectory ? archiveDirectory : 0;
        entryHeader.pathBytes = std::uint32_t(path.size());
        append(out, entryHeader);
        out.append(path);
    }
    out.append(detail);
    return out;
}

std::optional<ArchiveListing> decode(const void *payload, std::size_t bytes)
{
    if (!payload || bytes > maxArchivePayload)
        return std::nullopt;
    const auto *data = static_cast<const char *>(payload);
    std::size_t offset = 0;
    ArchiveHeader header;
    if (!take(data, bytes, offset, header))
        return std::nullopt;
    if (header.problem > std::uint32_t(ArchiveListing::Problem::ReadError) ||
        (header.flags & ~(archiveEncrypted | archiveDebianPackage)) != 0 ||
        header.listed > maxArchiveListed || header.detailBytes > maxArchiveDetailBytes ||
        header.entryCount < std::int64_t(header.listed) || header.entryCount > maxArchiveEntries ||
        header.totalSize < 0)
        return std::nullopt;
    ArchiveListing listing;
    listing.problem = ArchiveListing::Problem(header.problem);
    listing.encrypted = (header.flags & archiveEncrypted) != 0;
    listing.isDebianPackage = (header.flags & archiveDebianPackage) != 0;
    listing.entryCount = header.entryCount;
    listing.totalSize = header.totalSize;
    listing.entries.reserve(header.listed);
    for (std::uint32_t i = 0; i < header.listed; ++i) {
        ArchiveEntryHeader entryHeader;
        if (!take(data, bytes, offset, entryHeader) || entryHeader.size < 0 ||
            (entryHeader.flags & ~archiveDirectory) != 0 ||
            entryHeader.pathBytes > maxArchivePathBytes || bytes - offset < entryHeader.pathBytes)
            return std::nullopt;
        ArchiveEntry entry;
        entry.path = QString::fromUtf8(data + offset, qsizetype(entryHeader.pathBytes));
        entry.size = entryHeader.size;
        entry.isDirectory = (entryHeader.flags & archiveDirectory) != 0;
        offset += entryHeader.pathBytes;
        listing.entries.append(std::move(entry));
    }
    // The message ends the payload exactly: anything more or less is not what was written.
    if (bytes - offset != header.detailBytes)
        return std::nullopt;
    listing.detail = QString::fromUtf8(data + offset, qsizetype(header.detailBytes));
    return listing;
}

} // namespace ArchiveListingWire
