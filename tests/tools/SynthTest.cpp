#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <functional>
#include <numbers>
#include <string>

#include "synth/SurveyDescription.h"
#include "synth/SynthError.h"
#include "synth/SyntheticSurvey.h"

namespace fluvex::synth {
namespace {

// The generator is the truth of the processing tests; its beam geometry is checked there, through
// pitched and rolled crossings. Here: its analytic discharge and how it refuses bad input.
std::string Message(const std::function<void()>& action) {
    try {
        action();
    } catch (const SynthError& error) {
        return error.what();
    }
    return "(no error)";
}

// A rectangular channel 60 m wide and 3 m deep crossed from wall to wall in 120 s at the given
// course (the section runs east); the water runs north at 0.7 m/s depth-averaged.
SyntheticLine WallToWall(const std::string& profile, double courseDeg) {
    char speed[32];
    std::snprintf(speed, sizeof speed, "%.17g",
                  0.5 / std::cos((courseDeg - 90.0) * std::numbers::pi / 180.0));
    return GenerateSurvey(ParseSurveyDescription(
                              "[Section]\nProfile = rectangular\nWidth = 60\nDepth = 3\n"
                              "[Water]\nSpeed = 0.7\nProfile = " +
                              profile + "\n[Track]\nEnsembles = 121\nStartStation = 0\nCourse = " +
                              std::to_string(courseDeg) + "\nSpeed = " + speed +
                              "\n[Instrument]\nCells = 15\n"))
        .front();
}

TEST(SynthDischarge, RectangularChannelWhateverTheProfileAndParabolicCrossingMatchTheirArea) {
    const LineTruth uniform = WallToWall("uniform", 90.0).line;
    for (double course : {90.0, 60.0, 125.0}) {
        const LineTruth t = WallToWall("uniform", course).line;
        EXPECT_NEAR(t.Total(), 60.0 * 3.0 * 0.7, 1e-6) << "course " << course;
        EXPECT_NEAR(t.trackExact, 60.0 * 3.0 * 0.7, 1e-6);
        // The top layer reaches the top edge of the first cell: 0.2 + 0.5 - 0.125 m.
        EXPECT_NEAR(t.discharge.top, 60.0 * 0.575 * 0.7, 1e-6);
    }
    // A power law keeps the total and weighs the surface.
    const LineTruth power = WallToWall("powerlaw", 90.0).line;
    EXPECT_NEAR(power.Total(), uniform.Total(), 1e-6);
    EXPECT_GT(power.discharge.top, uniform.discharge.top);
    EXPECT_LT(power.discharge.bottom, uniform.discharge.bottom);

    // A parabolic crossing of 60 m, 3 m deep, from station 5 to 55 and back.
    const auto d = ParseSurveyDescription(
        "[Survey]\nLines = 2\n[Section]\nWidth = 60\nDepth = 3\n[Water]\nSpeed = 0.8\n"
        "[Track]\nEnsembles = 201\nStartStation = 5\nSpeed = 0.25\n");
    const auto lines = GenerateSurvey(d);
    // Depth 4·3·s(60 − s)/60²; its integral from 5 to 55.
    const auto primitive = [](double s) {
        return 12.0 / 3600.0 * (30.0 * s * s - s * s * s / 3.0);
    };
    const double flux = 0.8 * (primitive(55.0) - primitive(5.0));
    for (const SyntheticLine& line : lines) {
        EXPECT_NEAR(line.line.trackExact, flux, 1e-9);
        EXPECT_NEAR(line.line.discharge.Total(), flux, 0.005 * flux) << "ensemble time steps";
    }
    EXPECT_NEAR(lines[1].truth.front().station, 55.0, 1e-9) << "the way back starts where we are";
}

// Parsing refuses a bad description; generating, a track that leaves the water or never crosses.
TEST(SynthDescription, RefusesBadInputNamingTheLineAndKey) {
    const std::pair<std::string, std::string> cases[] = {
        {"[Track]\nSpeeed = 1\n", "line 2: unknown key [Track] Speeed"},
        {"[Instrument]\n\nBeamAngle = 22\n", "line 3: [Instrument] BeamAngle must be 20, 25 or 30"},
        {"[Water]\nSpeed = fast\n", "'fast' is not a number"},
        {"[Section]\nProfile = points\nPoints = 0:1, 10:2, 8:1\n", "stations must increase"},
        {"[Track]\nSpeed = 1\nspeed = 2\n", "line 3: [Track] speed is given twice"},
        {"[Track]\nStartStation = 0.2\n", "line 1, ensemble 1"},
        {"[Track]\nCourse = 0\n", "never crosses"},
    };
    for (const auto& [ini, expected] : cases) {
        const std::string message =
            Message([&text = ini] { GenerateSurvey(ParseSurveyDescription(text)); });
        EXPECT_NE(message.find(expected), std::string::npos) << ini << " gave: " << message;
    }
}

}  // namespace
}  // namespace fluvex::synth
