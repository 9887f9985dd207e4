#include "project/Database.h"

#include <algorithm>
#include <cmath>

#include "model/EnsembleQuantities.h"
#include "model/Units.h"
#include "project/DatabaseLine.h"
#include "project/LineMeasures.h"
#include "project/LineReprocessing.h"
#include "project/SettingsOptions.h"
#include "readers/CRDIReader.h"
#include "services/DebugOutput.h"
#include "services/UserPrompt.h"
#include "settings/Settings.h"

namespace fluvex {

Database::Database() = default;
Database::~Database() = default;

Database& AppDatabase() {
    static Database database;
    return database;
}

// ---------------------------------------------------------------------------------------------
// The collection

void Database::Clear() {
    if (lineCount_ > 0) AppSettings().NoteLinesChanged();
    for (std::unique_ptr<Line>& slot : lines_)
        slot.reset();
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
    const std::uint64_t current = AppSettings().ProcessingGeneration();
    if (Slot(line).processedAt != current) {
        ReprocessEnsembles(reader, CurrentProcessingOptions());
        Slot(line).processedAt = current;
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
    // The cell's echo intensity stays: the recorded intensities still give it.
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
    const int timing = AppSettings().Time_Type();
    const auto found = std::ranges::partition_point(
        pings, [time, timing](const Ensemble& e) { return EnsembleTimeOf(e, timing) < time; });
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
    settings.NoteLinesChanged();
    if (settings.CurrentLine >= lineCount_) settings.CurrentLine = lineCount_ - 1;
}

// ---------------------------------------------------------------------------------------------
// Line measures

std::optional<ValueRange> Database::DepthRange(int line) {
    return DepthRangeOf(Ensembles(line), CurrentQuantityOptions());
}

std::optional<ValueRange> Database::DistanceRange(int line) {
    return DistanceRangeOf(RecordedEnsembles(line));
}

std::optional<ValueRange> Database::VelocityRange(int line, std::optional<int> quantity) {
    const Settings& settings = AppSettings();
    const int q = quantity.value_or(settings.Velocity());
    std::optional<ValueRange> range =
        VelocityRangeOf(Ensembles(line), q, settings.VelReference() == kReferenceBottomTrack,
                        CurrentQuantityOptions());
    if (range && q != kErrorVelocity && q != kDirection &&
        settings.Velocity() != kAngleViewQuantity) {
        range->minimum = Units().MmsToDisplay(range->minimum);
        range->maximum = Units().MmsToDisplay(range->maximum);
    }
    return range;
}

std::optional<ValueRange> Database::VelocityRangeAll(std::optional<int> quantity) {
    std::optional<ValueRange> range;
    for (int line = 0; line < lineCount_; ++line)
        range = Union(range, VelocityRange(line, quantity));
    return range;
}

std::optional<PlanRect> Database::Extents(int line) {
    if (!IsLoaded(line)) return std::nullopt;
    return ExtentsOf(Slot(line).reader->Ensembles(), Slot(line).planned);
}

std::optional<PlanRect> Database::ExtentsAll() {
    std::optional<PlanRect> rect;
    for (int line = 0; line < lineCount_; ++line)
        rect = Union(rect, Extents(line));
    return rect;
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

void TraceReadWarnings(const Database& database) {
    for (int line = 0; line < database.LineCount(); ++line)
        for (const ReadWarning& warning : database.ReadWarnings(line))
            DebugOutput(database.LinePath(line).string() + ": " + DescribeReadWarning(warning));
}

bool LoadBorderFileOrSay(Database& database, const std::filesystem::path& file,
                         UserPrompt& prompt) {
    if (database.LoadBorderFile(file)) return true;
    prompt.ShowError("Cannot use " + file.string() +
                         " as a clip border: it cannot be read or holds fewer than four points.",
                     "Error");
    return false;
}

}  // namespace fluvex
