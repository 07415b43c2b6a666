// SPDX-License-Identifier: GPL-3.0-or-later
#include "MediaPreview.h"

#include "FileKinds.h"
#include "FileNames.h"
#include "MediaBuffering.h"
#include "MirelIcons.h"
#include "PreviewPriority.h"
#include "RunInBackground.h"
#include "SymbolLabel.h"
#include "ThumbnailCache.h"
#include "VideoFrameView.h"

#include <QAudioDevice>
#include <QAudioOutput>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QMediaPlayer>
#include <QSlider>
#include <QToolButton>
#include <QUrl>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

namespace {

QString clockText(qint64 milliseconds)
{
    const qint64 seconds = milliseconds / 1000;
    if (seconds >= 3600)
        return u"%1:%2:%3"_s.arg(seconds / 3600)
            .arg(seconds / 60 % 60, 2, 10, QChar(u'0'))
            .arg(seconds % 60, 2, 10, QChar(u'0'));
    return u"%1:%2"_s.arg(seconds / 60).arg(seconds % 60, 2, 10, QChar(u'0'));
}

// The still's size when the preview area has none yet: a panel-sized area on a dense screen.
constexpr QSize fallbackStillBounds(640, 480);

QMediaPlayer *newPlayer(QObject *parent)
{
    MediaBuffering::leaveOutCameras();
    return new QMediaPlayer(parent);
}

} // namespace

MediaPreview::MediaPreview(PreviewFilePtr file, Kind kind, QWidget *parent)
    : QWidget(parent)
    , m_kind(kind)
    , m_file(std::move(file))
    , m_player(newPlayer(this))
    , m_playButton(new QToolButton(this))
    , m_slider(new QSlider(Qt::Horizontal, this))
    , m_time(new QLabel(this))
    , m_cancel(makeCancelFlag())
{
    // Always given an output, even with no sound device: the playback pipeline then
    // falls back to a silent sink and keeps the clock running, where a player without
    // any output would never advance through a sound file.
    m_audio = new QAudioOutput(this);
    m_player->setAudioOutput(m_audio);

    auto *controls = new QHBoxLayout;
    controls->setContentsMargins(8, 4, 8, 4);
    controls->addWidget(m_playButton);
    controls->addWidget(m_slider, 1);
    controls->addWidget(m_time);
    m_playButton->setAutoRaise(true);
    m_playButton->setToolTip(tr("Play or pause"));
    m_slider->setRange(0, 0);
    m_slider->setSingleStep(5000);
    m_slider->setPageStep(10000);
    m_slider->setAccessibleName(tr("Position"));
    m_time->setText(clockText(0));

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(makeArtwork(m_file->path()), 1);
    layout->addLayout(controls);

    if (m_video)
        loadStill();

    connect(m_playButton, &QToolButton::clicked, this, &MediaPreview::togglePlayback);
    connect(m_slider, &QSlider::sliderMoved, m_player, &QMediaPlayer::setPosition);
    // Clicks beside the handle and the arrow keys seek too, not only dragging.
    connect(m_slider, &QSlider::actionTriggered, this, [this](int action) {
        if (action != QAbstractSlider::SliderMove && action != QAbstractSlider::SliderNoAction)
            m_player->setPosition(m_slider->sliderPosition());
    });
    connect(m_player, &QMediaPlayer::positionChanged, this, &MediaPreview::updatePosition);
    connect(m_player, &QMediaPlayer::durationChanged, this, &MediaPreview::updateDuration);
    connect(m_player, &QMediaPlayer::playbackStateChanged, this, &MediaPreview::updateButton);
    connect(m_player, &QMediaPlayer::errorOccurred, this, [this](QMediaPlayer::Error error) {
        if (error != QMediaPlayer::NoError)
            emit failed();
    });
    updateButton();
    MediaBuffering::limitQueuedFrames();
    // Through the checked descriptor, never the name again (which may not even be UTF-8).
    const QString source = m_file->descriptorPath();
    if (source.isEmpty())
        QMetaObject::invokeMethod(this, &MediaPreview::failed, Qt::QueuedConnection);
    else
        m_player->setSource(QUrl::fromLocalFile(source));
}

