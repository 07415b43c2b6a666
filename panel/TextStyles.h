#pragma once

#include <QColor>
#include <QFont>
#include <QPalette>

// The panel's text styles and semantic colours, derived from the desktop's own font and
// palette so the panel follows the user's theme (light or dark) and font size.
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
QColor orange();

} // namespace TextStyles
