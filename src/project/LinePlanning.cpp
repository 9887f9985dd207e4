#include <algorithm>
#include <cmath>

#include "model/EnsembleQuantities.h"
#include "model/Units.h"
#include "project/Database.h"
#include "project/DatabaseLine.h"
#include "readers/CRDIReader.h"

namespace fluvex {

const PlannedLine* Database::PlannedLine(int line) {
    if (!IsLoaded(line)) return nullptr;
    if (Slot(line).planned.Empty()) BuildPlannedLineFromTrack(line);
    const fluvex::PlannedLine& planned = Slot(line).planned;
    return planned.Empty() ? nullptr : &planned;
}

void Database::BuildPlannedLineFromTrack(int line) {
    if (!IsLoaded(line)) return;
    const auto pings = Slot(line).reader->Ensembles();
    fluvex::PlannedLine planned;
    const std::size_t step =
        (pings.size() + fluvex::PlannedLine::kMaxPoints - 1) / fluvex::PlannedLine::kMaxPoints;
    for (std::size_t k = 0; k < pings.size(); k += step) {
        const NavRecord& nav = pings[k].navigation;
        if (!nav.positionValid) continue;
        PlannedPoint point{.x = nav.x, .y = nav.y, .cumulativeDistance = nav.distance};
        if (!planned.points.empty())
            point.segmentDirection =
                DirectionBetween(planned.points.back().x, planned.points.back().y, nav.x, nav.y);
        planned.points.push_back(point);
    }
    Slot(line).planned = std::move(planned);
}

void Database::ReversePlannedLine(int line) {
    if (PlannedLine(line) == nullptr) return;
    fluvex::PlannedLine& planned = Slot(line).planned;
    std::ranges::reverse(planned.points);
    std::ranges::reverse(planned.sideA);
    std::ranges::reverse(planned.sideB);
    planned.Remeasure();
    ComputeDistanceAlongLine(line);
}

void Database::ComputeDistanceAlongLine(int line) {
    if (!IsLoaded(line)) return;
    MeasureDistanceAlongLine(*Slot(line).reader, Slot(line).planned);
}

void MeasureDistanceAlongLine(CRDIReader& reader, const PlannedLine& planned) {
    if (planned.points.size() < 2) return;
    const PlannedPoint& start = planned.points.front();
    const PlannedPoint& end = planned.points.back();
    const double dx = end.x - start.x;
    const double dy = end.y - start.y;
    const double length = std::hypot(dx, dy);
    const auto pings = reader.EditableEnsembles();
    const auto firstFix =
        std::ranges::find_if(pings, [](const Ensemble& e) { return e.navigation.positionValid; });
    if (firstFix == pings.end()) return;
    double x = firstFix->navigation.x;
    double y = firstFix->navigation.y;
    for (Ensemble& ping : pings) {
        GetPosition(ping, x, y);
        ping.navigation.distance =
            length > 0 ? ((x - start.x) * dx + (y - start.y) * dy) / length : 0.0;
    }
}

}  // namespace fluvex
