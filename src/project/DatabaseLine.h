#pragma once

// One slot of the line collection, shared by the collection and its loaders.

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>

#include "model/PlannedLine.h"
#include "project/Database.h"
#include "readers/CRDIReader.h"

namespace fluvex {

struct Database::Line {
    std::unique_ptr<CRDIReader> reader;
    std::filesystem::path path;  // the instrument file
    std::string name;            // its file name
    fluvex::PlannedLine planned;
    bool sonTek = false;  // read by the other instrument family's reader
    // The settings' processing count the pings were last processed at; nothing before the first.
    std::optional<std::uint64_t> processedAt;
};

// Distance along line of every ping: the projection of its position onto the straight line from
// the first to the last planned point. Nothing changes without two planned points or a position.
void MeasureDistanceAlongLine(CRDIReader& reader, const PlannedLine& planned);

}  // namespace fluvex