MediaPreview::~MediaPreview()
{
    // A still on its way is not wanted any more.
    m_cancel->store(true);
    // The pipeline, its threads and decoders go now, not when the last child is deleted.
    m_player->stop();
    m_player->setVideoSink(nullptr);
    m_player->setSource(QUrl());
}

QWidget *MediaPreview::makeArtwork(const QString &path)
{
    if (m_kind == Kind::Video) {
        m_video = new VideoFrameView(this);
        m_player->setVideoSink(m_video->videoSink());
        return m_video;
    }
    auto *artwork = new QWidget(this);
    auto *layout = new QVBoxLayout(artwork);
    layout->addStretch(1);
    layout->addWidget(new SymbolLabel(iconName(QUrl::fromLocalFile(path)), QColor(), 96, artwork),
                      0, Qt::AlignHCenter);
    auto *name = new QLabel(FileNames::displayName(path), artwork);
    name->setAlignment(Qt::AlignCenter);
    name->setWordWrap(true);
    layout->addWidget(name);
    layout->addStretch(1);
    return artwork;
}

QImage MediaPreview::still(const PreviewFile &file, const QSize &bounds, const CancelFlag &cancel)
{
    if (!file.isRegular() || cancel->load())
        return QImage();
    // What the list (or a file manager) made already is there at once, without the worker.
    const ThumbnailCache cache;
    const QString path = QFileInfo(file.path()).absoluteFilePath();
    const QImage cached =
        cache.find(path, ThumbnailCache::Flavor::Large, qint64(file.attributes().st_mtim.tv_sec));
    if (!cached.isNull())
        return cached;
    WorkerProtocol::Request request;
    request.job = WorkerProtocol::Job::VideoFrame;
    request.width = std::min(bounds.width(), WorkerProtocol::maxSide);
    request.height = std::min(bounds.height(), WorkerProtocol::maxSide);
    const PreviewWorker::Result made =
        PreviewWorker::run(file, request, PreviewWorker::Lane::Preview, cancel);
    return made.status == PreviewWorker::Status::Done ? made.image : QImage();
}

void MediaPreview::loadStill()
{
    // The area this preview is about to fill, as laid out for the file before it.
    const QWidget *area = parentWidget() ? parentWidget() : this;
    QSize bounds = (QSizeF(area->size()) * area->devicePixelRatioF()).toSize();
    if (bounds.width() < 64 || bounds.height() < 64)
        bounds = fallbackStillBounds;
    runInBackground(
        this, [file = m_file, cancel = m_cancel, bounds] { return still(*file, bounds, cancel); },
        [this](const QImage &image) {
            if (!image.isNull())
                m_video->setStill(image);
        },
        previewPriority);
}

void MediaPreview::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    // Media starts on its own the first time it is seen, and goes on where it was
    // when the panel comes back.
    if (!m_started || m_resumeOnShow) {
        m_started = true;
        m_resumeOnShow = false;
        m_player->play();
    }
}

void MediaPreview::hideEvent(QHideEvent *event)
{
    QWidget::hideEvent(event);
    // A hidden panel must not keep talking.
    if (m_player->playbackState() == QMediaPlayer::PlayingState) {
        m_resumeOnShow = true;
        m_player->pause();
    }
}

void MediaPreview::togglePlayback()
{
    if (m_player->playbackState() == QMediaPlayer::PlayingState)
        m_player->pause();
    else
        m_player->play();
}

void MediaPreview::updateButton()
{
    const bool playing = m_player->playbackState() == QMediaPlayer::PlayingState;
    // Mirel's own symbols: the style's are PNG files, and reading one makes Qt load every image
    // plugin to ask which of them reads PNG.
    m_playButton->setIcon(MirelIcons::icon(playing ? u"pause.fill"_s : u"play.fill"_s));
    m_playButton->setAccessibleName(playing ? tr("Pause") : tr("Play"));
}

void MediaPreview::updatePosition(qint64 position)
{
    if (!m_slider->isSliderDown())
        m_slider->setValue(static_cast<int>(position));
    m_time->setText(clockText(position) % u" / "_s % clockText(m_player->duration()));
}

void MediaPreview::updateDuration(qint64 duration)
{
    m_slider->setRange(0, static_cast<int>(duration));
    updatePosition(m_player->position());
}
