#pragma once

// Label steps that read well on chart axes.

#include <cmath>

namespace fluvex {

// About a sixth of the span: 1, 2 or 5 times a power of ten, or for times of day (seconds) a
// whole number of seconds, minutes or hours a clock shows well.
inline double AxisLabelStep(double span, bool timeOfDay = false) {
    const double wanted = span / 6;
    if (timeOfDay) {
        for (const double step :
             {1, 2, 5, 10, 15, 30, 60, 120, 300, 600, 900, 1800, 3600, 7200, 10800, 21600, 43200})
            if (step >= wanted) return step;
        return 86400;
    }
    if (!(wanted > 0)) return 1;
    const double power = std::pow(10.0, std::floor(std::log10(wanted)));
    for (const double factor : {1.0, 2.0, 5.0})
        if (factor * power >= wanted) return factor * power;
    return 10 * power;
}

}  // namespace fluvex
