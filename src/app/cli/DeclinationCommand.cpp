#include <charconv>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <memory>
#include <optional>
#include <ostream>

#include "app/cli/ArgumentList.h"
#include "app/cli/Commands.h"
#include "app/cli/OpenedSurvey.h"
#include "model/TextUtil.h"
#include "processing/MagneticModel.h"
#include "project/Database.h"
#include "project/SurveyDeclination.h"
#include "services/TextService.h"

namespace fluvex {

namespace {

// A time as "YYYY-MM-DD", "YYYY-MM-DDThh:mm", "YYYY-MM-DDThh:mm:ss[.fff]", with an optional
// trailing "Z"; always UTC. Milliseconds since 1970-01-01.
std::optional<int64_t> ParseUtcTime(std::string_view text) {
    if (text.ends_with('Z')) text.remove_suffix(1);
    auto field = [&](size_t at, size_t width) -> std::optional<int> {
        if (text.size() < at + width) return std::nullopt;
        int value = 0;
        const char* first = text.data() + at;
        auto [last, error] = std::from_chars(first, first + width, value);
        if (error != std::errc{} || last != first + width) return std::nullopt;
        return value;
    };
    const auto year = field(0, 4), month = field(5, 2), day = field(8, 2);
    if (!year || !month || !day || text[4] != '-' || text[7] != '-') return std::nullopt;
    const std::chrono::year_month_day date{std::chrono::year(*year),
                                           std::chrono::month(static_cast<unsigned>(*month)),
                                           std::chrono::day(static_cast<unsigned>(*day))};
    if (!date.ok()) return std::nullopt;
    double seconds = 0;
    if (text.size() > 10) {
        const auto hour = field(11, 2), minute = field(14, 2);
        if (text[10] != 'T' || text[13] != ':' || !hour || !minute || *hour > 23 || *minute > 59)
            return std::nullopt;
        double secondOfMinute = 0;
        if (text.size() > 16) {
            const auto parsed = text[16] == ':' ? ParseDouble(text.substr(17)) : std::nullopt;
            if (!parsed || *parsed < 0 || *parsed >= 61) return std::nullopt;
            secondOfMinute = *parsed;
        }
        seconds = *hour * 3600.0 + *minute * 60.0 + secondOfMinute;
    }
    const auto days = std::chrono::sys_days(date).time_since_epoch().count();
    return static_cast<int64_t>(days) * 86400000 + static_cast<int64_t>(seconds * 1000);
}

// Heights the model can be asked about: up to 850 km above the ellipsoid, as the model states,
// and down to the deepest sea floor, 11 km below it.
constexpr double kLowestHeightKm = -11.0;
constexpr double kHighestHeightKm = 850.0;

// The value is still printed (the user may want the extrapolation), but never silently.
void WarnOutsideModel(const MagneticModel& model, double decimalYear, double heightKm,
                      std::ostream& err) {
    if (!model.Covers(decimalYear))
        err << "fluvex-cli: warning: " << FormatFixed(decimalYear, 2) << " lies outside the years "
            << FormatFixed(model.Epoch(), 1) << " to "
            << FormatFixed(model.Epoch() + MagneticModel::kValidYears, 1) << " that "
            << model.Name() << " covers: the declination is extrapolated and may be far off\n";
    if (!(heightKm >= kLowestHeightKm && heightKm <= kHighestHeightKm))
        err << "fluvex-cli: warning: a height of " << FormatFixed(heightKm, 3)
            << " km lies outside " << FormatFixed(kLowestHeightKm, 0) << " to "
            << FormatFixed(kHighestHeightKm, 0) << " km, where the model holds\n";
}

// The model named by --cof, else the one in the settings folder; null with the reason told.
std::unique_ptr<MagneticModel> ModelFor(const std::optional<std::string>& coefficients,
                                        std::ostream& err) {
    std::string error;
    const std::filesystem::path file =
        coefficients ? std::filesystem::path(*coefficients) : EnsureMagneticModelFile(&error);
    MagneticModelLoad load = file.empty() ? MagneticModelLoad{} : LoadMagneticModel(file);
    if (!load.model) err << "fluvex-cli: " << (load.error.empty() ? error : load.error) << '\n';
    return std::move(load.model);
}

// At the survey's first positioned ping, as the desktop program's Calculate button gives it.
int SurveyDeclination(CommandContext& context, const std::string& file,
                      const MagneticModel& model) {
    const OpenedSurvey survey({file}, context.err);
    const DeclinationCalculation result = CalculateSurveyDeclination(AppDatabase(), &model);
    if (result.message != DeclinationMessage::None) {
        context.err << "fluvex-cli: " << file << ": "
                    << TextService::LoadText(static_cast<int>(result.message)) << '\n';
        return kExitFailure;
    }
    context.out << FormatFixed(result.degrees, 6) << '\n';
    return kExitOk;
}

}  // namespace

int RunDeclinationCommand(CommandContext& context) {
    ArgumentList& arguments = context.arguments;
    const auto at = arguments.TakeValue("--at");
    const auto latitude = arguments.TakeNumber("--lat");
    const auto longitude = arguments.TakeNumber("--lon");
    const auto timeText = arguments.TakeValue("--time");
    const double height = arguments.TakeNumber("--height").value_or(0);
    const auto coefficients = arguments.TakeValue("--cof");
    if (!arguments.TakePositional().empty()) arguments.Fail("declination takes no file names");
    if (!arguments.Failed() && at && (latitude || longitude || timeText))
        arguments.Fail("declination takes either --at FILE or --lat, --lon and --time");
    if (!arguments.Failed() && !at && (!latitude || !longitude || !timeText))
        arguments.Fail("declination needs --at FILE, or --lat, --lon and --time");
    const auto time = timeText ? ParseUtcTime(*timeText) : std::nullopt;
    if (!arguments.Failed() && !at && !time)
        arguments.Fail("--time needs an ISO 8601 date and time such as 2026-03-19T08:00:00Z");
    if (!arguments.Failed() && !at && (std::abs(*latitude) > 90 || std::abs(*longitude) > 180))
        arguments.Fail("--lat must lie within -90..90 and --lon within -180..180");
    if (arguments.Failed()) return kExitUsage;

    const std::unique_ptr<MagneticModel> model = ModelFor(coefficients, context.err);
    if (!model) return kExitFailure;
    if (at) return SurveyDeclination(context, *at, *model);
    const std::int64_t timeMs = time.value_or(0);  // checked above
    WarnOutsideModel(*model, CalendarDecimalYear(timeMs), height, context.err);
    const double degrees = Declination(model.get(), timeMs, *latitude, *longitude, height);
    context.out << FormatFixed(degrees, 6) << '\n';
    return kExitOk;
}

}  // namespace fluvex
