#include "project/Database.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <fstream>

#include "model/EnsembleQuantities.h"
#include "model/Units.h"
#include "project/DatabaseLine.h"
#include "readers/CRDIReader.h"
#include "services/UserPrompt.h"
#include "settings/Settings.h"

namespace fluvex {

namespace {

constexpr double kRangeStart = 2e30;

void Widen(double value, double& minimum, double& maximum) {
    minimum = std::min(minimum, value);
    maximum = std::max(maximum, value);
}

// "%lf": blanks, then a finite number with an optional sign. Moves `text` past it.
std::optional<double> ScanNumber(std::string_view& text) {
    const auto start = text.find_first_not_of(" \t");
    if (start == std::string_view::npos) return std::nullopt;
    text.remove_prefix(start);
    if (text.starts_with('+')) text.remove_prefix(1);
    double value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc{} || !std::isfinite(value)) return std::nullopt;
    text.remove_prefix(static_cast<std::size_t>(end - text.data()));
    return value;
}

// A border line: "%lf%*c%lf", a number, any one character, a number.
std::optional<BorderPoint> ParseBorderLine(std::string_view line) {
    const auto x = ScanNumber(line);
    if (!x || line.empty()) return std::nullopt;
    line.remove_prefix(1);
    const auto y = ScanNumber(line);
    if (!y) return std::nullopt;
    return BorderPoint{*x, *y};
}

}  // namespace

int PointInPolygon(std::span<const BorderPoint> polygon, double px, double py) {
    constexpr double kNudge = 0.0001;
    int inside = 0;
    if (!polygon.empty() && py == polygon.front().y) py += kNudge;
    for (std::size_t i = 0; i < polygon.size(); ++i) {
        const BorderPoint& a = polygon[i];
        const BorderPoint& b = polygon[(i + 1) % polygon.size()];
        if (py == b.y) py += kNudge;
        const bool between = py >= std::min(a.y, b.y) && py <= std::max(a.y, b.y);
        const bool rightOfBoth = px > a.x && px > b.x;
        if (!between || rightOfBoth) continue;
        const bool leftOfBoth = px < a.x && px < b.x;
        const double side = ((b.x - a.x) * (py - a.y) - (px - a.x) * (b.y - a.y)) * (b.y - a.y);
        if (leftOfBoth || side > 0) inside ^= 1;
    }
    return inside;
}

Database::Database() = default;
Database::~Database() = default;

Database& AppDatabase() {
    static Database database;
    return database;
}

// ---------------------------------------------------------------------------------------------
// The collection

void Database::Clear() {
    for (int line = 0; line < kMaxLines; ++line) {
        if (lines_[static_cast<std::size_t>(line)]) AppSettings().Invalidate(line);
        lines_[static_cast<std::size_t>(line)].reset();
    }
    lineCount_ = 0;
    sonTekFlag_ = true;
    lineFileFlag_ = true;
    suiteTimingUnavailable_ = false;
}

std::string Database::LineName(int line) const {
    if (lineCount_ == 0 || line < 0 || line >= kMaxLines) return {};
    const auto& slot = lines_[static_cast<std::size_t>(line)];
    return slot ? slot->name : std::string{};
}

std::filesystem::path Database::LinePath(int line) const {
    return IsLoaded(line) ? lines_[static_cast<std::size_t>(line)]->path : std::filesystem::path{};
}

bool Database::IsSonTekLine(int line) const {
    return IsLoaded(line) && lines_[static_cast<std::size_t>(line)]->sonTek;
}

std::span<const ReadWarning> Database::ReadWarnings(int line) const {
    if (!IsLoaded(line)) return {};
    return lines_[static_cast<std::size_t>(line)]->reader->Warnings();
}

int Database::EnsembleCount(int line) const {
    return IsLoaded(line) ? lines_[static_cast<std::size_t>(line)]->reader->Count() : 0;
}

CRDIReader* Database::ProcessedReader(int line) {
    if (!IsLoaded(line)) return nullptr;
    CRDIReader& reader = *Slot(line).reader;
    if (AppSettings().NeedsRecompute(line)) {
        reader.ReprocessAll();
        AppSettings().ClearRecompute(line);
    }
    return &reader;
}

std::span<const Ensemble> Database::Ensembles(int line) {
    CRDIReader* reader = ProcessedReader(line);
    return reader ? reader->Ensembles() : std::span<const Ensemble>{};
}

std::span<const Ensemble> Database::RecordedEnsembles(int line) const {
    if (!IsLoaded(line)) return {};
    return lines_[static_cast<std::size_t>(line)]->reader->Ensembles();
}

bool Database::GetEnsemble(int line, int index, Ensemble& ensemble) {
    CRDIReader* reader = ProcessedReader(line);
    return reader != nullptr && reader->GetEnsemble(index, ensemble);
}

void Database::RemoveEnsemble(int line, int index) {
    if (IsLoaded(line)) Slot(line).reader->RemoveEnsemble(index);
}

