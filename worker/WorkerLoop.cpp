// SPDX-License-Identifier: GPL-3.0-or-later
#include "WorkerLoop.h"

#include "ArchiveJobs.h"
#include "ArchiveListingWire.h"
#include "FontSample.h"
#include "ImageJobs.h"
#include "MessageChannel.h"
#include "PdfJobs.h"
#include "Sandbox.h"
#include "VideoJobs.h"
#include "WorkerProtocol.h"

#include <QImage>

#include <cstring>
#include <new>
#include <string_view>
#include <vector>

#include <fcntl.h>
#include <malloc.h>
#include <sys/mman.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

using namespace WorkerProtocol;

namespace {

// How long a document's page sizes are read before the first answer: a few thousand pages. The
// preview lays out the others at the first page's size until they are rendered.
constexpr int pageSizeBudgetMs = 300;

// A memfd holding `bytes` from `data`, sealed so that the main process can map it without
// fearing it shrinks under its feet. -1 on failure.
int sealedCopy(const void *data, std::size_t bytes)
{
    const int memory = ::memfd_create("mirel-preview", MFD_CLOEXEC | MFD_ALLOW_SEALING);
    if (memory < 0)
        return -1;
    bool written = ::ftruncate(memory, off_t(bytes)) == 0;
    if (written && bytes > 0) {
        void *mapped = ::mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_SHARED, memory, 0);
        written = mapped != MAP_FAILED;
        if (written) {
            std::memcpy(mapped, data, bytes);
            ::munmap(mapped, bytes);
        }
    }
    if (!written || ::fcntl(memory, F_ADD_SEALS,
                            F_SEAL_SHRINK | F_SEAL_GROW | F_SEAL_WRITE | F_SEAL_SEAL) != 0) {
        ::close(memory);
        return -1;
    }
    return memory;
}

int withImage(Reply &reply, QImage image)
{
    if (image.isNull())
        return -1;
    if (image.format() != QImage::Format_RGB32 && image.format() != QImage::Format_ARGB32 &&
        image.format() != QImage::Format_ARGB32_Premultiplied)
        image.convertTo(image.hasAlphaChannel() ? QImage::Format_ARGB32_Premultiplied
                                                : QImage::Format_RGB32);
    reply.width = image.width();
    reply.height = image.height();
    reply.bytesPerLine = int(image.bytesPerLine());
    reply.format = image.format() == QImage::Format_RGB32    ? PixelFormat::Rgb32
                   : image.format() == QImage::Format_ARGB32 ? PixelFormat::Argb32
                                                             : PixelFormat::Argb32Premultiplied;
    reply.payloadBytes = std::uint64_t(image.sizeInBytes());
    const int memory = sealedCopy(image.constBits(), std::size_t(image.sizeInBytes()));
    if (memory >= 0)
        reply.outcome = Outcome::Done;
    return memory;
}

#ifdef MIREL_WORKER_TEST_JOBS
// The test build of the worker misbehaves on files that begin with these words, so tests can
// see what Mirel makes of a worker that crashes, hangs or runs out of memory on one file, and
// ask what the process may and may not do.
QImage misbehaveFor(int file, QByteArray *forged)
{
    char head[24] = {};
    if (::pread(file, head, sizeof(head) - 1, 0) <= 0)
        return QImage();
    const std::string_view start(head);
    if (start.starts_with("MIREL-TEST-CRASH"))
        ::abort();
    if (start.starts_with("MIREL-TEST-HANG")) {
        for (;;)
            ::pause();
    }
    if (start.starts_with("MIREL-TEST-EXHAUST")) {
        std::vector<char *> blocks;
        for (;;) {
            // Touched, so it is really held, as a runaway decoder would hold it.
            char *block = new char[16 * 1024 * 1024];
            std::memset(block, 1, 16 * 1024 * 1024);
            blocks.push_back(block);
        }
    }
    if (start.starts_with("MIREL-TEST-FORGED-LIST")) {
        // An archive listing that claims more entries than the protocol allows.
        ArchiveHeader header;
        header.listed = maxArchiveListed + 1;
        header.entryCount = maxArchiveListed + 1;
        QByteArray payload(reinterpret_cast<const char *>(&header), sizeof(header));
        payload.append(QByteArray(64, 'x'));
        *forged = payload;
        return QImage();
    }
    if (start.starts_with("MIREL-TEST-PROBE")) {
        // What the sandbox allows, one bit each, in the width of the picture.
        int bits = 0;
        const int probe = ::socket(AF_INET, SOCK_STREAM, 0);
        if (probe < 0)
            bits |= 1;
        else
            ::close(probe);
        if (::prctl(PR_GET_NO_NEW_PRIVS, 0, 0, 0, 0) == 1)
            bits |= 2;
        rlimit data = {};
        if (::getrlimit(RLIMIT_DATA, &data) == 0 && data.rlim_max == Sandbox::dataLimitBytes)
            bits |= 4;
        rlimit cpu = {};
        if (::getrlimit(RLIMIT_CPU, &cpu) == 0 && cpu.rlim_cur == Sandbox::cpuLimitSeconds)
            bits |= 8;
        QImage answer(16 + bits, 1, QImage::Format_RGB32);
        answer.fill(Qt::white);
        return answer;
    }
    return QImage();
}
#endif

