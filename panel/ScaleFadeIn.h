// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

class QPixmap;
class QWidget;

// Makes a widget appear by growing from its centre while fading in: a picture of it is
// drawn scaled over it until the animation ends, then the real widget shows through. The
// way out is the same in reverse: a picture of what left shrinks and fades over what came.
namespace ScaleFadeIn {

void play(QWidget *target, int durationMs);
// `picture` is drawn over `area` (what now shows there stays visible behind it).
void playOut(QWidget *area, const QPixmap &picture, int durationMs);

} // namespace ScaleFadeIn
