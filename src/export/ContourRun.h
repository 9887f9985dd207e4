#pragma once

// A contour run over the loaded lines: horizontal slices (velocity over the plan positions of
// every line at one depth, a drawing per depth) or vertical profiles (velocity over along-line
// position and depth, a drawing per line). Each drawing gets a colour legend. Shared by the
// contour window's worker thread and the command line; it reports through the callbacks only.

#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "export/Tin.h"
#include "model/QuantityOptions.h"

namespace fluvex {

class Database;
class Settings;
class UnitSystem;

// The most pings averaged on each side of a ping.
inline constexpr int kMaxSmoothing = 100;

struct ContourOptions {
    bool verticalProfiles = false;
    double sliceInterval = 1.0;      // display distance unit
    double velocityInterval = 0.25;  // display velocity unit
    double largestLeg = 0.0;         // horizontal slices; 0 keeps every triangle
    int component = -1;              // VelocityComponent's; -1 the settings'
    bool autoScaleDepth = true;      // deepest bed of all lines, else maxDepth
    double maxDepth = 10.0;          // display distance unit
    bool useTime = true;             // vertical profiles: x is time, else distance along line
    int onlyLine = -1;               // contour only this line; -1 every line
    int smoothing = 0;               // pings averaged on each side of a ping along its line
    std::vector<ContourColour> colours;
};

// The options of the [Contours] and [GraphOptions] settings: the contour interval 0.25 when
// not above 0, the largest leg cut to a whole number; colours from `table` when there is one.
ContourOptions ContourOptionsFrom(const Settings& settings, bool verticalProfiles, int onlyLine,
                                  ColourLookup* table);

struct ContourProgress {
    std::function<void(const std::string&)> status;  // the run's status text
    std::function<bool()> terminated;                // stop between lines, pings and slices
};

// The points of one horizontal slice at depth `h`: one per ping with a position (a ping without
// one is left out), with kNoContourValue where the cell at h is below the bottom cut-off, beyond
// the cells, bad, or h is at or below the measured bed. Values are smoothed along each line
// (`ContourOptions::smoothing`).
inline constexpr double kNoContourValue = -32768.0;
std::vector<TinPoint> HorizontalSlicePoints(Database& database, double h,
                                            const ContourOptions& options,
                                            const QuantityOptions& quantities,
                                            const ContourProgress& progress);
// The points of one line's profile: x along the line (seconds or distance), y = minus the depth
// of the cell's centre, each valid cell above the bottom cut-off and the measured bed, smoothed
// along the line. `largestLeg` is set to the largest cell size plus the largest step of x
// between consecutive pings (no longer edge spans a gap in the data).
std::vector<TinPoint> VerticalProfilePoints(Database& database, int line,
                                            const ContourOptions& options,
                                            const QuantityOptions& quantities, double& largestLeg);

// Triangulates the points and drops every triangle with a corner without a value; false when
// no triangle is left.
bool LoadContourTin(Tin& tin, const std::vector<TinPoint>& points, double largestLeg);

// The point file: "x,y,value" with CR LF; a missing value written as the integer -32768.
bool WritePointFile(const std::filesystem::path& file, const std::vector<TinPoint>& points);

// The entries of a colour table: its stops spread evenly from its minimum to its maximum.
std::vector<ContourColour> ContourColoursOf(ColourLookup& table);

// One drawing to make: its points gathered from the lines, and what the status says.
struct ContourJob {
    std::string status;  // "Slicing at 2.00 m", "Contouring <line>"
    std::string noData;  // said when the points give no triangle
    std::vector<TinPoint> points;
    double largestLeg = 0.0;
    std::filesystem::path drawing;
};

// Everything a run needs, gathered from the lines and the units on the thread that owns them,
// so that the drawings can be made on another one.
struct ContourPlan {
    std::vector<ContourJob> jobs;
    double velocityInterval = 0.25;
    std::vector<ContourColour> colours;
    DxfUnits drawingUnits = DxfUnits::Metres;
    std::string velocityLabel;
};

// Nothing, with the status saying why, when the slice height gives no sound slicing.
std::optional<ContourPlan> PlanContours(Database& database, const ContourOptions& options,
                                        const QuantityOptions& quantities,
                                        const std::filesystem::path& outFolder,
                                        const ContourProgress& progress);
// Makes the plan's drawings; touches neither the lines nor the settings. Return as RunContours.
// `noData` collects what was said of the jobs without data.
int RunContourPlan(const ContourPlan& plan, const std::filesystem::path& workFolder,
                   const ContourProgress& progress, std::vector<std::filesystem::path>* written,
                   std::vector<std::string>* noData = nullptr);

// Plans and runs every slice or line; the drawings go to `outFolder`, the point file to
// `workFolder`. 0 when the run went through (slices without data are said and skipped), else 1 with
// the status saying why. `written` lists the drawings made.
int RunContours(Database& database, const ContourOptions& options,
                const QuantityOptions& quantities, const std::filesystem::path& workFolder,
                const std::filesystem::path& outFolder, const ContourProgress& progress,
                std::vector<std::filesystem::path>* written);

}  // namespace fluvex
