// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "ThumbnailRequest.h"

#include <QImage>

#include <memory>

// Where thumbnails come from. Called on a worker thread, possibly several at once, so
// an implementation must be thread-safe. A null image means "no thumbnail".
class ThumbnailSource
{
public:
    virtual ~ThumbnailSource() = default;
    virtual QImage thumbnail(const ThumbnailRequest &request) = 0;

    // The shared freedesktop.org thumbnail cache, filled on demand.
    static std::shared_ptr<ThumbnailSource> systemDefault();
};
