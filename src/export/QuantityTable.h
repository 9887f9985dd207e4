#pragma once

// The spreadsheet of a line as text: a heading line with the quoted heading of every chosen
// quantity (without its unit), then one line per ping with the values as the grid shows them,
// "-----" where a ping cannot give one. The desktop program's spreadsheet export and
// `fluvex-cli table` write it.

#include <filesystem>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "model/Ensemble.h"
#include "processing/VelocityProcessing.h"

namespace fluvex {

class Settings;

// The chosen columns of the settings' spreadsheet layout (at most 20), unknown kinds left out.
std::vector<int> SpreadsheetKinds(const Settings& settings);

std::string QuantityTableText(std::span<const Ensemble> ensembles, std::span<const int> kinds,
                              const ProcessingOptions& options, std::string_view lineEnd);
// Writes the table to `file` with CR LF line ends, replacing it whole; false with `error` set
// when it cannot be written.
bool SaveQuantityTable(const std::filesystem::path& file, std::span<const Ensemble> ensembles,
                       std::span<const int> kinds, const ProcessingOptions& options,
                       std::string* error = nullptr);

}  // namespace fluvex
