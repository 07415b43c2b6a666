// SPDX-License-Identifier: GPL-3.0-or-later
#include "ThumbnailSource.h"

#include "PreviewWorker.h"
#include "ThumbnailLoader.h"

std::shared_ptr<ThumbnailSource> ThumbnailSource::systemDefault()
{
    static const auto loader = std::make_shared<ThumbnailLoader>();
    // A row that will ask for a thumbnail is being made: the process that makes it starts now.
    PreviewWorker::prestart();
    return loader;
}
