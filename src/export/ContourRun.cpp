#include "export/ContourRun.h"

#include <algorithm>
#include <cmath>
#include <fstream>
#include <span>

#include "export/DxfExports.h"
#include "export/TextExports.h"
#include "model/BadValue.h"
#include "model/EnsembleQuantities.h"
#include "model/TextUtil.h"
#include "model/Units.h"
#include "project/Database.h"
#include "services/ColourTable.h"
#include "settings/Settings.h"

namespace fluvex {

namespace fs = std::filesystem;

namespace {

// More slices than this means the slice height is far too small for the depth.
constexpr double kMaxSlices = 10000;

bool Stopped(const ContourProgress& progress) {
    return progress.terminated && progress.terminated();
}

void Say(const ContourProgress& progress, const std::string& text) {
    if (progress.status) progress.status(text);
}

// The cell's component in the display velocity unit (directions in degrees); nothing for a bad
// or missing value.
// The component a run contours: the shown quantity unless the options name one.
int ContouredComponent(int component, const QuantityOptions& quantities) {
    return component < 0 ? quantities.velocityQuantity : component;
}

std::optional<double> CellValue(const Ensemble& ping, int cell, int component,
                                const QuantityOptions& quantities) {
    if (cell < 0 || cell >= std::min(LastCell(ping, quantities), CellCount(ping)))
        return std::nullopt;
    const int shown = ContouredComponent(component, quantities);
    const std::int16_t value = VelocityComponent(ping, cell, shown);
    if (value == kBadVelocity) return std::nullopt;
    return shown == kDirection ? value : quantities.units.MmsToDisplay(value);
}

// The component at depth z in a ping: the value of the cell holding z. Nothing at or below the
// measured bed: the cells there hold the bed's echo, not water, and the velocity section stops
// at the bed as well.
std::optional<double> ValueAtDepth(const Ensemble& ping, double z, int component,
                                   const QuantityOptions& quantities) {
    const double size = CellSize(ping, quantities.units);
    if (!(size > 0)) return std::nullopt;
    const double cell = std::floor((z - CellDepth(ping, 0, quantities.units)) / size);
    if (!(cell >= 0 && cell < kMaxCells)) return std::nullopt;
    if (const std::optional<double> bed = MeasuredDepth(ping, quantities); bed && z >= *bed)
        return std::nullopt;
    return CellValue(ping, static_cast<int>(cell), component, quantities);
}

// Up to `count` values at depth z of the pings from ping i outwards (`step` +1 or -1), nearest
// first, looking at most 2 * count pings away: pings without a value there are stepped over.
std::vector<double> ValuesBeside(std::span<const Ensemble> pings, std::size_t i, int step,
                                 std::size_t count, double z, const ContourOptions& options,
                                 const QuantityOptions& quantities) {
    std::vector<double> values;
    for (std::size_t d = 1; d <= 2 * count && values.size() < count; ++d) {
        if (step < 0 ? d > i : i + d >= pings.size()) break;
        const Ensemble& ping = step < 0 ? pings[i - d] : pings[i + d];
        if (const std::optional<double> value =
                ValueAtDepth(ping, z, options.component, quantities))
            values.push_back(*value);
    }
    return values;
}

// The value at depth z of ping i, averaged with the values at the same depth of up to
// `options.smoothing` pings on each side along the line. Single pings scatter by more than a
// contour interval; the running mean keeps the section's structure and drops that scatter. The
// window takes as many values on one side as on the other, so near the bed and the banks it
// narrows instead of leaning inwards and moving the isolines there; pings without a value (a
// lost ping) are stepped over. Nothing where ping i has no value; directions are not averaged
// (359 and 1 do not mean 180).
std::optional<double> SmoothedValue(std::span<const Ensemble> pings, std::size_t i, double z,
                                    const ContourOptions& options,
                                    const QuantityOptions& quantities) {
    const std::optional<double> own = ValueAtDepth(pings[i], z, options.component, quantities);
    const auto half = static_cast<std::size_t>(std::clamp(options.smoothing, 0, kMaxSmoothing));
    if (!own || half == 0 || ContouredComponent(options.component, quantities) == kDirection)
        return own;
    const std::vector<double> before = ValuesBeside(pings, i, -1, half, z, options, quantities);
    const std::vector<double> after = ValuesBeside(pings, i, +1, half, z, options, quantities);
    const std::size_t pairs = std::min(before.size(), after.size());
    double sum = *own;
    for (std::size_t k = 0; k < pairs; ++k)
        sum += before[k] + after[k];
    return sum / static_cast<double>(2 * pairs + 1);
}

double DeepestBed(Database& database, const QuantityOptions& quantities) {
    double deepest = 0.0;
    for (int line = 0; line < database.LineCount(); ++line)
        for (const Ensemble& ping : database.Ensembles(line))
            if (const std::optional<double> depth = MeasuredDepth(ping, quantities))
                deepest = std::max(deepest, *depth);
    return deepest;
}

Tin::Box PointBox(const std::vector<TinPoint>& points) {
    Tin::Box box{points.front().x, points.front().y, points.front().x, points.front().y};
    for (const TinPoint& p : points)
        box = {std::min(box.minX, p.x), std::min(box.minY, p.y), std::max(box.maxX, p.x),
               std::max(box.maxY, p.y)};
    return box;
}

// The lines a run covers: [first, end).
std::pair<int, int> RunLines(Database& database, int onlyLine) {
    if (onlyLine >= 0) return {onlyLine, std::min(onlyLine + 1, database.LineCount())};
    return {0, database.LineCount()};
}

enum class Drawn { Written, NoData, Failed };

// Triangulates, drops the triangles touching a missing value, contours and saves with the legend.
Drawn DrawPoints(const ContourJob& job, const ContourPlan& plan, const fs::path& workFolder) {
    if (job.points.size() < 3) return Drawn::NoData;
    WritePointFile(workFolder / "Fluvex.xyz", job.points);
    Tin tin;
    if (!LoadContourTin(tin, job.points, job.largestLeg)) return Drawn::NoData;
    DxfWriter writer(plan.drawingUnits);
    tin.DrawContours(writer, plan.velocityInterval, plan.colours);
    DrawContourLegend(writer, plan.colours, plan.velocityLabel, PointBox(job.points));
    return writer.SaveAs(job.drawing) ? Drawn::Written : Drawn::Failed;
}

bool PlanSlices(Database& database, const ContourOptions& options,
                const QuantityOptions& quantities, const fs::path& outFolder,
                const ContourProgress& progress, ContourPlan& plan) {
    const double s = options.sliceInterval;
    const double deepest =
        options.autoScaleDepth ? DeepestBed(database, quantities) : options.maxDepth;
    if (!(s > 0.0) || !std::isfinite(s) || deepest / s > kMaxSlices) {
        Say(progress, "Slice height must be above 0 and give at most 10000 slices");
        return false;
    }
    const std::string unit(quantities.units.DistanceLabel());
    for (double k = 1; k * s < deepest && !Stopped(progress); ++k) {
        const double h = k * s;
        const std::string at = FormatFixed(h, 2) + " " + unit;
        plan.jobs.push_back({"Slicing at " + at, "No data at " + at,
                             HorizontalSlicePoints(database, h, options, quantities, progress),
                             options.largestLeg,
                             outFolder / (FormatFixed(h, 2) + "_" + unit + ".dxf")});
    }
    return true;
}

void PlanProfiles(Database& database, const ContourOptions& options,
                  const QuantityOptions& quantities, const fs::path& outFolder,
                  const ContourProgress& progress, ContourPlan& plan) {
    const auto [first, end] = RunLines(database, options.onlyLine);
    for (int line = first; line < end && !Stopped(progress); ++line) {
        const std::string name = database.LineName(line);
        ContourJob job{"Contouring " + name,
                       "No data in " + name,
                       {},
                       0.0,
                       ExportFileName(outFolder, name, ".dxf")};
        job.points = VerticalProfilePoints(database, line, options, quantities, job.largestLeg);
        plan.jobs.push_back(std::move(job));
    }
}

}  // namespace

std::vector<TinPoint> HorizontalSlicePoints(Database& database, double h,
                                            const ContourOptions& options,
                                            const QuantityOptions& quantities,
                                            const ContourProgress& progress) {
    std::vector<TinPoint> points;
    const auto [first, end] = RunLines(database, options.onlyLine);
    for (int line = first; line < end && !Stopped(progress); ++line) {
        const std::span<const Ensemble> pings = database.Ensembles(line);
        for (std::size_t i = 0; i < pings.size(); ++i) {
            const Ensemble& ping = pings[i];
            // Without a position the ping has no place in a plan: never at (0, 0).
            if (!ping.loaded || !ping.navigation.positionValid) continue;
            points.push_back(
                {ping.navigation.x, ping.navigation.y,
                 SmoothedValue(pings, i, h, options, quantities).value_or(kNoContourValue)});
        }
    }
    return points;
}

std::vector<TinPoint> VerticalProfilePoints(Database& database, int line,
                                            const ContourOptions& options,
                                            const QuantityOptions& quantities, double& largestLeg) {
    std::vector<TinPoint> points;
    double largestCell = 0.0;
    double largestStep = 0.0;
    std::optional<double> previous;
    const std::span<const Ensemble> pings = database.Ensembles(line);
    for (std::size_t i = 0; i < pings.size(); ++i) {
        const Ensemble& ping = pings[i];
        if (!ping.loaded) continue;
        const double x = options.useTime ? EnsembleTimeOf(ping, quantities.timingMode)
                                         : ping.navigation.distance;
        if (previous) largestStep = std::max(largestStep, std::abs(x - *previous));
        previous = x;
        const double size = CellSize(ping, quantities.units);
        largestCell = std::max(largestCell, size);
        // At the cell's centre, where its velocity is measured: at its top edge every isotach
        // would stand half a cell too high.
        for (int cell = 0; cell < CellCount(ping); ++cell) {
            const double depth = CellDepth(ping, cell, quantities.units) + size / 2;
            if (const std::optional<double> value =
                    SmoothedValue(pings, i, depth, options, quantities))
                points.push_back({x, -depth, *value});
        }
    }
    // Not cut to a whole number: with cells of 0.25 and a step of 1 s that would be 1, shorter
    // than every diagonal, and no triangle would be left.
    largestLeg = largestCell + largestStep;
    return points;
}

ContourOptions ContourOptionsFrom(const Settings& settings, bool verticalProfiles, int onlyLine,
                                  ColourLookup* table) {
    ContourOptions options;
    options.verticalProfiles = verticalProfiles;
    options.sliceInterval = settings.ContHorzSliceInterval;
    options.velocityInterval =
        settings.ContVelocityInterval > 0 ? settings.ContVelocityInterval : 0.25;
    options.largestLeg = std::trunc(settings.ContMaxLeg);
    options.component = settings.Velocity();
    options.autoScaleDepth = settings.AutoScaleDepth;
    options.maxDepth = settings.MaxDepth;
    options.useTime = settings.UseTime;
    options.onlyLine = onlyLine;
    options.smoothing = std::clamp(settings.ContSmoothing, 0, kMaxSmoothing);
    if (table) options.colours = ContourColoursOf(*table);
    return options;
}

std::vector<ContourColour> ContourColoursOf(ColourLookup& table) {
    const ColourTableProperties& properties = table.Properties();
    // A colour file's entry count includes its below- and above-range colours.
    const auto* file = dynamic_cast<const ColourTable*>(&table);
    const int count =
        std::clamp(file ? static_cast<int>(file->Stops().size()) : properties.entryCount, 1, 1000);
    std::vector<ContourColour> colours;
    for (int i = 0; i < count; ++i) {
        const double value =
            count == 1
                ? properties.minimum
                : properties.minimum + (properties.maximum - properties.minimum) * i / (count - 1);
        colours.push_back({value, table.Colour(value)});
    }
    return colours;
}

bool LoadContourTin(Tin& tin, const std::vector<TinPoint>& points, double largestLeg) {
    if (!tin.Load(points, largestLeg)) return false;
    for (std::size_t t = 0; t < tin.TriangleCount(); ++t)
        for (int corner = 0; corner < 3; ++corner)
            if (tin.Value(t, corner) <= kNoContourValue + 1) tin.RemoveTriangle(t);
    tin.FinishEdits();
    return tin.TriangleCount() > 0;
}

bool WritePointFile(const fs::path& file, const std::vector<TinPoint>& points) {
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    // FormatFixed writes '.' whatever the locale.
    for (const TinPoint& p : points)
        out << FormatFixed(p.x, 2) << ',' << FormatFixed(p.y, 2) << ','
            << (p.value == kNoContourValue ? "-32768" : FormatFixed(p.value, 3)) << "\r\n";
    return static_cast<bool>(out.flush());
}

std::optional<ContourPlan> PlanContours(Database& database, const ContourOptions& options,
                                        const QuantityOptions& quantities,
                                        const fs::path& outFolder,
                                        const ContourProgress& progress) {
    ContourPlan plan;
    plan.velocityInterval = options.velocityInterval;
    plan.colours = options.colours;
    plan.drawingUnits = DxfUnitsOf(quantities.units);
    plan.velocityLabel = std::string(quantities.units.VelocityLabel());
    if (options.verticalProfiles)
        PlanProfiles(database, options, quantities, outFolder, progress, plan);
    else if (!PlanSlices(database, options, quantities, outFolder, progress, plan))
        return std::nullopt;
    return plan;
}

int RunContourPlan(const ContourPlan& plan, const fs::path& workFolder,
                   const ContourProgress& progress, std::vector<fs::path>* written,
                   std::vector<std::string>* noData) {
    for (const ContourJob& job : plan.jobs) {
        if (Stopped(progress)) return 0;
        Say(progress, job.status);
        const Drawn drawn = DrawPoints(job, plan, workFolder);
        if (drawn == Drawn::Failed) {
            Say(progress, "Failed to output contours");
            return 1;
        }
        if (drawn == Drawn::NoData) {
            Say(progress, job.noData);
            if (noData) noData->push_back(job.noData);
        } else if (written) {
            written->push_back(job.drawing);
        }
    }
    Say(progress, "Success");
    return 0;
}

int RunContours(Database& database, const ContourOptions& options,
                const QuantityOptions& quantities, const fs::path& workFolder,
                const fs::path& outFolder, const ContourProgress& progress,
                std::vector<fs::path>* written) {
    const std::optional<ContourPlan> plan =
        PlanContours(database, options, quantities, outFolder, progress);
    return plan ? RunContourPlan(*plan, workFolder, progress, written) : 1;
}

}  // namespace fluvex
