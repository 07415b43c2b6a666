// SPDX-License-Identifier: GPL-3.0-or-later
// The video module of the preview process (mirel-video.so, see VideoJobs.h): one still of a video
// through libavformat, libavcodec and libswscale, read from the descriptor Mirel handed over.
#include "VideoJobs.h"

#include <QTransform>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/display.h>
#include <libswscale/swscale.h>
}

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <optional>
#include <string_view>

#include <sys/stat.h>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;

// The containers videos are downloaded in. Demuxers that read further files by name (playlists,
// concatenation lists, numbered pictures) are left out, and any nested open is refused as well.
constexpr char containers[] = "mov,mp4,m4a,3gp,3g2,mj2,matroska,webm,avi,asf,flv,mpegts,mpeg,"
                              "mpegvideo,ogg,nut,mxf,dv,rm,h264,hevc,m4v,ivf";
constexpr int ioBufferBytes = 64 * 1024;
// AV_TIME_BASE_Q, which is a C compound literal.
constexpr AVRational microseconds{1, AV_TIME_BASE};
// Where stills are tried, as shares of the length: the first that is not nearly black is taken.
constexpr double positions[] = {0.10, 0.15, 0.25, 0.40};
// Seconds from the start, for a video whose length the container does not say.
constexpr double positionsWithoutLength[] = {0, 2, 5, 10};
// Decoding on from the key frame before a position stops after this long, and the frame it got
// to is taken: a video with a key frame every minute costs no more than this.
constexpr std::chrono::milliseconds approachBudget{1500};
// The whole job; the main process would kill the worker at its own deadline (10 s) otherwise.
constexpr std::chrono::milliseconds jobBudget{6000};
// Two threads share each picture's slices. Frame threads would each hold pictures of their own
// (3 MB more for a 720p still, 9 MB for 1080p) and only add latency to a single still.
constexpr int decoderThreads = 2;

struct Source
{
    int file = -1;
    std::int64_t position = 0;
    std::int64_t size = 0;
};

int readPacket(void *opaque, std::uint8_t *buffer, int bytes)
{
    auto *source = static_cast<Source *>(opaque);
    for (;;) {
        const ssize_t got =
            ::pread(source->file, buffer, std::size_t(bytes), off_t(source->position));
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            return AVERROR(errno);
        if (got == 0)
            return AVERROR_EOF;
        source->position += got;
        return int(got);
    }
}

std::int64_t seekTo(void *opaque, std::int64_t offset, int whence)
{
    auto *source = static_cast<Source *>(opaque);
    switch (whence & ~AVSEEK_FORCE) {
    case AVSEEK_SIZE:
        return source->size;
    case SEEK_SET:
        break;
    case SEEK_CUR:
        offset += source->position;
        break;
    case SEEK_END:
        offset += source->size;
        break;
    default:
        return AVERROR(EINVAL);
    }
    if (offset < 0)
        return AVERROR(EINVAL);
    source->position = offset;
    return offset;
}

// The common containers known by their first bytes. Probing asks every demuxer libavformat has
// (several hundred, and libopenmpt's) to look at the file, which alone makes a few megabytes of
// their code resident in the preview process; a container not known here is still probed.
const AVInputFormat *knownContainer(int file)
{
    unsigned char head[12] = {};
    ssize_t got;
    do
        got = ::pread(file, head, sizeof head, 0);
    while (got < 0 && errno == EINTR);
    if (got != ssize_t(sizeof head))
        return nullptr;
    const auto at = [&head](int offset, std::string_view bytes) {
        return std::string_view(reinterpret_cast<const char *>(head) + offset, bytes.size()) ==
               bytes;
    };
    const char *name = nullptr;
    for (std::string_view box : {"ftyp", "moov", "mdat", "free", "wide", "skip"}) {
        if (at(4, box))
            name = "mov";
    }
    if (at(0, "\x1a\x45\xdf\xa3"))
        name = "matroska";
    else if (at(0, "RIFF") && at(8, "AVI "))
        name = "avi";
    else if (at(0, "OggS"))
        name = "ogg";
    else if (at(0, "FLV\x01"))
        name = "flv";
    else if (at(0, "\x30\x26\xb2\x75\x8e\x66\xcf\x11"))
        name = "asf";
    return name ? av_find_input_format(name) : nullptr;
}

// Only the descriptor is read: a container that points at another file (an external track, a
// reference movie) gets nothing.
int refuseOpen(AVFormatContext *, AVIOContext **, const char *, int, AVDictionary **)
{
    return AVERROR(EPERM);
}

