#include "project/SurveyDeclination.h"
#include "settings/Settings.h"

#include <chrono>
#include <cmath>
#include <cstdint>

#include "model/EnsembleQuantities.h"
#include "model/TextUtil.h"
#include "processing/VelocityProcessing.h"
#include "project/Database.h"
#include "services/Geodesy.h"

namespace fluvex {

namespace {

constexpr double kToleratedDifferenceDegrees = 2.0;

// Milliseconds since 1970 of a ping's date and time of day (the time tag stands in for the time
// of day when the suite's timing is used).
std::optional<std::int64_t> EnsembleTimeMs(const Ensemble& ensemble, int timingMode) {
    const auto date = EnsembleDate::Of(ensemble, timingMode);
    if (!date) return std::nullopt;
    using namespace std::chrono;
    const year_month_day calendarDay{year(date->year),
                                     month(static_cast<unsigned>(date->month + 1)),
                                     day(static_cast<unsigned>(date->day))};
    const auto midnight = sys_days(calendarDay).time_since_epoch();
    const double secondsOfDay = date->hour * 3600.0 + date->minute * 60.0 + date->seconds;
    const std::int64_t timeOfDayMs = date->timeTagMs ? static_cast<std::int64_t>(*date->timeTagMs)
                                                     : std::llround(secondsOfDay * 1000);
    return duration_cast<milliseconds>(midnight).count() + timeOfDayMs;
}

EnsembleWalk LoadedEnsembles(Database& database) {
    return [&database](const EnsembleVisitor& visit) {
        const int timingMode = AppSettings().Time_Type();
        for (int line = 0; line < database.LineCount(); ++line)
            for (const Ensemble& ensemble : database.Ensembles(line)) {
                const auto timeMs = EnsembleTimeMs(ensemble, timingMode);
                if (!timeMs) continue;  // not read successfully
                const NavRecord& nav = ensemble.navigation;
                if (!visit({*timeMs, nav.x, nav.y, nav.positionValid})) return;
            }
    };
}

std::string Degrees(double degrees) {
    return FormatFixed(degrees, 2) + "°";
}

}  // namespace

DeclinationCalculation CalculateSurveyDeclination(Database& database, const MagneticModel* model) {
    return CalculateDeclination(
        model, database.LineCount(), LoadedEnsembles(database), [&database](double x, double y) {
            Geodesy* geodesy = database.GetGeodesy();
            return geodesy != nullptr ? geodesy->ToGeographic(x, y) : GeographicPoint{};
        });
}

std::optional<std::string> DeclinationWarning(Database& database, const MagneticModel* model,
                                              int velocityReference, double magDec,
                                              std::string_view remedy) {
    if (velocityReference != kReferenceEditedFile) return std::nullopt;
    const DeclinationCalculation survey = CalculateSurveyDeclination(database, model);
    if (survey.message != DeclinationMessage::None ||
        !(std::abs(survey.degrees - magDec) > kToleratedDifferenceDegrees))
        return std::nullopt;
    return "The velocity reference is the navigation, whose velocities are true, but the "
           "magnetic declination (MagDec) is " +
           Degrees(magDec) + " while the magnetic model gives " + Degrees(survey.degrees) +
           " at the survey's first position: " + std::string(remedy);
}

}  // namespace fluvex