void Database::DeleteCell(int line, int index, int cell) {
    if (!IsLoaded(line)) return;
    const auto pings = Slot(line).reader->EditableEnsembles();
    if (index < 0 || static_cast<std::size_t>(index) >= pings.size()) return;
    Ensemble& ping = pings[static_cast<std::size_t>(index)];
    for (int beam = 0; beam < kBeamCount; ++beam)
        ping.cellBlocks.SetVelocity(cell, beam, kBadVelocity);
    if (cell < 0 || static_cast<std::size_t>(cell) >= ping.cells.size()) return;
    // The fourth slot is the cell's echo intensity, which the recorded intensities still give.
    CellVelocity& processed = ping.cells[static_cast<std::size_t>(cell)];
    processed.east = processed.north = processed.up = kBadVelocity;
}

bool Database::LastPositionedEnsemble(int line, Ensemble& ensemble) {
    const auto pings = Ensembles(line);
    const auto last = std::find_if(pings.rbegin(), pings.rend(),
                                   [](const Ensemble& e) { return e.navigation.positionValid; });
    if (last == pings.rend()) return false;
    ensemble = *last;
    return true;
}

bool Database::EnsembleAtTime(int line, double time, Ensemble& ensemble) {
    const auto pings = Ensembles(line);
    const auto found = std::ranges::partition_point(
        pings, [time](const Ensemble& e) { return EnsembleTimeOf(e) < time; });
    if (found == pings.end()) return false;
    ensemble = *found;
    return true;
}

bool Database::NearestEnsembleByDistance(int line, double distance, Ensemble& ensemble) {
    const auto pings = Ensembles(line);
    const Ensemble* nearest = nullptr;
    double closest = 1.7e308;
    for (const Ensemble& ping : pings) {
        const double gap = std::abs(ping.navigation.distance - distance);
        if (gap < closest) {
            closest = gap;
            nearest = &ping;
        }
    }
    if (nearest == nullptr) return false;
    ensemble = *nearest;
    return true;
}

void Database::RemoveLine(int line) {
    Settings& settings = AppSettings();
    if (line < 0) line = settings.CurrentLine;
    if (lineCount_ < 2 || !IsLoaded(line)) return;
    const auto first = lines_.begin() + line;
    std::rotate(first, first + 1, lines_.begin() + lineCount_);
    lines_[static_cast<std::size_t>(--lineCount_)].reset();
    // A slot's processing belongs to the line that was in it: the moved lines are redone.
    for (int moved = line; moved < lineCount_; ++moved)
        settings.Invalidate(moved);
    if (settings.CurrentLine >= lineCount_) settings.CurrentLine = lineCount_ - 1;
}

// ---------------------------------------------------------------------------------------------
// Line measures

bool Database::DepthRange(int line, double& minimum, double& maximum) {
    const auto pings = Ensembles(line);
    minimum = kRangeStart;
    maximum = -kRangeStart;
    const auto blanking = [](const Ensemble& e) {
        return Units().CmToDisplay(e.fixedLeader.BlankAfterTransmitCm());
    };
    for (const Ensemble& ping : pings) {
        const double depth = Depth(ping);
        maximum = std::max(maximum, depth);
        if (depth < minimum && depth != 0) minimum = blanking(ping);
    }
    if (maximum <= 0) {
        // No depth at all: the span of the cells stands in for it.
        for (const Ensemble& ping : pings) {
            minimum = std::min(minimum, blanking(ping));
            const int cells = CellCount(ping);
            if (cells != 0) maximum = std::max(maximum, CellDepth(ping, cells - 1));
        }
        if (maximum <= 0) return true;
    }
    if (minimum > maximum) minimum = 0;
    return true;
}

bool Database::DistanceRange(int line, double& minimum, double& maximum) {
    minimum = kRangeStart;
    maximum = -kRangeStart;
    for (const Ensemble& ping : RecordedEnsembles(line))
        if (ping.loaded && ping.navigation.positionValid)
            Widen(ping.navigation.distance, minimum, maximum);
    return true;
}

bool Database::VelocityRange(int line, double& minimum, double& maximum, int quantity) {
    const Settings& settings = AppSettings();
    const int q = quantity < 0 ? settings.Velocity() : quantity;
    const bool belowBedEnds = settings.VelReference() == 1;
    bool found = false;
    for (const Ensemble& ping : Ensembles(line)) {
        const double depth = Depth(ping);
        const int last = std::min(LastCell(ping), static_cast<int>(ping.cells.size()));
        for (int cell = 0; cell < last; ++cell) {
            if (belowBedEnds && CellDepth(ping, cell) > depth) break;
            const std::int16_t value = VelocityComponent(ping, cell, q);
            if (value == kBadVelocity) continue;
            if (!found) minimum = maximum = value;
            Widen(value, minimum, maximum);
            found = true;
        }
    }
    if (!found) return false;
    if (q != kErrorVelocity && q != kDirection && settings.Velocity() != kAngleViewQuantity) {
        minimum = Units().MmsToDisplay(minimum);
        maximum = Units().MmsToDisplay(maximum);
    }
    return true;
}

