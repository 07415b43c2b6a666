// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "ThumbnailSource.h"

// Thumbnails from the shared freedesktop.org cache, made and stored there when the
// cache has none for the current version of the file. Failures are remembered in the
// cache too, so a broken file is not decoded again each time it is shown.
// The cache is found from the environment at every request.
class ThumbnailLoader final : public ThumbnailSource
{
public:
    QImage thumbnail(const ThumbnailRequest &request) override;
};
