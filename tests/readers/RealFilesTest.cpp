// Every PD0 file from a real instrument in tests/data/pd0 against what an independent decoder
// reads from it (the .json beside it): frames, leaders, bottom track, the profiles the reference
// holds, and navigation. Exact: the reader copies recorded bytes and does the same arithmetic.

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "readers/CRDIReader.h"
#include "services/Geodesy.h"
#include "settings/Settings.h"

namespace fluvex {
namespace {

namespace fs = std::filesystem;
using nlohmann::json;

fs::path DataFolder() {
    return fs::path(FLUVEX_TEST_DATA) / "pd0";
}

// Every file with a reference beside it.
std::vector<std::string> FilesWithReference() {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(DataFolder())) {
        const std::string name = entry.path().filename().string();
        if (entry.path().extension() != ".json" && fs::exists(DataFolder() / (name + ".json")))
            names.push_back(name);
    }
    std::ranges::sort(names);
    return names;
}

const json& Reference(const std::string& name) {
    static std::map<std::string, json> parsed;
    auto [it, added] = parsed.try_emplace(name);
    if (added) it->second = json::parse(std::ifstream(DataFolder() / (name + ".json")));
    return it->second;
}

// The instrument clock as the reference writes it, month 1-12.
std::string RtcText(const VariableLeader& clock) {
    char text[32];
    std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d.%02d", 2000 + clock.RtcYear(),
                  clock.RtcMonth() + 1, clock.RtcDay(), clock.RtcHour(), clock.RtcMinute(),
                  clock.RtcSecond(), clock.RtcHundredths());
    return text;
}

json CellValues(const Ensemble& e, bool velocity) {
    json rows = json::array();
    for (int c = 0; c < e.cellBlocks.CellCount(); ++c) {
        json row = json::array();
        for (int b = 0; b < kBeamCount; ++b)
            row.push_back(velocity ? e.cellBlocks.Velocity(c, b)
                                   : e.cellBlocks.EchoIntensity(c, b));
        rows.push_back(row);
    }
    return rows;
}

// What the reader decoded, in the reference's layout (navigation is compared on its own).
json Decoded(const Ensemble& e) {
    const FixedLeader& fixed = e.fixedLeader;
    const VariableLeader& variable = e.variableLeader;
    json decoded = {{"number", variable.EnsembleNumber()},
                    {"rtc", RtcText(variable)},
                    {"time_tag_ms", fixed.TimeTagMs()},
                    {"sysconfig", fixed.SystemConfiguration()},
                    {"coord", fixed.CoordinateTransform()},
                    {"cells", fixed.CellCount()},
                    {"cell_cm", fixed.DepthCellLengthCm()},
                    {"blank_cm", fixed.BlankAfterTransmitCm()},
                    {"bin1_cm", fixed.Bin1DistanceCm()},
                    {"xmit_cm", fixed.TransmitPulseLengthCm()},
                    {"transducer_depth_dm", variable.TransducerDepthDm()},
                    {"heading", variable.Heading() / 100.0},
                    {"pitch", variable.Pitch() / 100.0},
                    {"roll", variable.Roll() / 100.0},
                    {"temperature", variable.Temperature() / 100.0},
                    {"salinity", variable.Salinity()},
                    {"bt_range_cm", nullptr},
                    {"bt_vel_mm_s", nullptr},
                    {"vertical_beam_range_mm", nullptr},
                    {"vel", CellValues(e, true)},
                    {"intensity", CellValues(e, false)}};
    if (e.Has(PresentBit::BottomTrack)) {
        decoded["bt_range_cm"] = json::array();
        decoded["bt_vel_mm_s"] = json::array();
        for (int b = 0; b < kBeamCount; ++b) {
            decoded["bt_range_cm"].push_back(e.bottomTrack.RangeCm(b));
            decoded["bt_vel_mm_s"].push_back(e.bottomTrack.Velocity(b));
        }
    }
    const auto vertical = e.verticalBeam.Bytes();
    if (std::ranges::any_of(vertical, [](std::uint8_t b) { return b != 0; }))
        decoded["vertical_beam_range_mm"] = e.verticalBeam.RangeMm();
    return decoded;
}

