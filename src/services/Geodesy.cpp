#include "services/Geodesy.h"

#include <proj.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstddef>
#include <optional>
#include <string>
#include <utility>

#include "model/TextUtil.h"
#include "services/AtomicFile.h"
#include "services/IniFile.h"

namespace fluvex {
namespace {

struct ContextDeleter {
    void operator()(PJ_CONTEXT* context) const { proj_context_destroy(context); }
};
struct ObjectDeleter {
    void operator()(PJ* object) const { proj_destroy(object); }
};
using ContextPtr = std::unique_ptr<PJ_CONTEXT, ContextDeleter>;
using ObjectPtr = std::unique_ptr<PJ, ObjectDeleter>;

constexpr double kMaxLatitude = 90.0;
constexpr double kMaxLongitude = 180.0;
constexpr double kUtmZoneWidth = 6.0;  // degrees of longitude
constexpr int kUtmZoneCount = 60;
constexpr int kUtmNorthEpsgBase = 32600;  // "WGS 84 / UTM zone nN" is EPSG:32600 + n
constexpr int kUtmSouthEpsgBase = 32700;  // "WGS 84 / UTM zone nS" is EPSG:32700 + n

// The time of a coordinate that has none: time-dependent operations then use their own epoch.
constexpr double kNoTime = HUGE_VAL;

std::string_view Trimmed(std::string_view text) {
    constexpr std::string_view kSpace = " \t\r\n\f\v";
    const std::size_t first = text.find_first_not_of(kSpace);
    if (first == std::string_view::npos) return {};
    return text.substr(first, text.find_last_not_of(kSpace) - first + 1);
}

bool IsAuto(std::string_view text) {
    constexpr std::string_view kAuto = "auto";
    return std::ranges::equal(text, kAuto, [](char given, char expected) {
        return std::tolower(static_cast<unsigned char>(given)) == expected;
    });
}

bool IsValidGeographic(double latitude, double longitude) {
    return std::isfinite(latitude) && std::isfinite(longitude) &&
           std::abs(latitude) <= kMaxLatitude && std::abs(longitude) <= kMaxLongitude;
}

// Plain 6-degree zones without the Norway and Svalbard exceptions; longitude 180 falls in zone
// 60, and the equator counts as north.
std::string UtmCrsCode(double latitude, double longitude) {
    const int zoneFromWest =
        static_cast<int>(std::floor((longitude + kMaxLongitude) / kUtmZoneWidth)) + 1;
    const int zone = std::clamp(zoneFromWest, 1, kUtmZoneCount);
    const int base = latitude >= 0.0 ? kUtmNorthEpsgBase : kUtmSouthEpsgBase;
    return "EPSG:" + std::to_string(base + zone);
}

std::string Quoted(std::string_view text) {
    return "\"" + std::string(text) + "\"";
}

// A CRS built from a PROJ string is named "unknown"; the user's own text says more.
std::string DisplayName(const PJ* crs, std::string_view crsText) {
    const char* name = proj_get_name(crs);
    if (name == nullptr || std::string_view(name).empty() || std::string_view(name) == "unknown") {
        return std::string(crsText);
    }
    return name;
}

// Grid coordinates need a projected CRS; say plainly why any other kind is refused.
std::string ProjectedCrsProblem(const PJ* crs, std::string_view name) {
    switch (proj_get_type(crs)) {
        case PJ_TYPE_PROJECTED_CRS:
            return {};
        case PJ_TYPE_GEOGRAPHIC_CRS:
        case PJ_TYPE_GEOGRAPHIC_2D_CRS:
        case PJ_TYPE_GEOGRAPHIC_3D_CRS:
            return Quoted(name) +
                   " is a geographic CRS in degrees; the project's grid needs a projected CRS";
        default:
            return Quoted(name) + " is not a projected CRS; the project's grid needs one";
    }
}

}  // namespace

struct Geodesy::Impl {
    explicit Impl(double projectMetresPerUnit) : metresPerUnit(projectMetresPerUnit) {}
    Impl(const Impl&) = delete;
    Impl& operator=(const Impl&) = delete;

    // Each returns an error text, empty on success.
    std::string Initialise();
    std::string UseCrs(std::string_view crsText);

