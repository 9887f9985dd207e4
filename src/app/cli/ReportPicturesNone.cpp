#include "app/cli/ReportPictures.h"

namespace fluvex {

std::unique_ptr<ReportPictures> OpenReportPictures(std::string& why) {
    why =
        "this fluvex-cli was built without the drawing library (Qt), so it cannot draw the "
        "report's pictures";
    return nullptr;
}

}  // namespace fluvex
