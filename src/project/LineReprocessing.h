#pragma once

#include "processing/VelocityProcessing.h"

namespace fluvex {

class CRDIReader;

// Processes every ensemble of a reader's line again with the options and the reader's alignment
// matrix: after a processing option changed.
void ReprocessEnsembles(CRDIReader& reader, const ProcessingOptions& options);

}  // namespace fluvex
