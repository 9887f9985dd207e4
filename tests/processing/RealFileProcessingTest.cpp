// Processing of files from real instruments, checked against what does not depend on our own
// arithmetic: an independent decoder's beam transformation, the speed a rotation must keep, and
// the boat's GPS track, which the bottom track turned to earth axes must follow.

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <numbers>
#include <span>
#include <string>
#include <tuple>
#include <vector>

#include "TestEnvironment.h"
#include "model/EnsembleQuantities.h"
#include "model/Units.h"
#include "processing/MagneticModel.h"
#include "processing/VelocityProcessing.h"
#include "project/LineReprocessing.h"
#include "project/SettingsOptions.h"
#include "readers/CRDIReader.h"
#include "settings/Settings.h"

namespace fluvex {
namespace {

namespace fs = std::filesystem;
using nlohmann::json;

const fs::path kData = FLUVEX_TEST_DATA;

json ReadJson(const fs::path& path) {
    return json::parse(std::ifstream(path));
}

// The difference of two directions within (-180, 180].
double DirectionDifference(double a, double b) {
    const double d = std::fmod(a - b, 360.0);
    return d > 180 ? d - 360 : (d <= -180 ? d + 360 : d);
}

class RealFileProcessing : public test::TemporaryHostFolders {
protected:
    // Ordered by time tag: in these files it is one constant, so the stable sort keeps file
    // order, the order of the references.
    void Open(const std::string& name) {
        AppSettings().SetTime_Type(0);
        ASSERT_EQ(reader_.Open(kData / "pd0" / name), OpenStatus::Ok);
    }

