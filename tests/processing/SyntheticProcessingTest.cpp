// Synthetic surveys with known truth, read and processed the way a user's files are: every
// processed cell against the water velocity the generator put there. The generator shares no
// code with the core, so the two check each other's geometry.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <sstream>
#include <string>
#include <tuple>

#include "TestEnvironment.h"
#include "processing/VelocityProcessing.h"
#include "project/DeviceOffsets.h"
#include "project/LineReprocessing.h"
#include "project/SettingsOptions.h"
#include "readers/CRDIReader.h"
#include "settings/Settings.h"
#include "synth/SurveyDescription.h"
#include "synth/SyntheticSurvey.h"

namespace fluvex {
namespace {

// mm/s per component: the file's 1 mm/s rounding, amplified up to 1.5 times by the beam
// geometry, and the rounding of the cell and of the bottom track taken off it. A heading off by
// 0.2° would already add 3 mm/s to the root mean square.
constexpr double kToleranceMmS = 8.0;
constexpr double kRootMeanSquareMmS = 3.0;
// A 3° turn of a relative velocity near 1 m/s moves it by about 50 mm/s.
constexpr double kMisalignedAtLeastMmS = 25.0;

// A crossing with every attitude angle swinging at its own period, a sheared flow at an angle to
// the track, and a bed shallow enough near the banks to leave cells below it.
std::string Description(const std::string& frame, int beamAngle, double mountingYawDeg) {
    std::ostringstream text;
    text << "[Section]\nDepth = 5\n[Water]\nProfile = powerlaw\nSpeed = 0.9\nDirection = 30\n"
         << "[Track]\nEnsembles = 80\nInterval = 0.5\nStartStation = 8\nSpeed = 0.6\n"
         << "[Attitude]\nHeading = 95\nHeadingAmplitude = 40\nHeadingPeriod = 17\n"
         << "Pitch = 1.5\nPitchAmplitude = 6\nPitchPeriod = 4.3\n"
         << "RollAmplitude = 8\nRollPeriod = 3.1\n"
         << "[Instrument]\nFrame = " << frame << "\nBeamAngle = "
         << beamAngle
         // Both head shapes: the sign of the beam geometry is part of what is proved.
         << "\nConvex = " << (beamAngle == 25 ? 0 : 1) << "\nCells = 24\nCellSize = 0.2\n"
         << "MountingYaw = " << mountingYawDeg << "\n";
    return text.str();
}

// How the processed line compares with the truth, in mm/s.
struct Comparison {
    int comparedCells = 0;
    int badMismatches = 0;  // bad in one and good in the other
    double largestError = 0.0;
    double largestBottomTrackError = 0.0;
    double sumOfSquares = 0.0;  // over the three components of every compared cell

    double RootMeanSquare() const { return std::sqrt(sumOfSquares / (3.0 * comparedCells)); }
};

double LargestComponentError(const CellVelocity& processed, const synth::Vec3& expected) {
    return std::max({std::abs(processed.east - expected.x), std::abs(processed.north - expected.y),
                     std::abs(processed.up - expected.z)});
}

class SyntheticProcessing : public test::TemporaryHostFolders {
protected:
    // Generates the line, writes its PD0 bytes and opens them.
    void OpenSurvey(const std::string& description) {
        line_ = synth::GenerateLine(synth::ParseSurveyDescription(description), 0);
        ASSERT_EQ(reader_.Open(test::WriteLineFile(Root() / (line_.stem + ".PD0"), line_)),
                  OpenStatus::Ok);
        ASSERT_EQ(reader_.Ensembles().size(), line_.truth.size());
    }

