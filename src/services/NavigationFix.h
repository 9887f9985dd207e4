#pragma once

namespace fluvex {

// One fix of the survey suite's navigation, as the line files deliver it to the merge: depths
// already reduced to one value each.
struct NavigationFix {
    double timeOfDay = 0.0;  // seconds since midnight
    double x = 0.0;          // grid easting, project units
    double y = 0.0;          // grid northing
    double depth1 = 0.0;     // echo sounder, high frequency, below the surface
    double depth2 = 0.0;     // echo sounder, low frequency
    double heading = 0.0;    // degrees
    double pitch = 0.0;      // degrees
    double roll = 0.0;       // degrees
    double vertical = 0.0;   // the fourth sensor: vertical velocity of the boat

    bool operator==(const NavigationFix&) const = default;
};

}  // namespace fluvex
