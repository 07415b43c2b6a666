#pragma once

class QWidget;

// Makes a widget appear by growing from its centre while fading in: a picture of it is
// drawn scaled over it until the animation ends, then the real widget shows through.
namespace ScaleFadeIn {

void play(QWidget *target, int durationMs);

} // namespace ScaleFadeIn
