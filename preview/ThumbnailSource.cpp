// SPDX-License-Identifier: GPL-3.0-or-later
#include "ThumbnailSource.h"

#include "ThumbnailLoader.h"

std::shared_ptr<ThumbnailSource> ThumbnailSource::systemDefault()
{
    static const auto loader = std::make_shared<ThumbnailLoader>();
    return loader;
}
