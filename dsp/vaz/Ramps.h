#pragma once

#include <algorithm>
#include <cmath>

// The two movement rules used everywhere in the strip. Both land exactly on their
// targets, so later steps can test ramps for exact equality with 0 and 1.

namespace vaz {

// Linear ramp toward target by at most step per call.
inline void rampToward(double& value, double target, double step)
{
    value = value < target ? std::min(value + step, target) : std::max(value - step, target);
}

// One-pole smoother toward target with coefficient k; snaps when within 1e-9.
inline void smoothToward(double& value, double target, double k)
{
    if (std::abs(target - value) < 1e-9)
        value = target;
    else
        value += k * (target - value);
}

} // namespace vaz
