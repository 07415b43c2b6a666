// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "PreviewFile.h"
#include "PreviewWorker.h"

#include <QWidget>

class QAudioOutput;
class QLabel;
class QMediaPlayer;
class QSlider;
class QToolButton;
class VideoFrameView;

// Plays a sound or a movie, starting as soon as it is shown, with play/pause and a
// position bar. With no sound device it still plays, silently.
class MediaPreview final : public QWidget
{
    Q_OBJECT

public:
    enum class Kind { Audio, Video };

    MediaPreview(PreviewFilePtr file, Kind kind, QWidget *parent = nullptr);
    ~MediaPreview() override;

    Kind kind() const { return m_kind; }
    QMediaPlayer *player() const { return m_player; }
    // The picture of a video (null for sound).
    VideoFrameView *videoView() const { return m_video; }

    // The still a video shows before playback gives its first frame: the large thumbnail in the
    // shared cache when one was made from this version of the file, else a frame the preview
    // process takes, fitted within `bounds`. Blocks; null when there is none.
    static QImage still(const PreviewFile &file, const QSize &bounds, const CancelFlag &cancel);

signals:
    void failed();

protected:
    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;

private:
    QWidget *makeArtwork(const QString &path);
    void loadStill();
    void togglePlayback();
    void updateButton();
    void updatePosition(qint64 position);
    void updateDuration(qint64 duration);

    Kind m_kind;
    // Held open while playing: the player reads the file through its descriptor.
    PreviewFilePtr m_file;
    QMediaPlayer *m_player = nullptr;
    QAudioOutput *m_audio = nullptr;
    VideoFrameView *m_video = nullptr;
    QToolButton *m_playButton = nullptr;
    QSlider *m_slider = nullptr;
    QLabel *m_time = nullptr;
    CancelFlag m_cancel;
    bool m_started = false;
    bool m_resumeOnShow = false;
};