    // Water over ground, or (reference none) relative to the moving instrument.
    Comparison Reprocess(const Matrix3& alignment) {
        reader_.SetAlignmentMatrix(alignment);
        ReprocessEnsembles(reader_, CurrentProcessingOptions());
        const bool overGround = AppSettings().VelReference() == kReferenceBottomTrack;
        Comparison c;
        const auto ensembles = reader_.Ensembles();
        for (std::size_t k = 0; k < ensembles.size(); ++k) {
            const synth::EnsembleTruth& truth = line_.truth[k];
            const synth::Vec3 boat = 1000.0 * truth.boatVelocity;
            c.largestBottomTrackError =
                std::max(c.largestBottomTrackError,
                         LargestComponentError(ensembles[k].bottomTrackVelocity, -1.0 * boat));
            for (std::size_t cell = 0; cell < ensembles[k].cells.size(); ++cell) {
                const bool expectedBad = static_cast<int>(cell) >= truth.goodCells;
                const CellVelocity& processed = ensembles[k].cells[cell];
                if (processed.IsBad() != expectedBad) ++c.badMismatches;
                if (processed.IsBad() || expectedBad) continue;
                const synth::Vec3 expected =
                    1000.0 * *truth.water[cell] - (overGround ? synth::Vec3{} : boat);
                const synth::Vec3 difference{processed.east - expected.x,
                                             processed.north - expected.y,
                                             processed.up - expected.z};
                ++c.comparedCells;
                c.sumOfSquares += synth::Dot(difference, difference);
                c.largestError =
                    std::max(c.largestError, LargestComponentError(processed, expected));
            }
        }
        return c;
    }

    synth::SyntheticLine line_;
    CRDIReader reader_;
};

using FrameAngleReference = std::tuple<const char*, int, int>;

class SyntheticProcessingCases : public SyntheticProcessing,
                                 public ::testing::WithParamInterface<FrameAngleReference> {};

TEST_P(SyntheticProcessingCases, EveryCellMatchesTheTruth) {
    const auto [frame, beamAngle, reference] = GetParam();
    AppSettings().SetVelReference(reference);
    OpenSurvey(Description(frame, beamAngle, 0.0));
    const Comparison c = Reprocess(kIdentity3);
    EXPECT_GT(c.comparedCells, 600) << "the survey must hold plenty of good cells";
    EXPECT_EQ(c.badMismatches, 0) << "cells below the bed are bad in the file and the truth alike";
    EXPECT_LE(c.largestError, kToleranceMmS);
    EXPECT_LE(c.RootMeanSquare(), kRootMeanSquareMmS);
    EXPECT_LE(c.largestBottomTrackError, kToleranceMmS) << "bottom track over ground";
}

INSTANTIATE_TEST_SUITE_P(Synthetic, SyntheticProcessingCases,
                         ::testing::Combine(::testing::Values("beam", "instrument", "earth"),
                                            ::testing::Values(20, 25, 30),
                                            ::testing::Values(kReferenceBottomTrack,
                                                              kReferenceNone)));

class SyntheticMisalignedHead : public SyntheticProcessing,
                                public ::testing::WithParamInterface<const char*> {};

TEST_P(SyntheticMisalignedHead, TheConfiguredHeadingOffsetBringsItBack) {
    AppSettings().SetVelReference(kReferenceBottomTrack);
    OpenSurvey(Description(GetParam(), 20, 3.0));

    EXPECT_GT(Reprocess(kIdentity3).largestError, kMisalignedAtLeastMmS)
        << "the misalignment must show before it is corrected";

    WriteText(Root() / "navq32.ini",
              "[System]\r\nDevices=2\r\n[Device0]\r\nLibrary=GpsNmea.dll\r\nOffset=0,0,0,9,9,9\r\n"
              "[Device1]\r\nLibrary=SonTek_M9.dll\r\nOffset=0,0,0,3,0,0\r\n");
    const Comparison corrected = Reprocess(ReadDeviceOffsets(Root() / "navq32.ini").mounting);
    EXPECT_EQ(corrected.badMismatches, 0);
    EXPECT_LE(corrected.largestError, kToleranceMmS);
    EXPECT_LE(corrected.RootMeanSquare(), kRootMeanSquareMmS);
    EXPECT_LE(corrected.largestBottomTrackError, kToleranceMmS);
}

INSTANTIATE_TEST_SUITE_P(Synthetic, SyntheticMisalignedHead,
                         ::testing::Values("beam", "instrument", "earth"));

}  // namespace
}  // namespace fluvex
