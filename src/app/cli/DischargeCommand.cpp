// fluvex-cli discharge: the discharge report of the desktop program's discharge window, or the
// same figures as JSON.

#include <nlohmann/json.hpp>

#include <ostream>

#include "app/cli/ArgumentList.h"
#include "app/cli/Commands.h"
#include "app/cli/JsonOutput.h"
#include "app/cli/OpenedSurvey.h"
#include "processing/Discharge.h"
#include "project/Database.h"
#include "project/DischargeReport.h"
#include "settings/Settings.h"

namespace fluvex {

namespace {

nlohmann::json DischargeJson(const std::vector<LineDischargeRow>& rows) {
    nlohmann::json lines = nlohmann::json::array();
    for (const LineDischargeRow& row : rows) {
        const LineDischarge& q = row.discharge;
        lines.push_back({{"name", row.name},
                         {"measured", q.measured},
                         {"top", q.top},
                         {"bottom", q.bottom},
                         {"start_edge", q.startEdge},
                         {"end_edge", q.endEdge},
                         {"total", q.total},
                         {"ensembles", q.ensembles}});
    }
    return {{"unit", VolumeUnitOf(AppSettings().VelocityUnits).text}, {"lines", lines}};
}

}  // namespace

int RunDischargeCommand(CommandContext& context) {
    const bool asJson = context.arguments.TakeFlag("--json");
    const std::vector<std::string> files = context.arguments.TakePositional();
    if (!context.arguments.Failed() && files.empty())
        context.arguments.Fail("discharge needs FILE...");
    if (context.arguments.Failed()) return kExitUsage;

    const OpenedSurvey survey(files, context.err);
    BatchProgress progress(context.err, "discharge: lines");
    const auto show = [&progress](int done, int total) { progress.Show(done, total); };
    const std::vector<LineDischargeRow> rows = ComputeAllLineDischarges(AppDatabase(), show);
    if (asJson) {
        context.out << JsonText(DischargeJson(rows), 2) << '\n';
    } else {
        for (const std::string& line : FormatDischargeReport(rows, AppSettings().VelocityUnits))
            context.out << line << '\n';
    }
    return survey.Status();
}

}  // namespace fluvex
