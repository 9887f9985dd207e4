#pragma once

#include <filesystem>

#include "synth/SurveyDescription.h"
#include "synth/SyntheticSurvey.h"

namespace fluvex::synth {

// Writes a line as the SonTek acquisition software exports a transect (MATLAB 5 MAT-file; the
// structs System, Setup, Summary, BottomTrack, WaterTrack, GPS, Compass and
// Transformation_Matrices, docs/formats.md), straight from the truth: water velocities over
// ground in east, north, up, the boat's velocity over ground as bottom track and track
// reference, depths below the surface in every beam. Throws SynthError when the file cannot be
// written.
void WriteMatlabExport(const SurveyDescription& description, const SyntheticLine& line,
                       const std::filesystem::path& file);

}  // namespace fluvex::synth