int interrupted(void *opaque)
{
    return Clock::now() > *static_cast<const Clock::time_point *>(opaque) ? 1 : 0;
}

QSize fittedWithin(const QSize &size, const QSize &bounds)
{
    if (bounds.isEmpty() || (size.width() <= bounds.width() && size.height() <= bounds.height()))
        return size;
    return size.scaled(bounds, Qt::KeepAspectRatio).expandedTo(QSize(1, 1));
}

// Hardly anything lit: a fade-in, a title card's black.
bool nearlyBlack(const QImage &image)
{
    const int step = std::max(1, int(std::sqrt(double(image.width()) * image.height() / 20000)));
    qint64 lit = 0;
    qint64 seen = 0;
    for (int y = 0; y < image.height(); y += step) {
        const auto *line = reinterpret_cast<const QRgb *>(image.constScanLine(y));
        for (int x = 0; x < image.width(); x += step) {
            ++seen;
            lit += std::max({qRed(line[x]), qGreen(line[x]), qBlue(line[x])}) > 40;
        }
    }
    return lit * 50 < seen; // under 2 %
}

class Video final
{
public:
    Video(int file, Clock::time_point giveUpAt)
        : m_giveUpAt(giveUpAt)
    {
        m_source.file = file;
        struct stat attributes = {};
        if (::fstat(file, &attributes) == 0)
            m_source.size = attributes.st_size;
    }
    ~Video()
    {
        sws_freeContext(m_scaler);
        av_frame_free(&m_latest);
        av_frame_free(&m_frame);
        av_packet_free(&m_packet);
        avcodec_free_context(&m_codec);
        avformat_close_input(&m_format);
        if (m_io) {
            av_freep(&m_io->buffer);
            avio_context_free(&m_io);
        }
    }
    Video(const Video &) = delete;
    Video &operator=(const Video &) = delete;

    bool open();
    // The upright size on screen, known once a frame was decoded (the stream may say what the
    // container does not).
    QSize uprightSize() const
    {
        return m_quarterTurns % 2 ? m_displaySize.transposed() : m_displaySize;
    }
    std::optional<QImage> stillAt(int attempt, const QSize &bounds);

private:
    AVStream *stream() const { return m_format->streams[m_stream]; }
    const AVFrame *decodeFrom(std::int64_t target);
    QImage picture(const AVFrame *frame, const QSize &bounds);

    Source m_source;
    Clock::time_point m_giveUpAt;
    AVIOContext *m_io = nullptr;
    AVFormatContext *m_format = nullptr;
    AVCodecContext *m_codec = nullptr;
    AVPacket *m_packet = nullptr;
    AVFrame *m_frame = nullptr;
    AVFrame *m_latest = nullptr;
    SwsContext *m_scaler = nullptr;
    int m_stream = -1;
    QSize m_displaySize;
    int m_quarterTurns = 0; // clockwise
};

