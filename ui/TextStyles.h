// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QColor>
#include <QFont>
#include <QPalette>

// Mirel's text styles and semantic colours, derived from the desktop's own font and palette so
// the panel and the settings window follow the user's theme (light or dark) and font size. The
// fixed colours read on light and dark themes alike.
namespace TextStyles {

QFont headline();
QFont subheadline();
QFont caption();
QFont caption2();

// Text that matters less: the window text colour, faded.
QColor secondary(const QPalette &palette);
QColor accent(const QPalette &palette);
QColor red();
QColor green();
QColor blue();
QColor orange();

} // namespace TextStyles
