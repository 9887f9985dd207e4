#include "export/QuantityTable.h"

#include <algorithm>

#include "processing/ChartQuantities.h"
#include "services/AtomicFile.h"
#include "settings/Settings.h"

namespace fluvex {

std::vector<int> SpreadsheetKinds(const Settings& settings) {
    const int count = std::clamp(settings.NColumns, 0, kMaxSpreadsheetColumns);
    std::vector<int> kinds;
    for (int column = 0; column < count; ++column)
        if (const int kind = settings.Column[static_cast<std::size_t>(column)]; IsChartKind(kind))
            kinds.push_back(kind);
    return kinds;
}

std::string QuantityTableText(std::span<const Ensemble> ensembles, std::span<const int> kinds,
                              const ProcessingOptions& options, std::string_view lineEnd) {
    std::string text;
    for (std::size_t column = 0; column < kinds.size(); ++column)
        text += (column > 0 ? ",\"" : "\"") + ChartHeading(kinds[column]) + "\"";
    text += lineEnd;
    for (const Ensemble& ensemble : ensembles) {
        for (std::size_t column = 0; column < kinds.size(); ++column) {
            if (column > 0) text += ',';
            text += ChartValueText(ensemble, kinds[column], options);
        }
        text += lineEnd;
    }
    return text;
}

bool SaveQuantityTable(const std::filesystem::path& file, std::span<const Ensemble> ensembles,
                       std::span<const int> kinds, const ProcessingOptions& options,
                       std::string* error) {
    return WriteFileAtomically(file, QuantityTableText(ensembles, kinds, options, "\r\n"), error);
}

}  // namespace fluvex