bool Video::open()
{
    auto *buffer = static_cast<unsigned char *>(av_malloc(ioBufferBytes));
    if (!buffer)
        return false;
    m_io = avio_alloc_context(buffer, ioBufferBytes, 0, &m_source, readPacket, nullptr, seekTo);
    if (!m_io) {
        av_free(buffer);
        return false;
    }
    m_format = avformat_alloc_context();
    if (!m_format)
        return false;
    m_format->pb = m_io;
    m_format->flags |= AVFMT_FLAG_CUSTOM_IO;
    m_format->io_open = refuseOpen;
    m_format->interrupt_callback = {interrupted, &m_giveUpAt};
    m_format->format_whitelist = av_strdup(containers);
    // On failure the context is freed and nulled; the reader stays ours.
    if (avformat_open_input(&m_format, nullptr, knownContainer(m_source.file), nullptr) < 0)
        return false;

    // The largest picture track that is not cover art.
    std::int64_t largest = -1;
    for (unsigned int i = 0; i < m_format->nb_streams; ++i) {
        const AVStream *candidate = m_format->streams[i];
        const AVCodecParameters *parameters = candidate->codecpar;
        if (parameters->codec_type != AVMEDIA_TYPE_VIDEO ||
            (candidate->disposition & AV_DISPOSITION_ATTACHED_PIC))
            continue;
        const std::int64_t pixels = std::int64_t(parameters->width) * parameters->height;
        if (pixels > largest) {
            largest = pixels;
            m_stream = int(i);
        }
    }
    // Containers whose headers say little (MPEG transport streams) are probed by reading on.
    if (m_stream < 0 || largest <= 0 || stream()->codecpar->codec_id == AV_CODEC_ID_NONE) {
        if (avformat_find_stream_info(m_format, nullptr) < 0)
            return false;
        m_stream = av_find_best_stream(m_format, AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
        if (m_stream < 0)
            return false;
    }
    for (unsigned int i = 0; i < m_format->nb_streams; ++i)
        m_format->streams[i]->discard = int(i) == m_stream ? AVDISCARD_DEFAULT : AVDISCARD_ALL;

    const AVCodecParameters *parameters = stream()->codecpar;
    if (parameters->width <= 0 || parameters->height <= 0 || parameters->width > 32768 ||
        parameters->height > 32768)
        return false;
    const AVCodec *decoder = avcodec_find_decoder(parameters->codec_id);
    if (!decoder)
        return false;
    m_codec = avcodec_alloc_context3(decoder);
    if (!m_codec || avcodec_parameters_to_context(m_codec, parameters) < 0)
        return false;
    m_codec->pkt_timebase = stream()->time_base;
    m_codec->thread_count = decoderThreads;
    m_codec->thread_type = FF_THREAD_SLICE;
    if (avcodec_open2(m_codec, decoder, nullptr) < 0)
        return false;
    m_packet = av_packet_alloc();
    m_frame = av_frame_alloc();
    m_latest = av_frame_alloc();
    if (!m_packet || !m_frame || !m_latest)
        return false;

    // A phone video filmed upright is stored sideways with a rotation to apply.
    std::size_t matrixBytes = 0;
#if LIBAVFORMAT_VERSION_INT >= AV_VERSION_INT(60, 15, 100)
    // FFmpeg 6.1 and later keep it with the codec parameters (the stream's copy is deprecated).
    const AVPacketSideData *side = av_packet_side_data_get(
        parameters->coded_side_data, parameters->nb_coded_side_data, AV_PKT_DATA_DISPLAYMATRIX);
    const std::uint8_t *matrix = side ? side->data : nullptr;
    matrixBytes = side ? side->size : 0;
#else
    const std::uint8_t *matrix =
        av_stream_get_side_data(stream(), AV_PKT_DATA_DISPLAYMATRIX, &matrixBytes);
#endif
    if (matrix && matrixBytes >= 9 * sizeof(std::int32_t)) {
        const double counterClockwise =
            av_display_rotation_get(reinterpret_cast<const std::int32_t *>(matrix));
        if (std::isfinite(counterClockwise))
            m_quarterTurns = int(((std::lround(-counterClockwise / 90.0) % 4) + 4) % 4);
    }
    return true;
}

// The first frame at or after `target` (in the track's time base), or the one decoding reached
// when the approach took too long, or the last of the video when it ends before.
const AVFrame *Video::decodeFrom(std::int64_t target)
{
    av_frame_unref(m_latest);
    bool haveFrame = false;
    if (target > 0 || stream()->start_time != AV_NOPTS_VALUE)
        av_seek_frame(m_format, m_stream, target, AVSEEK_FLAG_BACKWARD);
    avcodec_flush_buffers(m_codec);
    // Pictures nothing else refers to need not be decoded on the way to the target.
    const AVCodecID codec = m_codec->codec_id;
    m_codec->skip_frame = codec == AV_CODEC_ID_H264 || codec == AV_CODEC_ID_HEVC
                              ? AVDISCARD_NONREF
                              : AVDISCARD_DEFAULT;
    const Clock::time_point approachEnd = std::min(Clock::now() + approachBudget, m_giveUpAt);
    bool draining = false;
    for (;;) {
        const int received = avcodec_receive_frame(m_codec, m_frame);
        if (received == 0) {
            av_frame_unref(m_latest);
            av_frame_move_ref(m_latest, m_frame);
            haveFrame = true;
            const std::int64_t time = m_latest->best_effort_timestamp;
            if (time == AV_NOPTS_VALUE || time >= target || Clock::now() > approachEnd)
                return m_latest;
            continue;
        }
        if (received == AVERROR_EOF || draining || Clock::now() > m_giveUpAt)
            return haveFrame ? m_latest : nullptr;
        if (received != AVERROR(EAGAIN))
            return haveFrame ? m_latest : nullptr;
        const int read = av_read_frame(m_format, m_packet);
        if (read < 0) {
            // The end, or a file cut short: what the decoder still holds comes out now.
            avcodec_send_packet(m_codec, nullptr);
            draining = true;
            continue;
        }
        if (m_packet->stream_index == m_stream)
            avcodec_send_packet(m_codec, m_packet); // a damaged packet is skipped, not fatal
        av_packet_unref(m_packet);
    }
}

QImage Video::picture(const AVFrame *frame, const QSize &bounds)
{
    if (frame->width <= 0 || frame->height <= 0)
        return QImage();
    // Non-square pixels (anamorphic DVD and broadcast video) are shown at their intended width,
    // as the container says, or else the stream itself.
    double width = frame->width;
    const AVRational aspect =
        av_guess_sample_aspect_ratio(m_format, stream(), const_cast<AVFrame *>(frame));
    if (aspect.num > 0 && aspect.den > 0)
        width = std::clamp(width * aspect.num / aspect.den, 1.0, 32768.0);
    m_displaySize = QSize(int(std::lround(width)), frame->height);
    // Scaled at its turned size, then turned: only the small picture is rotated.
    const QSize upright = fittedWithin(uprightSize(), bounds);
    const QSize scaled = m_quarterTurns % 2 ? upright.transposed() : upright;
    m_scaler = sws_getCachedContext(
        m_scaler, frame->width, frame->height, static_cast<AVPixelFormat>(frame->format),
        scaled.width(), scaled.height(), AV_PIX_FMT_RGB32, SWS_AREA, nullptr, nullptr, nullptr);
    if (!m_scaler)
        return QImage();
    // The colours as the video says they were encoded; HD without a tag is BT.709, as players
    // assume.
    int colorSpace = frame->colorspace;
    if (colorSpace == AVCOL_SPC_UNSPECIFIED || colorSpace == AVCOL_SPC_RGB)
        colorSpace = frame->height >= 720 ? SWS_CS_ITU709 : SWS_CS_DEFAULT;
    sws_setColorspaceDetails(m_scaler, sws_getCoefficients(colorSpace),
                             frame->color_range == AVCOL_RANGE_JPEG ? 1 : 0,
                             sws_getCoefficients(SWS_CS_DEFAULT), 1, 0, 1 << 16, 1 << 16);
    QImage image(scaled, QImage::Format_RGB32);
    if (image.isNull())
        return image;
    std::uint8_t *const target[4] = {image.bits(), nullptr, nullptr, nullptr};
    const int targetStride[4] = {int(image.bytesPerLine()), 0, 0, 0};
    if (sws_scale(m_scaler, frame->data, frame->linesize, 0, frame->height, target, targetStride) <=
        0)
        return QImage();
    if (m_quarterTurns != 0)
        image = image.transformed(QTransform().rotate(90.0 * m_quarterTurns));
    return image;
}

std::optional<QImage> Video::stillAt(int attempt, const QSize &bounds)
{
    const AVStream *track = stream();
    const std::int64_t start = track->start_time != AV_NOPTS_VALUE ? track->start_time : 0;
    std::int64_t length = track->duration;
    if (length == AV_NOPTS_VALUE || length <= 0) {
        length = m_format->duration > 0
                     ? av_rescale_q(m_format->duration, microseconds, track->time_base)
                     : 0;
    }
    const std::int64_t offset =
        length > 0 ? std::int64_t(double(length) * positions[attempt])
                   : av_rescale_q(std::int64_t(positionsWithoutLength[attempt] * AV_TIME_BASE),
                                  microseconds, track->time_base);
    const AVFrame *frame = decodeFrom(start + offset);
    if (!frame)
        return std::nullopt;
    return picture(frame, bounds);
}

} // namespace

extern "C" __attribute__((visibility("default"))) void
mirelDecodeVideoFrame(int file, int width, int height, VideoJobs::Frame *result)
{
    av_log_set_level(AV_LOG_QUIET);
    Video video(file, Clock::now() + jobBudget);
    if (!video.open())
        return;
    const QSize bounds(width, height);
    QImage first;
    for (int attempt = 0; attempt < int(std::size(positions)); ++attempt) {
        const std::optional<QImage> still = video.stillAt(attempt, bounds);
        if (!still || still->isNull())
            break;
        if (first.isNull())
            first = *still;
        if (!nearlyBlack(*still)) {
            first = *still;
            break;
        }
    }
    if (first.isNull())
        return;
    result->image = first;
    result->fullSize = video.uprightSize();
}
