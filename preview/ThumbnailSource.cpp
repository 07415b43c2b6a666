// SPDX-License-Identifier: GPL-3.0-or-later
#include "ThumbnailSource.h"

#include "PreviewWorker.h"
#include "ThumbnailLoader.h"

std::shared_ptr<ThumbnailSource> ThumbnailSource::systemDefault()
{
    static const auto loader = std::make_shared<ThumbnailLoader>();
    // Rows that will ask for thumbnails are being made: the processes that make them start now.
    PreviewWorker::prestart(PreviewWorker::maxThumbnailWorkers);
    return loader;
}
