// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "PreviewFile.h"
#include "PreviewWorker.h"

#include <QImage>
#include <QPixmap>
#include <QWidget>

#include <functional>

// An image that Qt can read but that is not opened in the zoomable view (SVG, TIFF
// variants, icons, ...), fitted to the space and centred. Decoded off the main thread.
class ImagePreview final : public QWidget
{
    Q_OBJECT

public:
    explicit ImagePreview(PreviewFilePtr file, QWidget *parent = nullptr);
    // A picture made some other way (a desktop thumbnailer's, a font's sample), by `make` on the
    // preview threads; it is told when the picture is no longer wanted. Null: failed().
    using Maker = std::function<QImage(const CancelFlag &cancel)>;
    explicit ImagePreview(Maker make, QWidget *parent = nullptr);
    ~ImagePreview() override;

    bool isLoaded() const { return !m_image.isNull(); }
    QImage image() const { return m_image; }

signals:
    void loaded();
    void failed();

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    struct Decoded
    {
        QImage image;
        bool scalable = false; // a drawing, rendered to fill the space
    };
    static Decoded decode(const PreviewFile &file, const CancelFlag &cancel);
    void present(const Decoded &decoded);

    CancelFlag m_cancel;
    QImage m_image;
    bool m_scalable = false;
    QPixmap m_scaled;
};
