#pragma once

#include <array>
#include <cstddef>
#include <optional>

namespace fluvex {

// A 3 x 3 rotation, row-major: m[row][column].
using Matrix3 = std::array<std::array<double, 3>, 3>;

inline constexpr Matrix3 kIdentity3{{{1, 0, 0}, {0, 1, 0}, {0, 0, 1}}};

constexpr Matrix3 Multiply(const Matrix3& a, const Matrix3& b) {
    Matrix3 product{};
    for (std::size_t row = 0; row < 3; ++row)
        for (std::size_t column = 0; column < 3; ++column)
            for (std::size_t k = 0; k < 3; ++k)
                product[row][column] += a[row][k] * b[k][column];
    return product;
}

// The instrument-to-earth rotation of a heading, pitch and roll in radians (heading clockwise
// from north, x starboard, y forward, z up).
Matrix3 HeadingPitchRollMatrix(double heading, double pitch, double roll);

// The instrument-to-earth matrix of the other instrument family's pings, from their heading, pitch
// and roll in radians as recorded. Not a pure rotation: its tilt terms carry that family's
// factor of one half.
Matrix3 SonTekAttitudeMatrix(double heading, double pitch, double roll);

// The inverse of `m`; nothing when it is singular (or holds a value that is not a number).
std::optional<Matrix3> Inverse(const Matrix3& m);

// m times the column vector v.
std::array<double, 3> Apply(const Matrix3& m, const std::array<double, 3>& v);

}  // namespace fluvex
