// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>

// What Mirel's main process and its preview process (mirel-preview) say to each other over a
// socket pair of type SOCK_SEQPACKET: one Request per message, answered by one Reply. The file
// to decode travels with the request as an open descriptor (SCM_RIGHTS); the worker never opens
// a path. Pixels and page sizes come back in a sealed memfd that travels with the reply, never
// through the socket itself. Both sides are built from this one header, so no versioning.
namespace WorkerProtocol {

inline constexpr std::uint32_t requestMagic = 0x4d6c5271; // "MlRq"
inline constexpr std::uint32_t replyMagic = 0x4d6c5270;   // "MlRp"

// The worker's end of the socket pair, as the main process hands it to the new process.
inline constexpr int socketDescriptor = 3;

enum class Job : std::uint32_t {
    // A picture of any format Qt's plugins or libheif read, upright, fitted within `bounds`
    // (full size when empty). A drawing (SVG) is rendered to fill `drawingBounds` instead.
    Image = 1,
    // The number of pages of a PDF and the size in points of as many of the first pages as can
    // be read in a moment (payload: float pairs; the rest are read as they are rendered).
    PdfOpen = 2,
    // Page `page` of a PDF rendered to exactly `bounds` pixels, on white paper.
    PdfPage = 3,
    // The first page of a PDF fitted within `bounds`, on white paper.
    PdfThumbnail = 4,
    // What an archive holds, from its headers only (payload: an ArchiveHeader, see below).
    ArchiveList = 5,
    // A font's name and a sample line drawn with the font itself, filling `bounds`.
    FontSample = 6,
    // A still from about a tenth into a video, upright, fitted within `bounds`; fullWidth and
    // fullHeight give the video's upright size on screen.
    VideoFrame = 7,
};

struct Request
{
    std::uint32_t magic = requestMagic;
    Job job = Job::Image;
    std::uint32_t serial = 0;
    std::int32_t width = 0; // bounds in pixels
    std::int32_t height = 0;
    std::int32_t drawingWidth = 0;
    std::int32_t drawingHeight = 0;
    std::int32_t page = 0;
};

enum class Outcome : std::uint32_t {
    Done = 0,
    Failed = 1, // the file could not be read as asked; the worker is fine
};

// The pixel layouts a reply may carry (the values of QImage::Format they stand for are checked
// where the main process turns them back into a QImage).
enum class PixelFormat : std::uint32_t {
    Rgb32 = 4,               // QImage::Format_RGB32
    Argb32 = 5,              // QImage::Format_ARGB32
    Argb32Premultiplied = 6, // QImage::Format_ARGB32_Premultiplied
};

struct Reply
{
    std::uint32_t magic = replyMagic;
    std::uint32_t serial = 0;
    Outcome outcome = Outcome::Failed;
    std::int32_t width = 0; // the image in the memfd
    std::int32_t height = 0;
    std::int32_t bytesPerLine = 0;
    PixelFormat format = PixelFormat::Argb32;
    std::int32_t fullWidth = 0; // the picture's upright size as stored in the file
    std::int32_t fullHeight = 0;
    std::uint32_t scalable = 0; // a drawing, rendered to fill drawingBounds
    std::int32_t pageCount = 0; // PdfOpen: the document's pages; payloadBytes / 8 sizes follow
    float pageWidth = 0;        // PdfPage: the rendered page's size in points
    float pageHeight = 0;
    std::uint64_t payloadBytes = 0;
    // The worker ends after this reply (it has used its share of CPU time); not reused.
    std::uint32_t retiring = 0;
};

// Upper bounds the main process holds any reply to.
inline constexpr std::int32_t maxSide = 32768;
inline constexpr std::int32_t maxPages = 1'000'000;

// The payload of an ArchiveList reply: one ArchiveHeader, then `listed` entries, each an
// ArchiveEntryHeader followed by its path (UTF-8, pathBytes long), then the library's message
// (UTF-8, detailBytes long), and nothing after it. Fields are copied out, never read in place.
struct ArchiveHeader
{
    std::uint32_t problem = 0; // ArchiveListing::Problem
    std::uint32_t flags = 0;   // archiveEncrypted | archiveDebianPackage
    std::uint32_t listed = 0;
    std::uint32_t detailBytes = 0;
    std::int64_t entryCount = 0;
    std::int64_t totalSize = 0;
};

struct ArchiveEntryHeader
{
    std::int64_t size = 0;
    std::uint32_t flags = 0; // archiveDirectory
    std::uint32_t pathBytes = 0;
};

inline constexpr std::uint32_t archiveEncrypted = 1;
inline constexpr std::uint32_t archiveDebianPackage = 2;
inline constexpr std::uint32_t archiveDirectory = 1;

inline constexpr std::uint32_t maxArchiveListed = 300;
inline constexpr std::int64_t maxArchiveEntries = 5'000'000; // counted, listed or not
inline constexpr std::uint32_t maxArchivePathBytes = 4096;
inline constexpr std::uint32_t maxArchiveDetailBytes = 1024;
inline constexpr std::uint64_t maxArchivePayload =
    sizeof(ArchiveHeader) +
    std::uint64_t(maxArchiveListed) * (sizeof(ArchiveEntryHeader) + maxArchivePathBytes) +
    maxArchiveDetailBytes;

} // namespace WorkerProtocol
