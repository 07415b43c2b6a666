// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "ThumbnailSource.h"

#include <QImage>
#include <QUrl>
#include <QWidget>

#include <memory>

// The small picture at the head of a file row: the kind icon until a thumbnail of the
// file arrives, then the thumbnail filling the whole frame (what spills over is cut).
// A thumbnail is asked for each time the view is shown; the work runs off the main
// thread and only the finished picture is stored here.
class FileThumbnailView final : public QWidget
{
    Q_OBJECT

public:
    explicit FileThumbnailView(const QUrl &url, QWidget *parent = nullptr);
    ~FileThumbnailView() override;

    // Tests put a double in place of the shared thumbnail cache.
    void setThumbnailSource(std::shared_ptr<ThumbnailSource> source);
    // Rounds the thumbnail's corners, drawn smooth at the screen's own pixel density.
    void setCornerRadius(qreal radius) { m_cornerRadius = radius; }

    QUrl url() const { return m_url; }
    QImage thumbnail() const { return m_thumbnail; }
    // The kind icon shown while there is no thumbnail.
    QString symbolName() const { return m_symbolName; }

    // Asks the source for a thumbnail off the main thread. Called when shown.
    void loadThumbnail();

    // The size of the request, in points.
    static QSize requestedPointSize() { return QSize(60, 60); }
    // The screen scale that requests use; 2.0 when there is no screen.
    static qreal screenScale();

    QSize sizeHint() const override { return requestedPointSize(); }

signals:
    void thumbnailChanged();
    // A request has been answered, with or without a thumbnail.
    void requestFinished();

protected:
    void showEvent(QShowEvent *event) override;
    void paintEvent(QPaintEvent *event) override;

private:
    void store(const QImage &thumbnail);

    QUrl m_url;
    QString m_symbolName;
    std::shared_ptr<ThumbnailSource> m_source;
    QImage m_thumbnail;
    qreal m_cornerRadius = 0;
    CancelFlag m_cancel;
};