// The reply to one request; the descriptor returned (or -1) goes with it.
int answer(const Request &request, int file, Reply &reply)
{
    const QSize bounds(request.width, request.height);
#ifdef MIREL_WORKER_TEST_JOBS
    QByteArray forged;
    if (const QImage probe = misbehaveFor(file, &forged); !probe.isNull())
        return withImage(reply, probe);
    if (!forged.isEmpty()) {
        reply.payloadBytes = std::uint64_t(forged.size());
        const int memory = sealedCopy(forged.constData(), std::size_t(forged.size()));
        if (memory >= 0)
            reply.outcome = Outcome::Done;
        return memory;
    }
#endif
    switch (request.job) {
    case Job::Image: {
        const ImageJobs::Decoded decoded =
            ImageJobs::decode(file, bounds, QSize(request.drawingWidth, request.drawingHeight));
        reply.fullWidth = decoded.fullSize.width();
        reply.fullHeight = decoded.fullSize.height();
        reply.scalable = decoded.scalable ? 1 : 0;
        return withImage(reply, decoded.image);
    }
    case Job::PdfOpen: {
        const PdfJobs::Pages pages = PdfJobs::pageSizes(file, pageSizeBudgetMs);
        if (pages.count < 1 || pages.sizes.isEmpty())
            return -1;
        std::vector<float> points;
        points.reserve(std::size_t(pages.sizes.size()) * 2);
        for (const QSizeF &size : pages.sizes) {
            points.push_back(float(size.width()));
            points.push_back(float(size.height()));
        }
        reply.pageCount = pages.count;
        reply.payloadBytes = points.size() * sizeof(float);
        const int memory = sealedCopy(points.data(), points.size() * sizeof(float));
        if (memory >= 0)
            reply.outcome = Outcome::Done;
        return memory;
    }
    case Job::PdfPage: {
        QSizeF points;
        const QImage page = PdfJobs::renderPage(file, request.page, bounds, &points);
        reply.pageWidth = float(points.width());
        reply.pageHeight = float(points.height());
        return withImage(reply, page);
    }
    case Job::PdfThumbnail:
        return withImage(reply, PdfJobs::thumbnail(file, bounds));
    case Job::ArchiveList: {
        ArchiveLister::Limits limits;
        limits.listed = int(maxArchiveListed);
        limits.counted = maxArchiveEntries;
        const QByteArray listing = ArchiveListingWire::encode(ArchiveJobs::list(file, limits));
        reply.payloadBytes = std::uint64_t(listing.size());
        const int memory = sealedCopy(listing.constData(), std::size_t(listing.size()));
        if (memory >= 0)
            reply.outcome = Outcome::Done;
        return memory;
    }
    case Job::FontSample:
        return withImage(reply, FontSample::render(file, bounds).image);
    case Job::VideoFrame: {
        const VideoJobs::Frame frame = VideoJobs::frame(file, bounds);
        reply.fullWidth = frame.fullSize.width();
        reply.fullHeight = frame.fullSize.height();
        return withImage(reply, frame.image);
    }
    }
    return -1;
}

} // namespace

namespace WorkerLoop {

int run(int socket)
{
    for (;;) {
        Request request;
        int file = -1;
        if (!MessageChannel::receive(socket, &request, sizeof(request), &file))
            return 0;
        Reply reply;
        reply.serial = request.serial;
        int memory = -1;
        const bool sane = request.magic == requestMagic && file >= 0 && request.width >= 0 &&
                          request.height >= 0 && request.width <= maxSide &&
                          request.height <= maxSide && request.drawingWidth >= 0 &&
                          request.drawingHeight >= 0 && request.drawingWidth <= maxSide &&
                          request.drawingHeight <= maxSide;
        if (sane) {
            try {
                memory = answer(request, file, reply);
            } catch (const std::bad_alloc &) {
                // Over the memory limit: no way to tell what the library left half done.
                ::_exit(3);
            }
        }
        if (file >= 0)
            ::close(file);
        // A big picture's buffers go back to the system between two requests, not held idle.
        ::malloc_trim(0);
        if (reply.outcome != Outcome::Done) {
            reply = Reply();
            reply.serial = request.serial;
        }
        const bool retiring = Sandbox::cpuSecondsUsed() > double(Sandbox::retireAfterCpuSeconds);
        reply.retiring = retiring ? 1 : 0;
        const bool sent = MessageChannel::send(socket, &reply, sizeof(reply), memory);
        if (memory >= 0)
            ::close(memory);
        if (!sent)
            return 1;
        if (retiring)
            return 0;
    }
}

} // namespace WorkerLoop
