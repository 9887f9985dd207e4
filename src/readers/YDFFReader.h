#pragma once

#include "readers/CRDIReader.h"

namespace fluvex {

// The reader of the other instrument family's files (.ydff, .rivr, .riv). Their decoding is not
// available yet: every file is refused, so that a survey holding them loads its other lines and
// says which files were left out.
class YDFFReader final : public CRDIReader {
public:
    using CRDIReader::CRDIReader;

    OpenStatus Open(const std::filesystem::path& path) override;
};

}  // namespace fluvex
