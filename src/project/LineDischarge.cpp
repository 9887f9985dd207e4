#include "project/LineDischarge.h"
#include "project/SettingsOptions.h"

#include <cmath>
#include <vector>

#include "model/EnsembleQuantities.h"
#include "project/Database.h"
#include "settings/Settings.h"

namespace fluvex {

namespace {

// Shown positive for a crossing in either direction: every layer is turned by the sign of the
// section's flux (not made positive one by one), so that a layer flowing against the rest shows
// as negative and the columns add up to the total. The edges carry water the same way as the
// section, so they add to its magnitude.
LineDischarge ScaledBySign(const DischargeIntegral& integral, const EdgeDischarge& edges,
                           double factor) {
    const double turned = integral.Total() < 0 ? -factor : factor;
    LineDischarge line;
    line.measured = turned * integral.Measured();
    line.top = turned * integral.Top();
    line.bottom = turned * integral.Bottom();
    line.startEdge = std::abs(factor * edges.start);
    line.endEdge = std::abs(factor * edges.end);
    line.total = turned * integral.Total() + line.startEdge + line.endEdge;
    return line;
}

LineDischargeOptions OptionsFromSettings(bool withEdges) {
    const Settings& settings = AppSettings();
    LineDischargeOptions options;
    options.volumeFactor = VolumeUnitOf(settings.VelocityUnits).factor;
    if (withEdges) options.shore = ShoreOptionsOf(settings);
    options.processing = ProcessingOptionsOf(settings, Units());
    return options;
}

}  // namespace

LineDischarge IntegrateLineDischarge(std::span<const Ensemble> pings,
                                     const LineDischargeOptions& options) {
    DischargeIntegral integral;
    std::vector<ShoreSample> shore;
    for (const Ensemble& ping : pings) {
        if (!ping.loaded || (options.counts && !options.counts(ping))) continue;
        const EnsembleDischarge discharge = ComputeEnsembleDischarge(ping, options.processing);
        if (options.shore && discharge.goodCells > 0)
            shore.push_back({discharge.meanWaterSpeed, discharge.depth});
        // An edge ping only starts (or ends) the time chain: the first transect ping then
        // carries its own time step, as in the acquisition software's measured discharge.
        EnsembleDischarge still;
        still.goodCells = 1;
        integral.Add(EnsembleTimeOf(ping, options.processing.quantities.timingMode),
                     ping.part == MeasurementPart::Transect ? discharge : still);
    }
    const EdgeDischarge edges =
        options.shore ? EstimateEdges(shore, *options.shore) : EdgeDischarge{};
    LineDischarge line = ScaledBySign(integral, edges, options.volumeFactor);
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
