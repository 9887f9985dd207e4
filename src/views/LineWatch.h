#pragma once

// What a window showing one line's computed values redraws for: another line, another unit,
// a processing change (every processing option bumps the settings' generation) or pings added
// to or removed from the line.

#include <cstdint>

#include "model/Units.h"
#include "project/Database.h"
#include "settings/Settings.h"

namespace fluvex {

struct LineWatch {
    int line = -1;
    int velocityUnits = 0;
    int distanceUnit = 0;
    std::uint64_t generation = 0;
    int ensembles = 0;

    bool operator==(const LineWatch&) const = default;

    static LineWatch Now() {
        const Settings& settings = AppSettings();
        return {settings.CurrentLine, settings.VelocityUnits, Units().DistanceUnit(),
                settings.Generation(), AppDatabase().EnsembleCount(settings.CurrentLine)};
    }
};

}  // namespace fluvex
