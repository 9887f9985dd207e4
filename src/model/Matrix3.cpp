#include "model/Matrix3.h"

#include <cmath>

namespace fluvex {

Matrix3 HeadingPitchRollMatrix(double heading, double pitch, double roll) {
    const double ch = std::cos(heading), sh = std::sin(heading);
    const double cp = std::cos(pitch), sp = std::sin(pitch);
    const double cr = std::cos(roll), sr = std::sin(roll);
    return {{{ch * cr + sh * sp * sr, sh * cp, ch * sr - sh * sp * cr},
             {-sh * cr + ch * sp * sr, ch * cp, -sh * sr - ch * sp * cr},
             {-cp * sr, sp, cp * cr}}};
}

}  // namespace fluvex
