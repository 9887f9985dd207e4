#pragma once

#include <nlohmann/json.hpp>

#include <string>

#include "synth/SuiteLineFiles.h"
#include "synth/SurveyDescription.h"
#include "synth/SyntheticSurvey.h"

namespace fluvex::synth {

// The truth of one line as written beside its PD0 file (docs/formats.md, "Synthetic survey
// description"): the conventions, the setup, the discharge of the crossing and every ensemble.
nlohmann::json TruthJson(const SurveyDescription& description, const SyntheticLine& line);

// Where suite output put a line's files, relative to OUTPUT_DIR with '/' separators.
struct SuitePaths {
    std::string log;
    std::string lineFile;
    std::string rawFile;
};

// The truth of a line written as the suite leaves it: the above with the PD0 file named from
// the truth's folder, the files and planned line, and per ensemble what a perfect merge of the
// navigation gives.
nlohmann::json SuiteTruthJson(const SurveyDescription& description, const SyntheticLine& line,
                              const SuitePaths& paths, const SuiteLine& suiteLine);

}  // namespace fluvex::synth
