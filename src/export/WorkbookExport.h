#pragma once

// The ensemble tables of every loaded line in one .xlsx workbook, one sheet per line in line
// order: the CSV's table without the echo intensities, numbered from 1. The headings and times
// are text; every other value is a number whose number format shows it as the fixed text with
// its column's decimals.

#include <filesystem>
#include <span>
#include <string>
#include <string_view>

#include "model/QuantityOptions.h"

namespace fluvex {

class Database;

// A sheet name the workbook format accepts for a line named `wanted`: characters that are not
// allowed ([]:*?/\, control characters, broken UTF-8, an apostrophe at either end) become '_',
// the name is cut to 31 characters (as the format counts them, in UTF-16 units), an empty name
// becomes "Line", and a name already in `taken` (compared without regard to case) or reserved
// gets " (2)", " (3)" ... within the 31.
std::string SafeSheetName(std::string_view wanted, std::span<const std::string> taken);

// Writes the workbook to `file`, replacing it only when the whole workbook was written. False,
// with `error` (when given) holding the reason, when a line's sheet cannot be made or the file
// cannot be written.
bool ExportWorkbook(Database& database, const std::filesystem::path& file,
                    const QuantityOptions& quantities, std::string* error = nullptr);

}  // namespace fluvex
