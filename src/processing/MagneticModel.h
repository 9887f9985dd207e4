#pragma once

// The World Magnetic Model (NOAA/NGA): the declination that turns the ADCP's magnetic compass
// headings into true headings, computed from a coefficient file in NOAA's layout (WMM.COF).

#include <array>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "services/Geodesy.h"

namespace fluvex {

struct MagneticModelLoad;

// Gauss coefficients of the main field (nT) and their secular variation (nT/year) to degree 12
// for one epoch, valid for five years from it.
class MagneticModel {
public:
    static constexpr int kMaxDegree = 12;
    static constexpr double kValidYears = 5.0;
    // One slot for every degree n and order m <= n, at n(n+1)/2 + m (slot 0 is unused).
    static constexpr std::size_t kCoefficientCount = (kMaxDegree + 1) * (kMaxDegree + 2) / 2;

    // Coefficient file text: a header "epoch name [release date]" separated by blanks, then
    // one line "n m g h gDot hDot" for every degree 1..12 and order 0..n, ended by a line of
    // 9s or the end of the text. `source` names the file in errors.
    static MagneticModelLoad Parse(std::string_view text, std::string_view source);

    double Epoch() const { return epoch_; }
    const std::string& Name() const { return name_; }
    // True from the epoch up to (not including) five years later.
    bool Covers(double decimalYear) const;

    // Declination in degrees, east positive, at a WGS84 geodetic position and height above the
    // ellipsoid. Outside the five years the secular variation is extrapolated. NaN for
    // non-finite input or a latitude beyond +-90.
    double DeclinationAt(double decimalYear, double latitude, double longitude,
                         double heightKm) const;

private:
    struct Coefficient {
        double g = 0.0;
        double h = 0.0;
        double gDot = 0.0;
        double hDot = 0.0;
    };

    double epoch_ = 0.0;
    std::string name_;
    std::array<Coefficient, kCoefficientCount> coefficients_{};
};

struct MagneticModelLoad {
    std::unique_ptr<MagneticModel> model;  // null on failure
    std::string error;                     // names the file (and line); empty on success
};

// Reads a coefficient file. A file that is missing, unreadable or malformed gives no model; the
// reason also goes to the debug output, as the program carries on without a model.
MagneticModelLoad LoadMagneticModel(const std::filesystem::path& path);

// The model's declination at a decimal year (as MagneticModel::DeclinationAt).
double DeclinationAtDecimalYear(const MagneticModel& model, double decimalYear, double latitude,
                                double longitude, double heightKm);

// The calendar decimal year of a time in ms since 1970-01-01 00:00 UTC: the year of the date
// plus the time since 1 January over the length of that year (365 or 366 days). Times beyond
// the years 1..9999 are held at those bounds.
double CalendarDecimalYear(std::int64_t timeMs);

// The declination in degrees at a time in ms since 1970; 0 when there is no model.
double Declination(const MagneticModel* model, std::int64_t timeMs, double latitude,
                   double longitude, double heightKm);

// What the declination calculation tells the user instead of a value: text ids of the
// runtime-services text table. The message box's caption is kDeclinationMessageCaption.
enum class DeclinationMessage : int {
    None = 0,
    NoLineLoaded = 12538,
    ModelNotAvailable = 12539,
    NoPositionFound = 12540,
};
inline constexpr int kDeclinationMessageCaption = 1703;

// One ensemble of the loaded lines as the calculation sees it.
struct EnsemblePosition {
    std::int64_t timeMs = 0;  // date and time, ms since 1970-01-01 00:00
    double x = 0.0;           // grid position in the project's distance unit
    double y = 0.0;
    bool positionValid = false;
};

// Hands `visit` the ensembles that were read successfully, line by line and in order within each
// line, until `visit` returns false or the ensembles run out.
using EnsembleVisitor = std::function<bool(const EnsemblePosition&)>;
using EnsembleWalk = std::function<void(const EnsembleVisitor& visit)>;
// Grid to WGS84 latitude and longitude; not ok when the point cannot be converted
// (Geodesy::ToGeographic fits).
using GridToGeographic = std::function<GeographicPoint(double x, double y)>;

struct DeclinationCalculation {
    double degrees = 0.0;
    DeclinationMessage message = DeclinationMessage::None;  // None when `degrees` holds the value
};

// The declination at the position and time of the first ensemble, in line order, that has a
// valid position the geodesy converts to latitude and longitude (height 0). A time outside the
// model's five years still computes, and is reported to the debug output.
DeclinationCalculation CalculateDeclination(const MagneticModel* model, int loadedLineCount,
                                            const EnsembleWalk& walk,
                                            const GridToGeographic& toGeographic);

// The declination as the declination field shows it: five significant digits, at most three
// decimals, always written with three ("2.342", "-12.346", "123.460"), with a '.' point.
std::string FormatDeclination(double degrees);

inline constexpr std::string_view kMagneticModelFileName = "WMM.COF";

// <settings folder>/WMM.COF; when there is none, it is first written with the coefficients
// shipped in the program. An existing file is left as it is, so a user can put a newer model
// there. Empty path with `error` set when the file cannot be written.
std::filesystem::path EnsureMagneticModelFile(std::string* error = nullptr);

}  // namespace fluvex