    CRDIReader reader_;
};

// The independent decoder's instrument x, y, z, error per cell (mm/s, not truncated); nulls where a
// beam was bad. A rotation keeps the speed, so the stored earth velocity's speed differs from the
// untruncated transformation's only by the rounding of its three components (at most sqrt(3)/2
// mm/s); and rounding, unlike truncation, leaves no bias: on average the stored vectors are not
// shorter. (The heading's sense is proven against the GPS track below.)
TEST_F(RealFileProcessing, BeamToInstrumentMatchesAnIndependentDecoderAndEarthKeepsTheSpeed) {
    Open("RDI_test01.000");  // beam coordinates, 20° convex head, no bottom track
    const json instrument = ReadJson(kData / "pd0" / "RDI_test01.beam2inst.json").at("values");
    AppSettings().SetVelReference(kReferenceNone);
    ReprocessEnsembles(reader_, CurrentProcessingOptions());
    int compared = 0;
    double largest = 0, largestSpeedChange = 0, signedChangeSum = 0;
    const auto ensembles = reader_.Ensembles();
    ASSERT_EQ(instrument.size(), ensembles.size());
    for (std::size_t k = 0; k < ensembles.size(); ++k) {
        ASSERT_EQ(instrument[k].size(), ensembles[k].cells.size());
        for (std::size_t cell = 0; cell < ensembles[k].cells.size(); ++cell) {
            const json& expected = instrument[k][cell];
            const bool bad = expected.is_null() || expected[0].is_null();
            std::array<double, 3> xyz{};
            const int c = static_cast<int>(cell);
            ASSERT_EQ(
                BeamToInstrument(ensembles[k], ensembles[k].cellBlocks.CellVelocities(c), xyz),
                !bad)
                << "ensemble " << k << " cell " << cell;
            const CellVelocity& earth = ensembles[k].cells[cell];
            ASSERT_EQ(earth.IsBad(), bad) << "ensemble " << k << " cell " << cell;
            if (bad) continue;
            ++compared;
            const double x = expected[0], y = expected[1], z = expected[2];
            largest = std::max(
                {largest, std::abs(xyz[0] - x), std::abs(xyz[1] - y), std::abs(xyz[2] - z)});
            const double change =
                std::hypot(earth.east, earth.north, earth.up) - std::hypot(x, y, z);
            largestSpeedChange = std::max(largestSpeedChange, std::abs(change));
            signedChangeSum += change;
        }
    }
    EXPECT_GT(compared, 500);
    EXPECT_LT(largest, 0.001);
    RecordProperty("mean_speed_change_mm_s", std::to_string(signedChangeSum / compared));
    EXPECT_LE(largestSpeedChange, 2.0);
    EXPECT_NEAR(signedChangeSum / compared, 0.0, 0.3);
}

// Per beam of each ping, the depth below the transducer of the cell centre with the strongest echo
// beneath 60 % of the beam's range, over that range; sorted. Beams whose cells stop short of the
// bed are left out.
std::vector<double> BedEchoOverRange(std::span<const Ensemble> ensembles) {
    std::vector<double> ratios;
    for (const Ensemble& ping : ensembles) {
        if (!HasBottomTrack(ping) || !ping.Has(PresentBit::EchoIntensity)) continue;
        const int bin1 = ping.fixedLeader.Bin1DistanceCm();
        const int cellCm = ping.fixedLeader.DepthCellLengthCm();
        const int cells = ping.cellBlocks.CellCount();
        const auto centre = [&](int cell) { return bin1 + cell * cellCm; };
        for (int beam = 0; beam < kBeamCount; ++beam) {
            const double range = BottomTrackVerticalRangeCm(ping, beam);
            if (range <= 0 || cells == 0 || centre(cells - 1) < range * 1.2) continue;
            int strongest = -1, loudest = -1;
            for (int cell = 0; cell < cells; ++cell) {
                const int echo = ping.cellBlocks.EchoIntensity(cell, beam);
                if (centre(cell) >= 0.6 * range && echo > loudest)
                    std::tie(strongest, loudest) = std::pair(cell, echo);
            }
            if (strongest >= 0) ratios.push_back(centre(strongest) / range);
        }
    }
    std::sort(ratios.begin(), ratios.end());
    return ratios;
}

// The echo from the bed peaks where each beam's range puts it: the ranges are vertical depths
// below the transducer (a slant range would put the peak at cos(beam angle), 0.94 at 20°).
TEST_F(RealFileProcessing, BottomTrackRangesAreVerticalDepthsOfTheBedEcho) {
    for (const char* name : {"winriver02_transect.PD0", "RDI_withBT.000"}) {
        Open(name);
        const std::vector<double> ratios = BedEchoOverRange(reader_.Ensembles());
        ASSERT_GT(ratios.size(), 1000u) << name;
        const double median = ratios[ratios.size() / 2];
        EXPECT_GE(median, 0.97) << name;
        EXPECT_LE(median, 1.01) << name;
    }
}

// Over stretches of 10 pings where the GPS positions moved clearly, the direction of the boat's
// velocity over the bottom (the bottom-track reference negated) less the direction the positions
// moved, degrees, sorted.
std::vector<double> TrackDirectionErrors(std::span<const Ensemble> ensembles, const json& pings) {
    constexpr std::size_t kStretch = 10;
    constexpr double kLeastMoveM = 1.5;  // GGA positions scatter by a few decimetres
    constexpr double kMetresPerDegree = 111'320.0;
    const double latitude = pings[0]["nav"]["lat"];
    const double eastPerDegree = kMetresPerDegree * std::cos(latitude * std::numbers::pi / 180);
    const auto positioned = [&](std::size_t k) {
        const json& nav = pings[k]["nav"];
        return !nav.is_null() && !nav["lat"].is_null();
    };
    std::vector<double> errors;
    for (std::size_t start = 0; start + kStretch < ensembles.size(); start += kStretch) {
        if (!positioned(start) || !positioned(start + kStretch)) continue;
        const json& from = pings[start]["nav"];
        const json& to = pings[start + kStretch]["nav"];
        const double east = (to["lon"].get<double>() - from["lon"].get<double>()) * eastPerDegree;
        const double north =
            (to["lat"].get<double>() - from["lat"].get<double>()) * kMetresPerDegree;
        if (std::hypot(east, north) < kLeastMoveM) continue;
        double boatEast = 0, boatNorth = 0;
        bool tracked = true;
        for (std::size_t k = start + 1; k <= start + kStretch && tracked; ++k) {
            const CellVelocity& ground = ensembles[k].referenceVelocity;
            tracked = !ground.IsBad();
            boatEast -= ground.east;
            boatNorth -= ground.north;
        }
        if (tracked)
            errors.push_back(DirectionDifference(DirectionBetween(0, 0, boatEast, boatNorth),
                                                 DirectionBetween(0, 0, east, north)));
    }
    std::ranges::sort(errors);
    return errors;
}

// A wrong heading rotation (sense, axes or declination) turns every stretch by tens of degrees.
TEST_F(RealFileProcessing, BottomTrackTurnedToEarthFollowsTheGpsTrack) {
    Open("winriver02_transect.PD0");  // ship axes, bottom track, GGA, magnetic compass
    const json reference = ReadJson(kData / "pd0" / "winriver02_transect.PD0.json");
    const json& pings = reference.at("ensembles");
    ASSERT_EQ(pings.size(), reader_.Ensembles().size());
    AppSettings().SetVelReference(kReferenceBottomTrack);

    // The compass reads magnetic north, about 19° east of true north there and then.
    ReprocessEnsembles(reader_, CurrentProcessingOptions());
    const std::vector<double> magnetic = TrackDirectionErrors(reader_.Ensembles(), pings);
    ASSERT_GE(magnetic.size(), 12U) << "stretches where the boat moved with bottom track";
    EXPECT_LT(magnetic[magnetic.size() / 2], -15.0);

    // The model's declination at the survey's place and date turns it to true north, the GPS's.
    const auto model = LoadMagneticModel(kData / "wmm" / "WMM2020.COF");
    ASSERT_TRUE(model.model) << model.error;
    using namespace std::chrono;
    const std::int64_t surveyed = sys_days{2010y / September / 23}.time_since_epoch() / 1ms;
    AppSettings().SetMagDec(Declination(model.model.get(), surveyed, pings[0]["nav"]["lat"],
                                        pings[0]["nav"]["lon"], 0.0));
    ReprocessEnsembles(reader_, CurrentProcessingOptions());
    const std::vector<double> errors = TrackDirectionErrors(reader_.Ensembles(), pings);
    ASSERT_EQ(errors.size(), magnetic.size());
    // The median within a few degrees: the model is extrapolated ten years back, and the GPS
    // antenna and the head move a little apart as the boat turns.
    EXPECT_LE(std::abs(errors[errors.size() / 2]), 3.0);
    const auto within10 = std::ranges::count_if(errors, [](double d) { return std::abs(d) <= 10; });
    EXPECT_GE(static_cast<double>(within10), 0.8 * static_cast<double>(errors.size()));
}

}  // namespace
}  // namespace fluvex
