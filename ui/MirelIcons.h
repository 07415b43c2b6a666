// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QColor>
#include <QIcon>
#include <QPixmap>
#include <QSize>
#include <QString>
#include <QStringList>

// Mirel's own icon set, bundled so the look does not depend on the user's icon theme.
// Symbols are single-colour shapes on a 24x24 grid ("doc.fill", "trash", "gear", ...), drawn in
// whatever colour the caller or the palette asks for. The artwork "MenuBarIcon" (monochrome, tinted
// like a symbol) and "CelebrationImage" (full colour, never tinted) is looked up the same way.
// Icons and pixmaps are made on the GUI thread (QPixmap and its cache live there).
namespace MirelIcons {

// Every symbol name the icon set provides.
const QStringList &symbolNames();

// True for a symbol name or one of the two artwork names.
bool contains(const QString &name);

// Resource path of the SVG behind `name` (":/icons/gear.svg"); empty for an unknown name.
QString resourcePath(const QString &name);

// An icon that follows the application palette when painted: the window text colour, the disabled
// text colour for QIcon::Disabled and the highlighted text colour for QIcon::Selected. Unknown
// names give the generic document symbol rather than an empty space.
QIcon icon(const QString &name);

// The same with a fixed colour (the disabled mode fades it).
QIcon icon(const QString &name, const QColor &color);

// The symbol drawn in `color` into a square pixmap of `size` device-independent pixels at
// `devicePixelRatio`. CelebrationImage keeps its own colours; `color` is ignored for it.
QPixmap pixmap(const QString &name, int size, const QColor &color, qreal devicePixelRatio = 1.0);

// The same into any rectangle size; the artwork keeps its proportions and is centred.
QPixmap pixmap(const QString &name, const QSize &size, const QColor &color,
               qreal devicePixelRatio = 1.0);

} // namespace MirelIcons