    // Declared before the context, which may still log while it is destroyed.
    std::string lastProjError;
    ContextPtr context;
    ObjectPtr wgs84;
    // Longitude, latitude in degrees -> easting, northing in the CRS's unit. Null while an
    // "auto" zone is not yet fixed.
    ObjectPtr toGrid;
    double metresPerUnit;
    double projectUnitsPerCrsUnit = 1.0;
    std::string crsName;
    // Where the CRS is meant to be used (degrees), when PROJ knows it.
    std::optional<AreaOfUse> area;
    std::optional<GeographicPoint> firstOutsideArea;

private:
    static void RecordProjMessage(void* impl, int level, const char* message);
    std::string WithProjError(std::string problem) const;
    ObjectPtr CreateObject(std::string_view definition);
    ObjectPtr HorizontalPart(ObjectPtr crs);
    ObjectPtr WithoutDatumShift(const PJ* crs);
    std::optional<double> MetresPerAxisUnit(const PJ* crs);
    ObjectPtr CreateToGrid(const PJ* crs);
};

// PROJ's messages would go to stderr; keep the last error for our own error texts instead.
void Geodesy::Impl::RecordProjMessage(void* impl, int level, const char* message) {
    if (level == PJ_LOG_ERROR && message != nullptr) {
        static_cast<Impl*>(impl)->lastProjError = message;
    }
}

std::string Geodesy::Impl::WithProjError(std::string problem) const {
    if (!lastProjError.empty()) problem += ": " + lastProjError;
    return problem;
}

std::string Geodesy::Impl::Initialise() {
    context.reset(proj_context_create());
    if (!context) return "Cannot create a PROJ context";
    proj_log_func(context.get(), this, &RecordProjMessage);
    wgs84.reset(proj_create(context.get(), "EPSG:4326"));
    if (!wgs84) return WithProjError("Cannot read WGS 84 from the PROJ database (proj.db)");
    return {};
}

std::string Geodesy::Impl::UseCrs(std::string_view crsText) {
    lastProjError.clear();
    ObjectPtr crs = CreateObject(crsText);
    if (!crs) {
        return WithProjError("Cannot read the coordinate reference system " + Quoted(crsText));
    }
    if (!proj_is_crs(crs.get())) return Quoted(crsText) + " is not a coordinate reference system";
    const ObjectPtr horizontal = HorizontalPart(std::move(crs));
    const ObjectPtr projected = horizontal ? WithoutDatumShift(horizontal.get()) : nullptr;
    if (!projected) return WithProjError("Cannot find the horizontal CRS of " + Quoted(crsText));
    const std::string name = DisplayName(projected.get(), crsText);
    if (std::string problem = ProjectedCrsProblem(projected.get(), name); !problem.empty()) {
        return problem;
    }
    const std::optional<double> metresPerCrsUnit = MetresPerAxisUnit(projected.get());
    if (!metresPerCrsUnit) return "The axes of " + Quoted(name) + " do not share one linear unit";
    ObjectPtr transform = CreateToGrid(horizontal.get());
    if (!transform) return WithProjError("Cannot convert from WGS 84 to " + Quoted(name));

    toGrid = std::move(transform);
    projectUnitsPerCrsUnit = *metresPerCrsUnit / metresPerUnit;
    crsName = name;
    AreaOfUse bounds;
    if (proj_get_area_of_use(context.get(), projected.get(), &bounds.west, &bounds.south,
                             &bounds.east, &bounds.north, nullptr) != 0 &&
        bounds.west > -1000.0)
        area = bounds;
    return {};
}

// With a degree to spare: a grid serves well a little past its official edge, and a line that
// crosses a zone border is no reason to warn.
bool AreaOfUse::Holds(double latitude, double longitude) const {
    constexpr double margin = 1.0;
    if (latitude < south - margin || latitude > north + margin) return false;
    // West beyond east: the area crosses the antimeridian.
    if (west > east) return longitude >= west - margin || longitude <= east + margin;
    // The margin may reach across 180 degrees.
    const auto inside = [&](double lon) { return lon >= west - margin && lon <= east + margin; };
    return inside(longitude) || inside(longitude - 360.0) || inside(longitude + 360.0);
}

ObjectPtr Geodesy::Impl::CreateObject(std::string_view definition) {
    const std::string text(definition);
    ObjectPtr object(proj_create(context.get(), text.c_str()));
    // A bare PROJ string describes an operation; "+type=crs" asks for the CRS it implies.
    const bool isBareProjString =
        object && !proj_is_crs(object.get()) && text.find("+proj=") != std::string::npos;
    if (isBareProjString) object.reset(proj_create(context.get(), (text + " +type=crs").c_str()));
    return object;
}

// The grid is horizontal: of a compound CRS (e.g. UTM + a height system) keep the first part.
ObjectPtr Geodesy::Impl::HorizontalPart(ObjectPtr crs) {
    if (proj_get_type(crs.get()) != PJ_TYPE_COMPOUND_CRS) return crs;
    return ObjectPtr(proj_crs_get_sub_crs(context.get(), crs.get(), 0));
}

// A PROJ string with +towgs84 or +nadgrids gives a bound CRS; its kind and axes are those of the
// CRS it wraps.
ObjectPtr Geodesy::Impl::WithoutDatumShift(const PJ* crs) {
    if (proj_get_type(crs) == PJ_TYPE_BOUND_CRS) {
        return ObjectPtr(proj_get_source_crs(context.get(), crs));
    }
    return ObjectPtr(proj_clone(context.get(), crs));
}

std::optional<double> Geodesy::Impl::MetresPerAxisUnit(const PJ* crs) {
    const ObjectPtr axes(proj_crs_get_coordinate_system(context.get(), crs));
    if (!axes || proj_cs_get_axis_count(context.get(), axes.get()) < 2) return std::nullopt;
    const auto axisFactor = [&](int index) -> std::optional<double> {
        double factor = 0.0;
        const bool read = proj_cs_get_axis_info(context.get(), axes.get(), index, nullptr, nullptr,
                                                nullptr, &factor, nullptr, nullptr, nullptr) != 0;
        return read && factor > 0.0 ? std::optional(factor) : std::nullopt;
    };
    const std::optional<double> first = axisFactor(0);
    // One unit gives the very same factor from the database, so exact comparison is right.
    return first && first == axisFactor(1) ? first : std::nullopt;
}

// Normalised so that the geographic side is longitude, latitude and the grid side is easting,
// northing, whatever axis order the CRS definitions declare.
ObjectPtr Geodesy::Impl::CreateToGrid(const PJ* crs) {
    const ObjectPtr transform(
        proj_create_crs_to_crs_from_pj(context.get(), wgs84.get(), crs, nullptr, nullptr));
    if (!transform) return nullptr;
    return ObjectPtr(proj_normalize_for_visualization(context.get(), transform.get()));
}

GeodesyCreation Geodesy::Create(std::string_view crsText, double metresPerUnit) {
    if (!std::isfinite(metresPerUnit) || metresPerUnit <= 0.0) {
        return {nullptr, "The project's distance unit must be a positive number of metres"};
    }
    const std::string_view text = Trimmed(crsText);
    if (text.empty()) return {nullptr, "No coordinate reference system given"};

    auto impl = std::make_unique<Impl>(metresPerUnit);
    std::string error = impl->Initialise();
    if (error.empty() && !IsAuto(text)) error = impl->UseCrs(text);
    if (!error.empty()) return {nullptr, std::move(error)};
    return {std::make_unique<Geodesy>(std::move(impl)), {}};
}

Geodesy::Geodesy(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}

Geodesy::~Geodesy() = default;

GridPoint Geodesy::ToGrid(double latitude, double longitude) {
    if (!IsValidGeographic(latitude, longitude)) return {};
    // The first position converted fixes an "auto" zone for the rest of this object's life.
    if (!impl_->toGrid && !impl_->UseCrs(UtmCrsCode(latitude, longitude)).empty()) return {};

    const PJ_COORD grid =
        proj_trans(impl_->toGrid.get(), PJ_FWD, proj_coord(longitude, latitude, 0.0, kNoTime));
    const double x = grid.xy.x * impl_->projectUnitsPerCrsUnit;
    const double y = grid.xy.y * impl_->projectUnitsPerCrsUnit;
    if (!std::isfinite(x) || !std::isfinite(y)) return {};
    if (!impl_->firstOutsideArea && impl_->area && !impl_->area->Holds(latitude, longitude))
        impl_->firstOutsideArea = GeographicPoint{latitude, longitude, true};
    return {x, y, true};
}

std::optional<GeographicPoint> Geodesy::TakePositionOutsideArea() {
    return std::exchange(impl_->firstOutsideArea, std::nullopt);
}

std::string Geodesy::UtmCrsOf(double latitude, double longitude) {
    return UtmCrsCode(latitude, longitude);
}

GeographicPoint Geodesy::ToGeographic(double x, double y) {
    if (!impl_->toGrid || !std::isfinite(x) || !std::isfinite(y)) return {};

    const double scale = impl_->projectUnitsPerCrsUnit;
    const PJ_COORD geographic =
        proj_trans(impl_->toGrid.get(), PJ_INV, proj_coord(x / scale, y / scale, 0.0, kNoTime));
    // The normalised operation gives degrees, longitude first; PROJ's failures are HUGE_VAL.
    const double latitude = geographic.lp.phi;
    const double longitude = geographic.lp.lam;
    if (!IsValidGeographic(latitude, longitude)) return {};
    return {latitude, longitude, true};
}

const std::string& Geodesy::CrsName() const {
    return impl_->crsName;
}

GeodesyCreation Geodesy::FromProjectFile(const std::filesystem::path& projectFile) {
    std::string text;
    if (!ReadWholeFile(projectFile, text))
        return {nullptr, "cannot read project file " + projectFile.string()};
    const IniFile project = IniFile::Parse(text);
    const double unit = ParseDouble(project.ReadText("Geodesy", "Unit", "")).value_or(0);
    GeodesyCreation created = Create(project.ReadText("Geodesy", "CRS", "auto"), unit);
    if (!created.geodesy)
        created.error = "project file " + projectFile.string() + ": " + created.error;
    return created;
}

}  // namespace fluvex
