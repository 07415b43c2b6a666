// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "PreviewWorker.h"

#include <QSize>
#include <QString>

#include <cmath>

// What a row asks of a thumbnail source: the file, the size in points at which the
// thumbnail is shown, and the screen scale.
struct ThumbnailRequest
{
    QString path;
    QSize pointSize{60, 60};
    qreal scale = 2.0;
    // Set when the row is gone: its thumbnail is not worth making any more.
    CancelFlag cancel;

    // The longer side in device pixels.
    int pixelSize() const
    {
        return static_cast<int>(std::ceil(qMax(pointSize.width(), pointSize.height()) * scale));
    }
};
