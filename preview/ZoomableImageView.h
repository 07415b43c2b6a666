// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "PreviewWorker.h"

#include <QEasingCurve>
#include <QImage>
#include <QPointF>
#include <QSize>
#include <QUrl>
#include <QWidget>

#include <cstdint>

class BusyIndicator;
class QTimer;
class QVariantAnimation;

// Shows an image file fitted to the view. A pinch (touchpad pinch, or Ctrl + wheel) zooms between
// 1x and 5x, a drag of at least 10 px pans the zoomed image, a double click toggles 1x / 2.5x.
// The file is decoded off the main thread, first at about the size on screen and again at a
// higher resolution only when the zoom needs one; a busy indicator stands in until the first
// image arrives; a file that cannot be decoded is reported with loadFailed().
class ZoomableImageView final : public QWidget
{
    Q_OBJECT

public:
    explicit ZoomableImageView(const QUrl &url, QWidget *parent = nullptr);
    ~ZoomableImageView() override;

    QUrl url() const { return m_url; }
    // A different URL brings zoom and pan to rest, shows the busy indicator and loads the new file.
    void setUrl(const QUrl &url);

    // Starts decoding the current file in the background; the result for a URL that is no
    // longer current is dropped.
    void loadImage();
    // Zoom and pan to rest, no image (not animated).
    void resetState();
    // The double-click action: back to rest when zoomed, else 2.5x about the centre (animated).
    void toggleZoom();

    // Zoom state as the gestures left it; an animation may still be on its way there.
    qreal scale() const { return m_scale; }
    qreal lastScale() const { return m_lastScale; }
    QPointF offset() const { return m_offset; }
    QPointF lastOffset() const { return m_lastOffset; }
    // What is on screen at this moment, including the spring animation.
    qreal displayedScale() const { return m_shownScale; }
    QPointF displayedOffset() const { return m_shownOffset; }
    bool isAnimating() const;

    bool isLoading() const { return m_image.isNull(); }
    bool isBusyIndicatorShown() const;
    // Pixel size of the decoded image held now, and the image's size in the file.
    QSize decodedImageSize() const { return m_image.size(); }
    QSize fullImageSize() const { return m_fullSize; }

    // The spring of the double click and of the return to rest: critically damped, 0.5 s response.
    static QEasingCurve springCurve();
    static int springDurationMs();

    QSize sizeHint() const override;

signals:
    // A decoded image for the current URL was stored (the first one, or a sharper one).
    void imageLoaded();
    // The current URL's image was painted for the first time.
    void imageDisplayed();
    // The current URL could not be decoded (SmartPreviewView then shows the information card).
    void loadFailed();

protected:
    bool event(QEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void showEvent(QShowEvent *event) override;
    void wheelEvent(QWheelEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;

private:
    struct Pinch
    {
        bool active = false;     // between the first event of a pinch and its end
        bool recognised = false; // the magnification moved far enough from 1 to count
        qreal value = 1.0;       // magnification since the pinch began
    };

    void startDecode(const QSize &bounds, bool sharper);
    void storeDecoded(std::uint64_t generation, bool sharper, QImage image, QSize fullSize);
    void loadSharperIfNeeded();
    QSize screenBounds() const;
    QRectF fittedRect() const;

    void updatePinch(Pinch &pinch, qreal value);
    void endPinch(Pinch &pinch);
    void pinchChanged(qreal value);
    void pinchEnded();
    void dragChanged(const QPointF &translation);
    void dragEnded();

    void showStateNow();
    void animateToState();
    void updateChrome();

    QUrl m_url;
    qreal m_scale = 1.0;
    qreal m_lastScale = 1.0;
    QPointF m_offset;
    QPointF m_lastOffset;
    QImage m_image;
    QSize m_fullSize;

    qreal m_shownScale = 1.0;
    QPointF m_shownOffset;
    qreal m_springFromScale = 1.0;
    QPointF m_springFromOffset;
    QVariantAnimation *m_spring;

    std::uint64_t m_generation = 0;
    // Set when the decodes of this generation are no longer wanted.
    CancelFlag m_cancel = makeCancelFlag();
    bool m_loadPending = false;
    bool m_sharperPending = false;
    bool m_displayed = false;

    Pinch m_gesturePinch;
    Pinch m_wheelPinch;
    QTimer *m_wheelPinchEnd;

    bool m_mouseDown = false;
    bool m_dragging = false;
    QPointF m_pressPosition;

    BusyIndicator *m_busy;
};
