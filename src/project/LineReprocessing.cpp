#include "project/LineReprocessing.h"

#include "readers/CRDIReader.h"

namespace fluvex {

void ReprocessEnsembles(CRDIReader& reader, const ProcessingOptions& options) {
    for (Ensemble& ensemble : reader.EditableEnsembles())
        ProcessEnsemble(ensemble, reader.AlignmentMatrix(), options);
}

}  // namespace fluvex
