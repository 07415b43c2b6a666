// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QEasingCurve>

// A critically damped spring (damping fraction 1) as an easing curve. Its shape is the same
// for every response; only the duration changes: the spring is within 0.1 % of rest after
// about 1.47 times its response, where the animation ends.
namespace Spring {

QEasingCurve easingCurve();
int durationMs(qreal responseSeconds);

} // namespace Spring
