#include "services/Geodesy.h"

#include <gtest/gtest.h>

#include "TestEnvironment.h"

#include <limits>
#include <string>
#include <utility>

namespace fluvex {
namespace {

constexpr double kUsSurveyFoot = 0.3048006096;
// 30.5 N, 91.1 W in WGS 84 / UTM zone 15N, to the centimetre; the south zone mirrors it.
constexpr double kLatitude = 30.5;
constexpr double kLongitude = -91.1;
constexpr double kEasting = 682341.33;
constexpr double kNorthing = 3375726.33;
constexpr double kSouthNorthing = 10000000.0 - kNorthing;
constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr const char* kUtm15FeetProj = "+proj=utm +zone=15 +datum=WGS84 +units=us-ft +type=crs";
constexpr const char* kUtm15FeetWkt =
    R"(PROJCS["UTM 15N feet",GEOGCS["WGS 84",DATUM["WGS_1984",SPHEROID["WGS 84",6378137,)"
    R"(298.257223563]],PRIMEM["Greenwich",0],UNIT["degree",0.0174532925199433]],)"
    R"(PROJECTION["Transverse_Mercator"],PARAMETER["latitude_of_origin",0],)"
    R"(PARAMETER["central_meridian",-93],PARAMETER["scale_factor",0.9996],)"
    R"(PARAMETER["false_easting",1640416.66666667],PARAMETER["false_northing",0],)"
    R"(UNIT["US survey foot",0.304800609601219]])";

std::unique_ptr<Geodesy> Make(const std::string& crs, double metresPerUnit = 1.0) {
    GeodesyCreation created = Geodesy::Create(crs, metresPerUnit);
    EXPECT_TRUE(created.geodesy) << crs << ": " << created.error;
    return std::move(created.geodesy);
}

// The reference point lands to the centimetre in project units (the state plane grid is checked
// for the round trip only), and grid positions up to 75 km around it go to geographic and back
// within a micrometre; `south` mirrors the point about the equator.
TEST(Geodesy, ToGridMatchesReferenceAndRoundTrips) {
    const struct {
        const char* crs;
        double metresPerUnit;
        bool south, reference;
    } cases[] = {{"Auto", 1.0, true, true},
                 {" AUTO ", kUsSurveyFoot, true, true},
                 {"+proj=utm +zone=15 +datum=WGS84", 1.0, false, true},
                 {"EPSG:32615+5703", 1.0, false, true},  // compound, with height
                 {kUtm15FeetProj, kUsSurveyFoot, false, true},
                 {kUtm15FeetWkt, 1.0, false, true},
                 {"EPSG:3452", 1.0, false, false}};
    for (const auto& p : cases) {
        SCOPED_TRACE(p.crs);
        const auto geodesy = Make(p.crs, p.metresPerUnit);
        ASSERT_TRUE(geodesy);
        const GridPoint grid = geodesy->ToGrid(p.south ? -kLatitude : kLatitude, kLongitude);
        ASSERT_TRUE(grid.ok);
        const double centimetre = 0.01 / p.metresPerUnit;
        if (p.reference) {
            EXPECT_NEAR(grid.x, kEasting / p.metresPerUnit, centimetre);
            EXPECT_NEAR(grid.y, (p.south ? kSouthNorthing : kNorthing) / p.metresPerUnit,
                        centimetre);
        }
        for (const auto& [dx, dy] :
             {std::pair{0.0, 0.0}, {0.125, -0.5}, {-25000.0, 40000.0}, {60000.0, -75000.0}}) {
            const double x = grid.x + dx / p.metresPerUnit;
            const double y = grid.y + dy / p.metresPerUnit;
            const GeographicPoint geographic = geodesy->ToGeographic(x, y);
            ASSERT_TRUE(geographic.ok) << x << ", " << y;
            const GridPoint back = geodesy->ToGrid(geographic.latitude, geographic.longitude);
            ASSERT_TRUE(back.ok);
            EXPECT_NEAR(back.x, x, centimetre * 1e-4);  // a micrometre
            EXPECT_NEAR(back.y, y, centimetre * 1e-4);
        }
    }
}

TEST(GeodesyAxes, NorthingFirstCrsStillGivesEastingAsX) {
    const auto northFirst = Make("EPSG:32661");  // WGS 84 / UPS North (N,E)
    const auto eastFirst =
        Make("+proj=stere +lat_0=90 +lon_0=0 +k=0.994 +x_0=2000000 +y_0=2000000 +datum=WGS84");
    ASSERT_TRUE(northFirst && eastFirst);
    const GridPoint a = northFirst->ToGrid(85.0, 30.0);
    const GridPoint b = eastFirst->ToGrid(85.0, 30.0);
    ASSERT_TRUE(a.ok && b.ok);
    EXPECT_GT(a.x, 2000000.0);  // east of the zero meridian
    EXPECT_NEAR(a.x, b.x, 1e-6);
    EXPECT_NEAR(a.y, b.y, 1e-6);
}

TEST(Geodesy, RefusesWhatCannotServeAsTheProjectGridAndNonFiniteOrOutOfRangeValues) {
    const struct {
        const char* crs;
        double metresPerUnit;
        const char* errorMentions;
    } cases[] = {
        {"EPSG:999999", 1.0, "EPSG:999999"},
        {"+proj=nonsense +type=crs", 1.0, "nonsense"},
        {" \t", 1.0, "No coordinate reference system"},
        {"urn:ogc:def:ellipsoid:EPSG::7030", 1.0, "not a coordinate reference system"},
        {"EPSG:4326", 1.0, "geographic"},
        {"EPSG:4978", 1.0, "not a projected CRS"},  // geocentric
        {"auto", kNaN, "distance unit"},
    };
    for (const auto& c : cases) {
        const GeodesyCreation created = Geodesy::Create(c.crs, c.metresPerUnit);
        EXPECT_FALSE(created.geodesy) << c.crs;
        EXPECT_NE(created.error.find(c.errorMentions), std::string::npos)
            << c.crs << " gave: " << created.error;
    }

    // Non-finite and out-of-range values are refused.
    const auto geodesy = Make("EPSG:32615");
    ASSERT_TRUE(geodesy);
    for (const auto& [latitude, longitude] : {std::pair{kNaN, kLongitude},
                                              {kLatitude, kNaN},
                                              {kInf, kLongitude},
                                              {kLatitude, -kInf},
                                              {90.5, kLongitude},
                                              {kLatitude, -180.5}}) {
        EXPECT_FALSE(geodesy->ToGrid(latitude, longitude).ok) << latitude << ", " << longitude;
    }
    EXPECT_FALSE(geodesy->ToGeographic(kNaN, kNorthing).ok);
    EXPECT_FALSE(geodesy->ToGeographic(kEasting, kInf).ok);
    EXPECT_FALSE(geodesy->ToGeographic(1e12, 1e12).ok);  // PROJ gives HUGE_VAL
}

TEST(GeodesyAutoZone, FixedByTheFirstPositionConvertedAtTheZonesEdges) {
    const auto geodesy = Make("auto");
    const auto zone15South = Make("EPSG:32715");
    ASSERT_TRUE(geodesy && zone15South);
    EXPECT_FALSE(geodesy->ToGeographic(kEasting, kSouthNorthing).ok);
    EXPECT_EQ(geodesy->CrsName(), "");
    EXPECT_FALSE(geodesy->ToGrid(kNaN, kLongitude).ok);  // refused, so it fixes nothing
    ASSERT_TRUE(geodesy->ToGrid(-kLatitude, kLongitude).ok);
    EXPECT_EQ(geodesy->CrsName(), "WGS 84 / UTM zone 15S");
    EXPECT_TRUE(geodesy->ToGeographic(kEasting, kSouthNorthing).ok);
    // A later position in zone 16 stays on the zone 15 grid.
    EXPECT_NEAR(geodesy->ToGrid(-kLatitude, -86.9).x, zone15South->ToGrid(-kLatitude, -86.9).x,
                1e-9);
    EXPECT_EQ(geodesy->CrsName(), "WGS 84 / UTM zone 15S");

    // Zones and hemispheres at their edges.
    const struct {
        double latitude;
        double longitude;
        const char* zone;
    } cases[] = {{0.0, -177.0, "1N"},  {-0.001, 179.9, "60S"}, {10.0, 180.0, "60N"},
                 {10.0, -180.0, "1N"}, {52.0, 5.999, "31N"},   {52.0, 6.0, "32N"}};
    for (const auto& c : cases) {
        const auto fresh = Make("auto");
        ASSERT_TRUE(fresh);
        EXPECT_TRUE(fresh->ToGrid(c.latitude, c.longitude).ok);
        EXPECT_EQ(fresh->CrsName(), std::string("WGS 84 / UTM zone ") + c.zone)
            << c.latitude << ", " << c.longitude;
    }
}

// A survey in Alaska and one in Maine in one run: the Maine positions on the Alaska zone are told,
// once, with the zone that fits them. Inside the zone, and a degree past its edge, nothing is.
TEST(GeodesyAutoZone, PositionsOutsideTheGridsAreaOfUseAreTold) {
    const auto geodesy = Make("auto");
    ASSERT_TRUE(geodesy);
    ASSERT_TRUE(geodesy->ToGrid(61.2, -149.9).ok);  // Anchorage: zone 6N
    ASSERT_TRUE(geodesy->ToGrid(61.0, -143.5).ok);  // half a degree past the zone's edge
    EXPECT_EQ(geodesy->TakePositionOutsideArea(), std::nullopt);
    ASSERT_TRUE(geodesy->ToGrid(44.9, -68.7).ok);  // Bangor, Maine
    ASSERT_TRUE(geodesy->ToGrid(45.0, -68.6).ok);
    const auto outside = geodesy->TakePositionOutsideArea();
    ASSERT_TRUE(outside.has_value());
    EXPECT_DOUBLE_EQ(outside->latitude, 44.9);
    EXPECT_EQ(Geodesy::UtmCrsOf(outside->latitude, outside->longitude), "EPSG:32619");
    EXPECT_EQ(geodesy->TakePositionOutsideArea(), std::nullopt);  // told once

    // Areas across the antimeridian (zone 60 runs 174E to 180E; this one 170E to 170W).
    const AreaOfUse across{.west = 170.0, .south = -60.0, .east = -170.0, .north = -20.0};
    EXPECT_TRUE(across.Holds(-40.0, 179.0));
    EXPECT_TRUE(across.Holds(-40.0, -175.0));
    EXPECT_FALSE(across.Holds(-40.0, 150.0));
    EXPECT_FALSE(across.Holds(0.0, 179.0));
}

class GeodesyProjectFile : public test::TemporaryHostFolders {};

TEST_F(GeodesyProjectFile, ReadsCrsAndUnitAndNamesTheFileOnError) {
    WriteText(ProjectFile(), "[Geodesy]\r\nUnit=0.3048006096\r\nCRS=EPSG:32615\r\n");
    const GeodesyCreation created = Geodesy::FromProjectFile(ProjectFile());
    ASSERT_TRUE(created.geodesy) << created.error;
    EXPECT_NEAR(created.geodesy->ToGrid(kLatitude, kLongitude).x, kEasting / 0.3048006096,
                0.01 / 0.3048006096);  // a centimetre

    WriteText(ProjectFile(), "[Geodesy]\r\nUnit=1\r\nCRS=EPSG:999999\r\n");
    const GeodesyCreation bad = Geodesy::FromProjectFile(ProjectFile());
    EXPECT_FALSE(bad.geodesy);
    EXPECT_NE(bad.error.find(ProjectFile().string()), std::string::npos);
    EXPECT_FALSE(Geodesy::FromProjectFile(Root() / "none.ini").geodesy);
}

}  // namespace
}  // namespace fluvex
