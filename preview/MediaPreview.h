// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "PreviewFile.h"

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

signals:
    void failed();

protected:
    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;

private:
    QWidget *makeArtwork(const QString &path);
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
    bool m_started = false;
    bool m_resumeOnShow = false;
};
