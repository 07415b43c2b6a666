// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Work for the preview on screen starts before row thumbnails when the pool is busy.
inline constexpr int previewPriority = 1;