bool Database::VelocityRangeAll(double& minimum, double& maximum, int quantity) {
    if (lineCount_ == 0) return false;
    bool found = false;
    minimum = 2147483647;
    maximum = 0;
    for (int line = 0; line < lineCount_; ++line) {
        double low = 0;
        double high = 0;
        if (!VelocityRange(line, low, high, quantity)) continue;
        minimum = found ? std::min(minimum, low) : low;
        maximum = found ? std::max(maximum, high) : high;
        found = true;
    }
    return true;
}

bool Database::Extents(int line, double& minX, double& maxX, double& minY, double& maxY) {
    minX = minY = kRangeStart;
    maxX = maxY = -kRangeStart;
    if (!IsLoaded(line)) return true;
    for (const Ensemble& ping : Slot(line).reader->Ensembles()) {
        if (!ping.navigation.positionValid) continue;
        Widen(ping.navigation.x, minX, maxX);
        Widen(ping.navigation.y, minY, maxY);
    }
    for (const PlannedPoint& point : Slot(line).planned.points) {
        Widen(point.x, minX, maxX);
        Widen(point.y, minY, maxY);
    }
    return true;
}

bool Database::ExtentsAll(double& minX, double& maxX, double& minY, double& maxY) {
    if (lineCount_ == 0) return false;
    Extents(0, minX, maxX, minY, maxY);
    for (int line = 1; line < lineCount_; ++line) {
        double lineMinX = 0;
        double lineMaxX = 0;
        double lineMinY = 0;
        double lineMaxY = 0;
        Extents(line, lineMinX, lineMaxX, lineMinY, lineMaxY);
        minX = std::min(minX, lineMinX);
        maxX = std::max(maxX, lineMaxX);
        minY = std::min(minY, lineMinY);
        maxY = std::max(maxY, lineMaxY);
    }
    return true;
}

// ---------------------------------------------------------------------------------------------
// Planned lines and distance along line

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

// ---------------------------------------------------------------------------------------------
// Questions

bool Database::HasPosition(int line) {
    if (!IsLoaded(line)) return false;
    return std::ranges::any_of(Slot(line).reader->Ensembles(),
                               [](const Ensemble& e) { return e.navigation.positionValid; });
}

bool Database::HasNavRecordPosition(int line) {
    if (!IsLoaded(line)) return false;
    return std::ranges::any_of(Slot(line).reader->Ensembles(), [](const Ensemble& e) {
        return e.Has(PresentBit::EmbeddedPosition);
    });
}

bool Database::HasBottomTrack(int line) {
    if (!IsLoaded(line)) return false;
    return std::ranges::any_of(Slot(line).reader->Ensembles(),
                               [](const Ensemble& e) { return fluvex::HasBottomTrack(e); });
}

bool Database::HasSonTekLine() const {
    return std::any_of(lines_.begin(), lines_.begin() + lineCount_,
                       [](const auto& slot) { return slot->sonTek; });
}

// ---------------------------------------------------------------------------------------------
// Clip border

void Database::ClearBorder() {
    border_.clear();
    borderSide_ = 0;
}

bool Database::LoadBorderFile(const std::filesystem::path& file) {
    ClearBorder();
    std::ifstream in(file);
    if (!in) return false;
    std::vector<BorderPoint> points;
    for (std::string text; std::getline(in, text);) {
        const auto point = ParseBorderLine(text);
        if (point && point->x < kRangeStart && point->y < kRangeStart) points.push_back(*point);
    }
    if (points.size() <= 3) return false;
    const BorderPoint reference = points.back();
    points.pop_back();
    border_ = std::move(points);
    borderSide_ = PointInPolygon(border_, reference.x, reference.y);
    return true;
}

bool LoadBorderFileOrSay(Database& database, const std::filesystem::path& file,
                         UserPrompt& prompt) {
    if (database.LoadBorderFile(file)) return true;
    prompt.ShowError("Cannot use " + file.string() +
                         " as a clip border: it cannot be read or holds fewer than four points.",
                     "Error");
    return false;
}

void Database::BorderExtents(BorderRect& rect) const {
    for (const BorderPoint& point : border_) {
        Widen(point.x, rect.minX, rect.maxX);
        Widen(point.y, rect.minY, rect.maxY);
    }
}

void Database::SetBorderQuad(const std::array<BorderPoint, 4>& corners) {
    border_.assign(corners.begin(), corners.end());
    border_.push_back(corners.front());
    BorderPoint centre;
    for (const BorderPoint& corner : corners) {
        centre.x += corner.x / 4;
        centre.y += corner.y / 4;
    }
    borderSide_ = PointInPolygon(border_, centre.x, centre.y);
}

bool Database::InsideBorder(double x, double y) const {
    return border_.size() < 3 || PointInPolygon(border_, x, y) == borderSide_;
}

}  // namespace fluvex
