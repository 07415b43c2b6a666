// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QImage>
#include <QMutex>
#include <QVideoFrame>
#include <QWidget>

#include <memory>

class QVideoSink;

// The picture of a playing movie, converted on the CPU and painted like any widget.
// QVideoWidget, and Qt's own frame conversion, bring up OpenGL for it, which on a machine
// without a graphics card loads a software renderer of well over 100 MB that stays for as long
// as Mirel runs. Frames are converted only at the size they are shown, and only the latest one
// is kept.
class VideoFrameView final : public QWidget
{
    Q_OBJECT

public:
    explicit VideoFrameView(QWidget *parent = nullptr);
    ~VideoFrameView() override;

    // Hand this to QMediaPlayer::setVideoSink().
    QVideoSink *videoSink() const { return m_sink; }
    // The last frame as shown (device pixels); null before the first one.
    QImage image() const { return m_image; }
    // A still of the video shown until playback's first frame replaces it.
    void setStill(const QImage &still);
    QImage still() const { return m_still; }

    // The frame as an upright RGB picture fitted within `bounds` (its own size when `bounds` is
    // empty), or null for a pixel format it does not know.
    static QImage toImage(const QVideoFrame &frame, const QSize &bounds = QSize());

signals:
    void frameShown();
    void stillShown();

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    void takeFrame();

    // The newest frame, handed over from the playback thread. It is shared with the sink's
    // connection, which may still be running on that thread while the view is destroyed.
    struct Handover
    {
        QMutex mutex;
        VideoFrameView *view = nullptr; // null once the view is going
        QVideoFrame pending;
        bool takePosted = false;
    };

    QVideoSink *m_sink;
    QImage m_image;
    QImage m_still;
    std::shared_ptr<Handover> m_handover;
};
