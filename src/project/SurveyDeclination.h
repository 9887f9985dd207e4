#pragma once
// The magnetic declination of the loaded survey: the magnetic model's value at the first
// positioned ping's place and date, and the warning a navigation-referenced survey needs when
// the declination setting is far from it.

#include <optional>
#include <string>
#include <string_view>

#include "processing/MagneticModel.h"

namespace fluvex {

class Database;

// At the first ping, in line order, with a valid position the collection's geodesy converts.
DeclinationCalculation CalculateSurveyDeclination(Database& database, const MagneticModel* model);

// Compass headings are magnetic and navigation velocities true, so under the navigation
// reference a declination setting far from the survey's own turns the water against the boat
// (bottom-track-referenced discharge turns both alike and is spared). The text that says so
// when `velocityReference` is the navigation's and the model's declination differs from `magDec`
// by more than 2 degrees, ending in `remedy` (where to set it); nothing otherwise, or when the
// model cannot tell.
std::optional<std::string> DeclinationWarning(Database& database, const MagneticModel* model,
                                              int velocityReference, double magDec,
                                              std::string_view remedy);

}  // namespace fluvex
