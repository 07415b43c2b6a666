// SPDX-License-Identifier: GPL-3.0-or-later
#include "WorkerReplies.h"

#include "ArchiveListingWire.h"

#include <algorithm>
#include <cmath>

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>

using namespace WorkerProtocol;

namespace WorkerReplies {

namespace {

struct Mapping
{
    void *address = nullptr;
    std::size_t length = 0;
};

void unmap(void *info)
{
    auto *mapping = static_cast<Mapping *>(info);
    ::munmap(mapping->address, mapping->length);
    delete mapping;
}

// The payload the worker sealed into `memory`, mapped read-only; null when it is not what the
// reply says it is.
const void *mapPayload(int memory, std::uint64_t bytes, Mapping **mapping)
{
    *mapping = nullptr;
    if (memory < 0 || bytes == 0)
        return nullptr;
    const int seals = ::fcntl(memory, F_GET_SEALS);
    struct stat attributes = {};
    if (seals < 0 || (seals & (F_SEAL_SHRINK | F_SEAL_WRITE)) != (F_SEAL_SHRINK | F_SEAL_WRITE) ||
        ::fstat(memory, &attributes) != 0 || std::uint64_t(attributes.st_size) < bytes)
        return nullptr;
    void *address = ::mmap(nullptr, std::size_t(bytes), PROT_READ, MAP_SHARED, memory, 0);
    if (address == MAP_FAILED)
        return nullptr;
    *mapping = new Mapping{address, std::size_t(bytes)};
    return address;
}

// Nothing absurd reaches the layout: no negative, infinite or planet-sized pages.
double sanePoints(float value)
{
    return std::isfinite(value) ? std::clamp(double(value), 1.0, 20000.0) : 1.0;
}

} // namespace

QImage image(const Reply &reply, int memory)
{
    QImage::Format format = QImage::Format_Invalid;
    switch (reply.format) {
    case PixelFormat::Rgb32:
        format = QImage::Format_RGB32;
        break;
    case PixelFormat::Argb32:
        format = QImage::Format_ARGB32;
        break;
    case PixelFormat::Argb32Premultiplied:
        format = QImage::Format_ARGB32_Premultiplied;
        break;
    }
    if (format == QImage::Format_Invalid || reply.width <= 0 || reply.height <= 0 ||
        reply.width > maxSide || reply.height > maxSide ||
        qint64(reply.bytesPerLine) < qint64(reply.width) * 4 || reply.bytesPerLine % 4 != 0 ||
        reply.payloadBytes != std::uint64_t(reply.bytesPerLine) * std::uint64_t(reply.height))
        return QImage();
    Mapping *mapping = nullptr;
    const void *pixels = mapPayload(memory, reply.payloadBytes, &mapping);
    if (!pixels)
        return QImage();
    // The picture reads the shared memory itself until it goes; no copy through the socket.
    return QImage(static_cast<const uchar *>(pixels), reply.width, reply.height, reply.bytesPerLine,
                  format, unmap, mapping);
}

QList<QSizeF> pageSizes(const Reply &reply, int memory)
{
    const std::uint64_t known = reply.payloadBytes / (2 * sizeof(float));
    if (reply.pageCount <= 0 || reply.pageCount > maxPages || known == 0 ||
        known > std::uint64_t(reply.pageCount) || reply.payloadBytes % (2 * sizeof(float)) != 0)
        return {};
    Mapping *mapping = nullptr;
    const void *payload = mapPayload(memory, reply.payloadBytes, &mapping);
    if (!payload)
        return {};
    const auto *points = static_cast<const float *>(payload);
    QList<QSizeF> sizes;
    sizes.reserve(qsizetype(known));
    for (std::uint64_t page = 0; page < known; ++page)
        sizes.append(QSizeF(sanePoints(points[2 * page]), sanePoints(points[2 * page + 1])));
    unmap(mapping);
    return sizes;
}

QSizeF pageSize(const Reply &reply)
{
    return QSizeF(sanePoints(reply.pageWidth), sanePoints(reply.pageHeight));
}

// Nothing when the payload is not a listing within the protocol's bounds.
std::optional<ArchiveListing> archive(const Reply &reply, int memory)
{
    if (reply.payloadBytes < sizeof(ArchiveHeader) || reply.payloadBytes > maxArchivePayload)
        return std::nullopt;
    Mapping *mapping = nullptr;
    const void *payload = mapPayload(memory, reply.payloadBytes, &mapping);
    if (!payload)
        return std::nullopt;
    std::optional<ArchiveListing> listing =
        ArchiveListingWire::decode(payload, std::size_t(reply.payloadBytes));
    unmap(mapping);
    return listing;
}

} // namespace WorkerReplies
