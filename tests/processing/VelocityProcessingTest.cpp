#include "processing/VelocityProcessing.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <numbers>
#include <random>
#include <vector>

#include "TestEnvironment.h"
#include "project/SettingsOptions.h"
#include "settings/Settings.h"

namespace fluvex {
namespace {

constexpr uint8_t kEarthAxes = 0x18;
constexpr uint8_t kBeamAxes = 0x00;
constexpr uint16_t kBeamAngle20 = 1 << 8;

// A loaded ping of `cells` cells, 25 cm each, in the given axes, every cell recording `velocity`
// on its four beams (or axes) and an echo intensity of 100.
Ensemble MakePing(int cells, uint8_t axes, std::array<int16_t, 4> velocity) {
    Ensemble ping = test::MakePing({.cells = cells, .cellCm = 25, .bin1Cm = 50, .draftDm = 0});
    ping.cells.clear();
    ping.fixedLeader.SetCoordinateTransform(axes);
    ping.fixedLeader.SetSystemConfiguration(kBeamAngle20);
    for (int c = 0; c < cells; ++c)
        for (int b = 0; b < 4; ++b) {
            ping.cellBlocks.SetVelocity(c, b, velocity[static_cast<size_t>(b)]);
            ping.cellBlocks.SetEchoIntensity(c, b, 100);
        }
    ping.MarkPresent(PresentBit::EchoIntensity);
    return ping;
}

void AddBottomTrack(Ensemble& ping, std::array<int16_t, 4> velocity) {
    for (int b = 0; b < 4; ++b) {
        ping.bottomTrack.SetVelocity(b, velocity[static_cast<size_t>(b)]);
        ping.bottomTrack.SetRangeCm(b, 500);
    }
    ping.MarkPresent(PresentBit::BottomTrack);
}

class VelocityProcessingTest : public test::TemporaryHostFolders {};

TEST_F(VelocityProcessingTest, MissingReferenceOrUnusableAttitudeMakesEveryCellBad) {
    Ensemble ping = MakePing(4, kEarthAxes, {500, -200, 30, 0});
    ProcessEnsemble(ping, kIdentity3,
                    CurrentProcessingOptions());  // bottom-track reference, no bottom track
    ASSERT_EQ(ping.cells.size(), 4u);
    for (const CellVelocity& cell : ping.cells)
        EXPECT_EQ(cell, (CellVelocity{kBadVelocity, kBadVelocity, kBadVelocity, kBadVelocity}));

    AppSettings().SetVelReference(kReferenceEditedFile);
    AddBottomTrack(ping, {-1000, 400, 10, 7});
    ProcessEnsemble(ping, kIdentity3, CurrentProcessingOptions());  // no position
    EXPECT_TRUE(ping.cells[0].IsBad());
    // The boat-speed view still gets this ping's bottom track.
    EXPECT_EQ(ping.bottomTrackVelocity, (CellVelocity{-1000, 400, 10, 0}));
    EXPECT_EQ(ping.referenceVelocity.east, kBadVelocity);

    ping.loaded = false;
    ProcessEnsemble(ping, kIdentity3, CurrentProcessingOptions());
    EXPECT_TRUE(ping.cells.empty());

    // An unusable attitude makes every cell bad too.
    AppSettings().SetVelReference(kReferenceNone);
    AppSettings().SetUseEdtHead(true);
    Ensemble turned = MakePing(2, 0x08, {500, -200, 30, 0});  // instrument axes
    turned.navigation.positionValid = true;
    turned.navigation.heading = std::numeric_limits<double>::quiet_NaN();
    ProcessEnsemble(turned, kIdentity3, CurrentProcessingOptions());
    ASSERT_EQ(turned.cells.size(), 2u);
    EXPECT_TRUE(turned.cells[0].IsBad() && turned.cells[1].IsBad());
}

// Without a reference the velocities are relative to the instrument; the alignment turns earth
// axes too.
TEST_F(VelocityProcessingTest, NoReferenceKeepsTheInstrumentsVelocityEditedFileOpposesTheTrack) {
    AppSettings().SetVelReference(kReferenceNone);
    Ensemble ping = MakePing(1, kEarthAxes, {500, -200, 30, 0});
    ProcessEnsemble(ping, kIdentity3, CurrentProcessingOptions());
    EXPECT_EQ(ping.cells[0], (CellVelocity{500, -200, 30, 100}));
    EXPECT_EQ(ping.referenceVelocity, (CellVelocity{0, 0, 0, 0}));
    ProcessEnsemble(ping, HeadingPitchRollMatrix(std::numbers::pi / 2, 0, 0),
                    CurrentProcessingOptions());
    EXPECT_EQ(ping.cells[0], (CellVelocity{-200, -500, 30, 100}));

    // The edited file's reference opposes the boat's track.
    AppSettings().SetVelReference(kReferenceEditedFile);
    Ensemble still = MakePing(1, kEarthAxes, {0, 0, 0, 0});
    still.navigation.positionValid = true;
    still.navigation.course = 90;  // boat heading east at 1 m/s: the ground moves west
    still.navigation.speed = 1000;
    still.navigation.vertical = 12.9;
    Velocity4 reference{};
    ASSERT_TRUE(ReferenceVelocity(still, kIdentity3, reference, AppSettings().VelReference()));
    EXPECT_EQ(reference, (Velocity4{-1000, 0, 13, 0}));
}

TEST_F(VelocityProcessingTest, LowAmplitudeEndsTheProfile) {
    AppSettings().SetVelReference(kReferenceNone);
    AppSettings().SetSNRFilterVal(50);
    Ensemble ping = MakePing(4, kEarthAxes, {10, 20, 30, 0});
    const int amplitudes[] = {80, 50, 45, 90};  // the threshold itself passes
    for (int c = 0; c < 4; ++c)
        for (int b = 0; b < 4; ++b)
            ping.cellBlocks.SetEchoIntensity(c, b, static_cast<uint8_t>(amplitudes[c]));
    ProcessEnsemble(ping, kIdentity3, CurrentProcessingOptions());
    EXPECT_FALSE(ping.cells[1].IsBad());
    EXPECT_TRUE(ping.cells[2].IsBad());
    EXPECT_TRUE(ping.cells[3].IsBad());
    EXPECT_EQ(ping.cells[3].echoIntensity, 90);

    ping.present &= static_cast<uint8_t>(~PresentBit::EchoIntensity);  // no intensities: no filter
    ProcessEnsemble(ping, kIdentity3, CurrentProcessingOptions());
    EXPECT_FALSE(ping.cells[3].IsBad());
    EXPECT_EQ(ping.cells[3].echoIntensity, 0);
}

// Pings of odd and even lengths (cells go two at a time), bad beams, values at the ends of the
// range, exact halves of both signs and a reference with unusable components: every cell as the
// ping of that cell alone (turned one cell at a time) gives it.
TEST_F(VelocityProcessingTest, EveryCellAgreesWithThePingOfThatCellAlone) {
    AppSettings().SetVelReference(kReferenceEditedFile);
    const ProcessingOptions options = CurrentProcessingOptions();
    std::mt19937 random(22);
    const auto pick = [&random](int low, int high) {
        return std::uniform_int_distribution<int>(low, high)(random);
    };
    const std::array<int, 5> extremes{kBadVelocity, -32767, 32767, 1, -1};
    const Matrix3 halving{{{0.5, 0, 0}, {0, -0.5, 0}, {0, 0, 1}}};
    const Matrix3 turned = HeadingPitchRollMatrix(0.3, -0.1, 0.2);
    for (const uint8_t axes : {kBeamAxes, uint8_t{0x08}, kEarthAxes})
        for (const Matrix3* alignment : {&kIdentity3, &halving, &turned})
            for (int cells = 2; cells <= 7; ++cells) {
                const auto heading = static_cast<uint16_t>(pick(0, 35999));
                const auto pitch = static_cast<int16_t>(pick(-2000, 2000));
                const auto processed = [&](Ensemble ping) {
                    ping.variableLeader.SetHeading(heading);
                    ping.variableLeader.SetPitch(pitch);
                    // The ground's velocity: (0, -0, 0.5), or not a number across.
                    ping.navigation = {.positionValid = true, .vertical = 0.5};
                    if (cells % 2 == 1) ping.navigation.speed = std::nan("");
                    ProcessEnsemble(ping, *alignment, options);
                    return ping.cells;
                };
                Ensemble ping = MakePing(cells, axes, {});
                std::vector<Ensemble> alone;
                for (int c = 0; c < cells; ++c) {
                    std::array<int16_t, 4> beams{};
                    for (int b = 0; b < 4; ++b) {
                        const int kind = pick(0, 9);
                        beams[static_cast<size_t>(b)] = static_cast<int16_t>(
                            kind < 5 ? extremes[static_cast<size_t>(kind)] : pick(-3000, 3000));
                        ping.cellBlocks.SetVelocity(c, b, beams[static_cast<size_t>(b)]);
                    }
                    alone.push_back(MakePing(1, axes, beams));
                    ping.cellBlocks.SetEchoIntensity(c, 0, static_cast<uint8_t>(60 + c));
                    alone.back().cellBlocks.SetEchoIntensity(0, 0, static_cast<uint8_t>(60 + c));
                }
                const auto all = processed(ping);
                ASSERT_EQ(all.size(), static_cast<size_t>(cells));
                for (std::size_t c = 0; c < all.size(); ++c)
                    EXPECT_EQ(all[c], processed(alone[c])[0])
                        << "axes " << int{axes} << ", " << cells << " cells, cell " << c;
            }
}

// The same as std::round at the edges of every half; beyond the range held at the limit, never
// the bad value by accident.
TEST(RoundVelocity, AgreesWithTheLibraryRoundingAtEveryHalf) {
    std::vector<double> values{0.0, -0.0, 32766.5, -32766.5, 32767.49, -32767.49, 1e-300};
    for (const double half : {0.5, 1.5, 2.5, 1234.5, 32765.5}) {
        for (const double sign : {1.0, -1.0}) {
            values.push_back(sign * half);
            values.push_back(sign * std::nextafter(half, 0.0));
            values.push_back(sign * std::nextafter(half, 1e9));
        }
    }
    for (double v = -3000.0; v <= 3000.0; v += 0.123)
        values.push_back(v);
    for (const double value : values)
        EXPECT_EQ(RoundVelocity(value), static_cast<int16_t>(std::round(value))) << value;
    EXPECT_EQ(RoundVelocity(-40000), -32767);
    EXPECT_EQ(RoundVelocity(1e300), 32767);
    EXPECT_EQ(RoundVelocity(NAN), kBadVelocity);
}

}  // namespace
}  // namespace fluvex
