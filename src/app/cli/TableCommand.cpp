// fluvex-cli table: the desktop program's spreadsheet export of each line, on stdout.

#include <algorithm>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "app/cli/ArgumentList.h"
#include "app/cli/Commands.h"
#include "app/cli/OpenedSurvey.h"
#include "export/QuantityTable.h"
#include "model/TextUtil.h"
#include "processing/ChartQuantities.h"
#include "project/Database.h"
#include "project/SettingsOptions.h"
#include "settings/Settings.h"

namespace fluvex {

namespace {

// "4,6,18" as kinds; nothing when any is not a kind or the list is empty.
std::optional<std::vector<int>> ParseKinds(const std::string& text) {
    std::vector<int> kinds;
    std::size_t start = 0;
    while (start <= text.size()) {
        const std::size_t comma = std::min(text.find(',', start), text.size());
        const std::optional<int> kind =
            ParseInt(std::string_view(text).substr(start, comma - start));
        if (!kind || !IsChartKind(*kind)) return std::nullopt;
        kinds.push_back(*kind);
        start = comma + 1;
    }
    return kinds;
}

}  // namespace

int RunTableCommand(CommandContext& context) {
    ArgumentList& arguments = context.arguments;
    const std::optional<std::string> columns = arguments.TakeValue("--columns");
    const std::optional<int> only = arguments.TakeCount("--line");
    const std::vector<std::string> files = arguments.TakePositional();
    std::optional<std::vector<int>> kinds = SpreadsheetKinds(AppSettings());
    if (!arguments.Failed() && columns) {
        kinds = ParseKinds(*columns);
        if (!kinds) arguments.Fail("--columns needs kinds 0 to 19 separated by commas");
    }
    if (!arguments.Failed() && files.empty()) arguments.Fail("table needs FILE...");
    if (arguments.Failed()) return kExitUsage;

    const OpenedSurvey survey(files, context.err);
    Database& database = AppDatabase();
    if (only && *only >= database.LineCount()) {
        context.err << "fluvex-cli: no line " << *only << ": " << database.LineCount()
                    << " line(s) loaded\n";
        return kExitFailure;
    }
    const int first = only.value_or(0);
    const int end = only ? *only + 1 : database.LineCount();
    const ProcessingOptions options = CurrentProcessingOptions();
    for (int line = first; line < end; ++line) {
        if (line > first) context.out << '\n';  // an empty line between the lines' tables
        context.out << QuantityTableText(database.Ensembles(line), *kinds, options, "\n");
    }
    return survey.Status();
}

}  // namespace fluvex
