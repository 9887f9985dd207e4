#pragma once

// Where fluvex-cli gets the RTF report's pictures: the desktop program's profile painter, which
// needs Qt's drawing library. A build without it (the sanitizer build) writes no reports.

#include <memory>
#include <string>

#include "export/RtfReport.h"

namespace fluvex {

// Pictures of the loaded lines as the settings show them; nothing, with `why`, when this build
// cannot draw.
std::unique_ptr<ReportPictures> OpenReportPictures(std::string& why);

}  // namespace fluvex