// Ordered by time tag: in these files it is one constant (a board serial number), so the stable
// sort keeps file order, the order of the reference.
class RealPd0File : public ::testing::TestWithParam<std::string> {};

TEST_P(RealPd0File, FramesValuesAndNavigationMatchTheReference) {
    const json& reference = Reference(GetParam());
    AppSettings().SetTime_Type(0);
    const auto geodesy = Geodesy::Create("auto", 1.0).geodesy;
    CRDIReader reader(geodesy.get());
    ASSERT_EQ(reader.Open(DataFolder() / GetParam()), OpenStatus::Ok);
    const auto& index = reader.Index();
    const auto ensembles = reader.Ensembles();
    ASSERT_EQ(ensembles.size(), reference.at("ensemble_count"));
    ASSERT_EQ(index.size(), ensembles.size());

    std::map<ReadProblem, std::uint64_t> count;
    std::uint64_t skipped = 0;
    for (const ReadWarning& w : reader.Warnings()) {
        ++count[w.problem];
        skipped += w.problem == ReadProblem::SkippedBytes ? w.length : 0;
    }
    EXPECT_EQ(count[ReadProblem::WavesRecord], reference.at("records_7f79"));
    EXPECT_EQ(skipped, reference.at("skipped_bytes"));
    EXPECT_EQ(count[ReadProblem::TruncatedEnsemble], reference.at("tail").is_null() ? 0 : 1);
    EXPECT_EQ(count.size(), count.count(ReadProblem::WavesRecord) +
                                count.count(ReadProblem::SkippedBytes) +
                                count.count(ReadProblem::TruncatedEnsemble));

    std::map<std::string, int> mismatches;
    for (std::size_t i = 0; i < ensembles.size(); ++i) {
        const json& expected = reference["ensembles"][i];
        ASSERT_EQ(index[i].fileOffset, expected.at("file_offset")) << "ensemble " << i;
        ASSERT_EQ(index[i].length, expected.at("byte_count").get<std::uint64_t>() + 2);
        const json decoded = Decoded(ensembles[i]);
        for (const auto& [key, value] : decoded.items()) {
            // Some references hold the profiles of selected ensembles only.
            const bool profile = key == "vel" || key == "intensity";
            if (profile && (!expected.contains(key) || expected[key].is_null())) continue;
            if (value == expected[key] || ++mismatches[key] > 3) continue;
            ADD_FAILURE() << "ensemble " << i << " " << key << ": decoded "
                          << value.dump().substr(0, 200) << ", reference "
                          << expected[key].dump().substr(0, 200);
        }

        const NavRecord& navigation = ensembles[i].navigation;
        const json& nav = expected.at("nav");
        const bool fixed = !nav.is_null() && !nav.at("lat").is_null();
        ASSERT_EQ(navigation.positionValid, fixed) << "ensemble " << i;
        ASSERT_EQ(ensembles[i].Has(PresentBit::EmbeddedPosition), fixed);
        if (fixed) {
            const GridPoint grid = geodesy->ToGrid(nav["lat"], nav["lon"]);
            ASSERT_EQ(navigation.x, grid.x) << "ensemble " << i;
            ASSERT_EQ(navigation.y, grid.y);
        }
        const auto orZero = [&nav](const char* key) {
            return nav.is_null() || nav.at(key).is_null() ? 0.0 : nav[key].get<double>();
        };
        ASSERT_EQ(navigation.course, orZero("course")) << "ensemble " << i;
        ASSERT_EQ(navigation.speed, orZero("speed_mm_s"));
    }
}

// Test names allow letters, digits and underscores only.
std::string TestName(const ::testing::TestParamInfo<std::string>& file) {
    std::string name = file.param;
    std::ranges::replace_if(
        name, [](char c) { return std::isalnum(static_cast<unsigned char>(c)) == 0; }, '_');
    return name;
}

INSTANTIATE_TEST_SUITE_P(Pd0, RealPd0File, ::testing::ValuesIn(FilesWithReference()), TestName);

}  // namespace
}  // namespace fluvex
