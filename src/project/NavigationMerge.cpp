#include "project/NavigationMerge.h"

#include <algorithm>
#include <cmath>
#include <optional>

#include "model/EnsembleQuantities.h"
#include "model/Units.h"
#include "readers/CRDIReader.h"
#include "services/EditedFile.h"
#include "services/RawLineFile.h"
#include "services/UserPrompt.h"

namespace fluvex {

namespace {

constexpr double kSecondsPerDay = 86400.0;

// Headings interpolated along the shorter arc: between 359 and 1 degrees lies 0, not 180. At a
// fix's own time its heading comes out unchanged.
double InterpolateHeading(double a, double b, double t0, double t1, double t) {
    if (t == t1) return b;
    const double turn = std::remainder(b - a, 360.0);
    return NormalisedDegrees(Interpolate(a, a + turn, t0, t1, t));
}

// The time tag as seconds of day: the clock the suite logged its navigation by.
double PingTimeOfDay(const Ensemble& ping) {
    return std::fmod(ping.fixedLeader.TimeTagMs() / 1000.0, kSecondsPerDay);
}

NavRecord Interpolated(const NavigationFix& before, const NavigationFix& after, double t,
                       const NavigationFix& origin, double headingOffset) {
    const double t0 = before.timeOfDay;
    const double t1 = after.timeOfDay;
    const auto at = [&](double a, double b) { return Interpolate(a, b, t0, t1, t); };
    NavRecord record;
    record.positionValid = true;
    record.x = at(before.x, after.x);
    record.y = at(before.y, after.y);
    record.distance = std::hypot(record.x - origin.x, record.y - origin.y);
    record.depth1 = at(before.depth1, after.depth1);
    record.depth2 = at(before.depth2, after.depth2);
    record.course = DirectionBetween(before.x, before.y, after.x, after.y);
    // The full horizontal step over the exact time between the fixes.
    const double elapsed = t1 - t0;
    const double step = std::hypot(after.x - before.x, after.y - before.y);
    record.speed = elapsed > 0 ? Units().DisplayToMetres(step) * 1000.0 / elapsed : 0.0;
    record.heading = NormalisedDegrees(
        InterpolateHeading(before.heading, after.heading, t0, t1, t) - headingOffset);
    record.pitch = at(before.pitch, after.pitch);
    record.roll = at(before.roll, after.roll);
    record.vertical = at(before.vertical, after.vertical);
    return record;
}

// The fixes around time t: the first at or after it and the one before it, unless that lies a
// window away; a fix at t alone when there is none before it. Nothing when the fixes do not
// reach t.
std::optional<std::pair<std::size_t, std::size_t>> Bracket(std::span<const NavigationFix> fixes,
                                                           double t) {
    const auto after = std::ranges::lower_bound(fixes, t, {}, &NavigationFix::timeOfDay);
    if (after == fixes.end()) return std::nullopt;
    const auto j = static_cast<std::size_t>(after - fixes.begin());
    if (j > 0 && t - fixes[j - 1].timeOfDay < kNavigationWindowS) return std::pair{j - 1, j};
    if (after->timeOfDay == t) return std::pair{j, j};
    return std::nullopt;
}

// Fixes out of time order would defeat the search; a stable sort keeps equal times as logged.
// A fix without a finite time and position (a damaged record) can be neither placed nor used.
std::vector<NavigationFix> InTimeOrder(std::vector<NavigationFix> fixes) {
    std::erase_if(fixes, [](const NavigationFix& fix) {
        return !std::isfinite(fix.timeOfDay) || !std::isfinite(fix.x) || !std::isfinite(fix.y);
    });
    std::ranges::stable_sort(fixes, {}, &NavigationFix::timeOfDay);
    return fixes;
}

std::string ErrorLoading(const std::filesystem::path& file, std::string_view problem) {
    return "Error Loading " + file.string() + ". " + std::string(problem);
}

void ApplyFixes(CRDIReader& reader, std::span<const NavigationFix> fixes, double headingOffset) {
    reader.ApplyNavigation(MergeFixes(reader.Ensembles(), fixes, headingOffset));
}

std::vector<NavigationFix> UsableEditedFixes(const EditedFile& file) {
    std::vector<NavigationFix> fixes;
    fixes.reserve(static_cast<std::size_t>(file.RecordCount()));
    EditedNavRecord record;
    for (int i = 0; i < file.RecordCount(); ++i)
        if (file.ReadRecord(i, record) && record.Usable()) fixes.push_back(record.ToFix());
    return fixes;
}

}  // namespace

std::vector<NavRecord> MergeFixes(std::span<const Ensemble> pings,
                                  std::span<const NavigationFix> fixes, double headingOffset) {
    std::vector<NavRecord> records(pings.size());
    if (fixes.empty()) return records;
    const NavigationFix& origin = fixes.front();
    for (std::size_t k = 0; k < pings.size(); ++k) {
        const double t = PingTimeOfDay(pings[k]);
        if (t == 0) continue;
        if (const auto pair = Bracket(fixes, t))
            records[k] =
                Interpolated(fixes[pair->first], fixes[pair->second], t, origin, headingOffset);
    }
    return records;
}

bool MergeEditedFileNavigation(CRDIReader& reader, const EditedFile& file,
                               const std::filesystem::path& editedFile, double headingOffset,
                               UserPrompt& prompt) {
    std::error_code error;
    if (!std::filesystem::is_regular_file(editedFile, error)) return false;
    const std::vector<NavigationFix> fixes = InTimeOrder(UsableEditedFixes(file));
    if (fixes.empty()) {
        prompt.ShowError(ErrorLoading(editedFile, "Not enough record in file."));
        return false;
    }
    ApplyFixes(reader, fixes, headingOffset);
    return true;
}

bool MergeRawLineFileNavigation(CRDIReader& reader, const std::filesystem::path& lineFile,
                                double headingOffset, UserPrompt& prompt) {
    RawLineFile file;
    if (!file.Open(lineFile)) return false;
    std::vector<NavigationFix> fixes(static_cast<std::size_t>(file.RecordCount()));
    for (int i = 0; i < file.RecordCount(); ++i)
        file.ReadRecord(i, fixes[static_cast<std::size_t>(i)]);
    if (fixes.empty()) {
        prompt.ShowError(ErrorLoading(lineFile, "No records found in file."));
        return false;
    }
    ApplyFixes(reader, InTimeOrder(std::move(fixes)), headingOffset);
    return true;
}

PlannedLine PlannedLineFromEditedFile(const EditedFile& file) {
    PlannedLine line = file.PlannedLineRecord();
    if (!line.Empty()) return line;
    // No line record: a polyline through the navigation, at most 128 points.
    const int count = file.RecordCount();
    const int step = (count + static_cast<int>(PlannedLine::kMaxPoints) - 1) /
                     static_cast<int>(PlannedLine::kMaxPoints);
    EditedNavRecord record;
    for (int i = 0; i < count; i += step)
        if (file.ReadRecord(i, record) && record.Usable()) line.AppendMeasured(record.x, record.y);
    return line;
}

std::optional<PlannedLine> PlannedLineFromRawLineFile(const std::filesystem::path& lineFile) {
    RawLineFile file;
    if (!file.Open(lineFile)) return std::nullopt;
    PlannedLine line;
    line.name = file.LineName();
    for (const PlannedPoint& point : file.PlannedPoints())
        line.AppendMeasured(point.x, point.y);
    return line;
}

}  // namespace fluvex
