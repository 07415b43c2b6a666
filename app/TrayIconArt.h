// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QIcon>

// The tray icon: Mirel's symbol in white with a soft dark edge, so it reads on light and on
// dark panels alike.
namespace TrayIconArt {

QIcon icon();

} // namespace TrayIconArt
