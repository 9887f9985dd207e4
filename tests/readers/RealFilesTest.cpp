// Every PD0 file from a real instrument in tests/data/pd0 against what an independent decoder
// reads from it (the .json beside it): frames, leaders, bottom track, every velocity and
// intensity, and navigation. Exact: the reader copies recorded bytes and does the same arithmetic.

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
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

    long velocitySum = 0;
    long badVelocities = 0;
    long intensitySum = 0;
    for (int c = 0; c < e.cellBlocks.CellCount(); ++c) {
        for (int b = 0; b < kBeamCount; ++b) {
            const std::int16_t velocity = e.cellBlocks.Velocity(c, b);
            if (velocity == kBadVelocity)
                ++badVelocities;
            else
                velocitySum += velocity;
            intensitySum += e.cellBlocks.EchoIntensity(c, b);
        }
    }
    decoded["vel_sum"] = velocitySum;
    decoded["vel_bad"] = badVelocities;
    decoded["intensity_sum"] = intensitySum;
    return decoded;
}

class RealPd0File : public ::testing::TestWithParam<std::string> {
protected:
    void SetUp() override {
        // Ordered by time tag: in these files it is one constant (a board serial number), so the
        // stable sort keeps file order, the order of the reference.
        AppSettings().SetTime_Type(0);
        auto created = Geodesy::Create("auto", 1.0);
        ASSERT_TRUE(created.geodesy) << created.error;
        geodesy = std::move(created.geodesy);
        reader = std::make_unique<CRDIReader>(geodesy.get());
        ASSERT_EQ(reader->Open(DataFolder() / GetParam()), OpenStatus::Ok);
        ASSERT_EQ(reader->Count(), reference.at("ensemble_count"));
        ASSERT_EQ(reference.at("ensembles").size(), reader->Ensembles().size());
    }

    std::size_t WarningsOf(ReadProblem problem, std::uint64_t* bytes = nullptr) const {
        std::size_t count = 0;
        for (const ReadWarning& w : reader->Warnings()) {
            if (w.problem != problem) continue;
            ++count;
            if (bytes != nullptr) *bytes += w.length;
        }
        return count;
    }

    const json& reference = Reference(GetParam());
    std::unique_ptr<Geodesy> geodesy;
    std::unique_ptr<CRDIReader> reader;
};

TEST_P(RealPd0File, FramesAndRefusalsMatch) {
    const auto& index = reader->Index();
    ASSERT_EQ(index.size(), reference.at("ensembles").size());
    std::size_t oversized = 0;
    for (std::size_t i = 0; i < index.size(); ++i) {
        const json& expected = reference["ensembles"][i];
        ASSERT_EQ(index[i].fileOffset, expected.at("file_offset")) << "ensemble " << i;
        ASSERT_EQ(index[i].length, expected.at("byte_count").get<std::uint64_t>() + 2);
        if (index[i].length - 2 > kMaxUncheckedByteCount) ++oversized;
    }
    EXPECT_EQ(oversized, reference.at("ensembles_over_4095_bytes"));
    EXPECT_EQ(WarningsOf(ReadProblem::WavesRecord), reference.at("records_7f79"));
    std::uint64_t skipped = 0;
    WarningsOf(ReadProblem::SkippedBytes, &skipped);
    EXPECT_EQ(skipped, reference.at("skipped_bytes"));
    EXPECT_EQ(WarningsOf(ReadProblem::TruncatedEnsemble), reference.at("tail").is_null() ? 0 : 1);
    EXPECT_EQ(WarningsOf(ReadProblem::Undecodable) + WarningsOf(ReadProblem::InvalidClock) +
                  WarningsOf(ReadProblem::ReadFailed),
              0U);
}

TEST_P(RealPd0File, EveryRecordedValueMatches) {
    const auto ensembles = reader->Ensembles();
    std::map<std::string, int> mismatches;
    for (std::size_t i = 0; i < ensembles.size(); ++i) {
        const json& expected = reference["ensembles"][i];
        const json decoded = Decoded(ensembles[i]);
        for (const auto& [key, value] : decoded.items()) {
            // Some references hold the profiles of selected ensembles only.
            if (!expected.contains(key) || (expected[key].is_null() && value.is_array() &&
                                            (key == "vel" || key == "intensity")))
                continue;
            if (value == expected[key] || ++mismatches[key] > 3) continue;
            ADD_FAILURE() << GetParam() << " ensemble " << i << " " << key << ": decoded "
                          << value.dump().substr(0, 200) << ", reference "
                          << expected[key].dump().substr(0, 200);
        }
    }
}

TEST_P(RealPd0File, NavigationMatches) {
    const auto ensembles = reader->Ensembles();
    for (std::size_t i = 0; i < ensembles.size(); ++i) {
        SCOPED_TRACE("ensemble " + std::to_string(i));
        const NavRecord& navigation = ensembles[i].navigation;
        const json& expected = reference["ensembles"][i].at("nav");
        if (expected.is_null() || expected.at("lat").is_null()) {
            ASSERT_FALSE(navigation.positionValid);
            ASSERT_FALSE(ensembles[i].Has(PresentBit::EmbeddedPosition));
        } else {
            const GridPoint grid = geodesy->ToGrid(expected["lat"], expected["lon"]);
            ASSERT_TRUE(navigation.positionValid);
            ASSERT_TRUE(ensembles[i].Has(PresentBit::EmbeddedPosition));
            ASSERT_EQ(navigation.x, grid.x);
            ASSERT_EQ(navigation.y, grid.y);
        }
        const auto orZero = [&](const char* key) {
            return expected.is_null() || expected.at(key).is_null() ? 0.0
                                                                    : expected[key].get<double>();
        };
        ASSERT_EQ(navigation.course, orZero("course"));
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
