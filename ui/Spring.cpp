// SPDX-License-Identifier: GPL-3.0-or-later
#include "Spring.h"

#include <cmath>
#include <numbers>

namespace {

// (1 + wt) e^(-wt) falls below 0.001 at wt = 9.2334.
constexpr qreal settleOmegaT = 9.2334;

qreal travelled(qreal omegaT)
{
    return 1.0 - (1.0 + omegaT) * std::exp(-omegaT);
}

qreal springCurve(qreal progress)
{
    return travelled(progress * settleOmegaT) / travelled(settleOmegaT);
}

} // namespace

QEasingCurve Spring::easingCurve()
{
    QEasingCurve curve;
    curve.setCustomType(&springCurve);
    return curve;
}

int Spring::durationMs(qreal responseSeconds)
{
    const qreal omega = 2.0 * std::numbers::pi / responseSeconds;
    return int(std::lround(settleOmegaT / omega * 1000.0));
}
