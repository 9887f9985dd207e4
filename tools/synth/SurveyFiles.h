#pragma once

#include <filesystem>
#include <vector>

#include "synth/SurveyDescription.h"

namespace fluvex::synth {

// Generates the survey and writes, in the folder (created when missing), <stem>.PD0 and
// <stem>.truth.json for every line and <Name>.lines.txt naming the PD0 files in survey order.
// With [Suite] LineFiles, the folder gets the survey as the acquisition suite leaves it instead:
// <Name>/raw/<stem>.000, <Name>/<LogFolder>/ with the line log and one line file per line, and
// <Name>/<stem>.truth.json. Returns the files written; throws SynthError when the survey cannot
// be made or a file cannot be written.
std::vector<std::filesystem::path> WriteSurvey(const SurveyDescription& description,
                                               const std::filesystem::path& folder);

}  // namespace fluvex::synth
