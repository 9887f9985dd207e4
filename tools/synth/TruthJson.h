#pragma once

#include <nlohmann/json.hpp>

#include "synth/SurveyDescription.h"
#include "synth/SyntheticSurvey.h"

namespace fluvex::synth {

// The truth of one line as written beside its PD0 file (docs/formats.md, "Synthetic survey
// description"): the conventions, the setup, the discharge of the crossing and every ensemble.
nlohmann::json TruthJson(const SurveyDescription& description, const SyntheticLine& line);

}  // namespace fluvex::synth
