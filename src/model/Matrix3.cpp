#include "model/Matrix3.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace fluvex {

Matrix3 HeadingPitchRollMatrix(double heading, double pitch, double roll) {
    const double ch = std::cos(heading), sh = std::sin(heading);
    const double cp = std::cos(pitch), sp = std::sin(pitch);
    const double cr = std::cos(roll), sr = std::sin(roll);
    return {{{ch * cr + sh * sp * sr, sh * cp, ch * sr - sh * sp * cr},
             {-sh * cr + ch * sp * sr, ch * cp, -sh * sr - ch * sp * cr},
             {-cp * sr, sp, cp * cr}}};
}

Matrix3 SonTekAttitudeMatrix(double heading, double pitch, double roll) {
    const double h = std::numbers::pi / 2 - heading;
    const double p = -pitch;
    const double ch = std::cos(h), sh = std::sin(h), cr = std::cos(roll), sr = std::sin(roll);
    // Roll and pitch both at 90 degrees leave no defined tilt direction: take it as level.
    const double spread = std::sqrt(1 - sr * sr * std::sin(p) * std::sin(p));
    const double p2 = spread > 0 ? std::asin(std::clamp(cr * std::sin(p) / spread, -1.0, 1.0)) : 0;
    const double c2 = std::cos(p2), s2 = std::sin(p2), k = 0.5;
    return {{{ch * c2 - k * s2 * sh * sr, -sh * cr, k * sr * sh * c2 + s2 * ch},
             {k * s2 * ch * sr + sh * c2, ch * cr, s2 * sh - k * ch * c2 * sr},
             {-s2 * cr, sr, cr * c2}}};
}

std::optional<Matrix3> Inverse(const Matrix3& m) {
    // Cofactors, transposed.
    Matrix3 inverse{};
    for (std::size_t row = 0; row < 3; ++row)
        for (std::size_t column = 0; column < 3; ++column) {
            const std::size_t r1 = (column + 1) % 3, r2 = (column + 2) % 3;
            const std::size_t c1 = (row + 1) % 3, c2 = (row + 2) % 3;
            inverse[row][column] = m[r1][c1] * m[r2][c2] - m[r1][c2] * m[r2][c1];
        }
    const double determinant =
        m[0][0] * inverse[0][0] + m[0][1] * inverse[1][0] + m[0][2] * inverse[2][0];
    if (!std::isfinite(determinant) || std::abs(determinant) < 1e-12) return std::nullopt;
    for (auto& row : inverse)
        for (double& value : row)
            value /= determinant;
    return inverse;
}

std::array<double, 3> Apply(const Matrix3& m, const std::array<double, 3>& v) {
    std::array<double, 3> result{};
    for (std::size_t row = 0; row < 3; ++row)
        result[row] = m[row][0] * v[0] + m[row][1] * v[1] + m[row][2] * v[2];
    return result;
}

}  // namespace fluvex
