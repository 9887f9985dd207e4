#include "project/LineDischarge.h"

#include <cmath>
#include <vector>

#include "model/EnsembleQuantities.h"
#include "project/Database.h"
#include "settings/Settings.h"

namespace fluvex {

namespace {

LineDischarge ScaledMagnitudes(const DischargeIntegral& integral, const EdgeDischarge& edges,
                               double factor) {
    LineDischarge line;
    line.measured = std::abs(factor * integral.Measured());
    line.top = std::abs(factor * integral.Top());
    line.bottom = std::abs(factor * integral.Bottom());
    line.startEdge = std::abs(factor * edges.start);
    line.endEdge = std::abs(factor * edges.end);
    // The edges carry water the same way as the section, whichever way the boat crossed: they add
    // to its magnitude (added to a negative sum they would take water away).
    line.total = std::abs(factor * integral.Total()) + line.startEdge + line.endEdge;
    return line;
}

LineDischargeOptions OptionsFromSettings(bool withEdges) {
    const Settings& settings = AppSettings();
    LineDischargeOptions options;
    options.volumeFactor = VolumeUnitOf(settings.VelocityUnits).factor;
    if (withEdges) options.shore = ShoreOptions::From(settings);
    return options;
}

}  // namespace

LineDischarge IntegrateLineDischarge(std::span<const Ensemble> pings,
                                     const LineDischargeOptions& options) {
    DischargeIntegral integral;
    std::vector<ShoreSample> shore;
    for (const Ensemble& ping : pings) {
        if (!ping.loaded || (options.counts && !options.counts(ping))) continue;
        const EnsembleDischarge discharge = ComputeEnsembleDischarge(ping);
        if (options.shore && discharge.goodCells > 0)
            shore.push_back({discharge.meanWaterSpeed, discharge.depth});
        // An edge ping only starts (or ends) the time chain: the first transect ping then
        // carries its own time step, as in the acquisition software's measured discharge.
        EnsembleDischarge still;
        still.goodCells = 1;
        integral.Add(EnsembleTimeOf(ping),
                     ping.part == MeasurementPart::Transect ? discharge : still);
    }
    const EdgeDischarge edges =
        options.shore ? EstimateEdges(shore, *options.shore) : EdgeDischarge{};
    LineDischarge line = ScaledMagnitudes(integral, edges, options.volumeFactor);
    line.ensembles = static_cast<std::uint32_t>(pings.size());
    return line;
}

LineDischarge Database::ComputeLineDischarge(int line) {
    if (!IsLoaded(line)) return {};
    return IntegrateLineDischarge(Ensembles(line), OptionsFromSettings(true));
}

LineDischarge Database::ComputeLineDischargeClipped(int line) {
    if (!IsLoaded(line)) return {};
    LineDischargeOptions options = OptionsFromSettings(false);
    options.counts = [this](const Ensemble& ping) {
        return ping.navigation.positionValid && InsideBorder(ping.navigation.x, ping.navigation.y);
    };
    return IntegrateLineDischarge(Ensembles(line), options);
}

}  // namespace fluvex
