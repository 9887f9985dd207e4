#pragma once

#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace fluvex {

// A position on the project's grid: x = easting, y = northing, in the project's distance unit.
struct GridPoint {
    double x = 0.0;
    double y = 0.0;
    bool ok = false;
};

// A WGS84 position in degrees.
struct GeographicPoint {
    double latitude = 0.0;
    double longitude = 0.0;
    bool ok = false;
};

// Where a CRS is meant to be used, in degrees; west beyond east where it crosses 180.
struct AreaOfUse {
    double west = 0.0;
    double south = 0.0;
    double east = 0.0;
    double north = 0.0;
    bool Holds(double latitude, double longitude) const;
};

struct GeodesyCreation;

// Converts between WGS84 latitude/longitude and the project's grid. One object per thread: each
// owns its own PROJ context, and conversions are not safe to run concurrently on one object.
class Geodesy {
    struct Impl;

public:
    // crsText: an EPSG code ("EPSG:32615"), a PROJ string or WKT of a projected CRS, or "auto"
    // (any case) for the WGS84 UTM zone of the first position converted to grid, fixed from then
    // on. metresPerUnit: the project's distance unit (1 = metres, 0.3048006096 = US survey feet).
    // On failure the result holds no object and says why.
    static GeodesyCreation Create(std::string_view crsText, double metresPerUnit);
    // The geodesy of a project file: [Geodesy] CRS (default "auto") and Unit. The error names
    // the file.
    static GeodesyCreation FromProjectFile(const std::filesystem::path& projectFile);

    explicit Geodesy(std::unique_ptr<Impl> impl);  // for Create; Impl is private
    ~Geodesy();
    Geodesy(const Geodesy&) = delete;
    Geodesy& operator=(const Geodesy&) = delete;

    // Not ok for non-finite input, latitude beyond +-90 or longitude beyond +-180, or a point
    // PROJ cannot convert.
    GridPoint ToGrid(double latitude, double longitude);
    // Also not ok while an "auto" zone is not yet fixed by a first ToGrid.
    GeographicPoint ToGeographic(double x, double y);

    // The CRS in use, e.g. "WGS 84 / UTM zone 15N"; empty while an "auto" zone is not yet fixed.
    const std::string& CrsName() const;

    // The first position that ToGrid converted, since the last call, outside the CRS's area of
    // use as PROJ states it (a survey in Maine on the Alaska zone an "auto" CRS took from an
    // earlier file): its grid coordinates and distances are distorted. Forgotten once taken.
    std::optional<GeographicPoint> TakePositionOutsideArea();
    // The WGS 84 UTM zone of a position as an EPSG code, e.g. "EPSG:32619".
    static std::string UtmCrsOf(double latitude, double longitude);

private:
    std::unique_ptr<Impl> impl_;
};

struct GeodesyCreation {
    std::unique_ptr<Geodesy> geodesy;  // null on failure
    std::string error;                 // empty on success
};

}  // namespace fluvex
