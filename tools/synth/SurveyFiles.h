#pragma once

#include <filesystem>
#include <vector>

#include "synth/SurveyDescription.h"

namespace fluvex::synth {

// Generates the survey and writes, in the folder (created when missing), <stem>.PD0 and
// <stem>.truth.json for every line and <Name>.lines.txt naming the PD0 files in survey order.
// Returns the files written; throws SynthError when the survey cannot be made or a file cannot
// be written.
std::vector<std::filesystem::path> WriteSurvey(const SurveyDescription& description,
                                               const std::filesystem::path& folder);

}  // namespace fluvex::synth
