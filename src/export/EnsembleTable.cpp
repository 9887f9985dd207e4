#include "export/EnsembleTable.h"

#include <algorithm>
#include <charconv>
#include <cmath>

#include "model/BadValue.h"
#include "model/EnsembleQuantities.h"
#include "model/Units.h"
#include "project/Database.h"
#include "services/Geodesy.h"

namespace fluvex {

namespace {

constexpr double kSecondsPerDay = 86400.0;
constexpr double kMmPerM = 1000.0;

std::string CellHeading(int cell, std::string_view quantity) {
    return "Cell" + std::to_string(cell) + " " + std::string(quantity);
}

bool HorizontalIsValid(const VelocityInfo& info) {
    return info.east != kBadVelocity && info.north != kBadVelocity;
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// Text

std::string_view NumberFormatter::Fixed(double value, int decimals) {
    char* const last = buffer_.data() + buffer_.size() - 1;  // room for the NUL
    auto [end, error] =
        std::to_chars(buffer_.data(), last, value, std::chars_format::fixed, decimals);
    if (error != std::errc{}) end = std::copy_n("0", 1, buffer_.data());
    *end = '\0';
    return {buffer_.data(), end};
}

std::string_view NumberFormatter::Integer(long long value) {
    char* const last = buffer_.data() + buffer_.size() - 1;
    char* const end = std::to_chars(buffer_.data(), last, value).ptr;
    *end = '\0';
    return {buffer_.data(), end};
}

std::string TimeOfDayText(double seconds) {
    const double time = std::isfinite(seconds) ? std::fmod(seconds, kSecondsPerDay) : 0.0;
    const int hours = static_cast<int>(time / 3600);
    const int minutes = static_cast<int>((time - 3600.0 * hours) / 60);
    const double rest = time - 3600.0 * hours - 60.0 * minutes;

    std::array<char, 48> text{};
    char* out = text.data();
    const auto twoDigits = [&out](int value) {
        if (value >= 0 && value < 10) *out++ = '0';
        out = std::to_chars(out, out + 12, value).ptr;
    };
    twoDigits(hours);
    *out++ = ':';
    twoDigits(minutes);
    *out++ = ':';
    // "%02.3f": three decimals are always wider than two characters, so nothing is padded.
    out = std::to_chars(out, text.data() + text.size(), rest, std::chars_format::fixed, 3).ptr;
    return {text.data(), out};
}

// ---------------------------------------------------------------------------------------------
// The table

EnsembleTable::EnsembleTable(Database& database, int line, const QuantityOptions& quantities,
                             bool withAmplitudes)
    : pings_(database.Ensembles(line)),
      quantities_(quantities),
      geodesy_(database.GetGeodesy()),
      withAmplitudes_(withAmplitudes) {
    layout_.bottomTrack = pings_.size() > 1 && HasBottomTrack(pings_[1]);
    const Ensemble* lastReadable = &empty_;
    for (const Ensemble& ping : pings_) {
        if (!ping.loaded) continue;
        layout_.cellGroups = std::max(layout_.cellGroups, CellCount(ping));
        lastReadable = &ping;
    }
    layout_.amplitudes =
        withAmplitudes_ && lastReadable->Has(PresentBit::EchoIntensity) && layout_.cellGroups > 0;
}

const Ensemble& EnsembleTable::ReadableAt(int index) {
    if (index >= 0 && index < RowCount() && pings_[static_cast<std::size_t>(index)].loaded)
        lastReadable_ = index;
    return lastReadable_ < 0 ? empty_ : pings_[static_cast<std::size_t>(lastReadable_)];
}

void EnsembleTable::FillRow(int index, EnsembleRow& row) {
    const Ensemble& ping = ReadableAt(index);
    row.index = index;
    row.time = TimeOfDayText(EnsembleTimeOf(ping, quantities_.timingMode));
    row.heading = Heading(ping, quantities_.attitude);
    row.pitch = DegreesToRadians(Pitch(ping, quantities_.attitude));
    row.roll = DegreesToRadians(Roll(ping, quantities_.attitude));
    row.depth = Depth(ping, quantities_);
    FillPosition(ping, row);
    FillBottomTrack(ping, row);
    FillCells(ping, row);
    FillAmplitudes(ping, row);
}

void EnsembleTable::FillPosition(const Ensemble& ping, EnsembleRow& row) const {
    row.hasPosition = GetPosition(ping, row.x, row.y);
    row.hasGeographic = false;
    if (!row.hasPosition || geodesy_ == nullptr) return;
    const GeographicPoint geographic = geodesy_->ToGeographic(row.x, row.y);
    row.hasGeographic = geographic.ok;
    row.latitude = geographic.latitude;
    row.longitude = geographic.longitude;
}

void EnsembleTable::FillBottomTrack(const Ensemble& ping, EnsembleRow& row) const {
    VelocityInfo info;
    row.bottomTrackValid =
        layout_.bottomTrack && ReferenceVelocityInfo(ping, info) && HorizontalIsValid(info);
    if (!row.bottomTrackValid) return;
    row.bottomTrack = {info.east / kMmPerM, info.north / kMmPerM,
                       static_cast<float>(info.magnitude2D) / 1000.0F, info.direction};
}

void EnsembleTable::FillCells(const Ensemble& ping, EnsembleRow& row) const {
    row.cells.resize(static_cast<std::size_t>(std::min(CellCount(ping), layout_.cellGroups)));
    int cell = 0;
    for (TableCell& out : row.cells) {
        VelocityInfo info;
        out.valid = CellVelocityInfo(ping, cell++, info) && HorizontalIsValid(info);
        if (!out.valid) continue;
        out.east = info.east / kMmPerM;
        out.north = info.north / kMmPerM;
        out.up = info.up / kMmPerM;
        out.speed = info.magnitude2D / kMmPerM;
        out.direction = info.direction;
    }
}

void EnsembleTable::FillAmplitudes(const Ensemble& ping, EnsembleRow& row) const {
    row.hasAmplitudes = withAmplitudes_ && ping.Has(PresentBit::EchoIntensity);
    row.amplitudes.resize(row.hasAmplitudes ? row.cells.size() : 0);
    for (std::size_t cell = 0; cell < row.amplitudes.size(); ++cell)
        row.amplitudes[cell] = ping.cellBlocks.CellEchoIntensities(static_cast<int>(cell));
}

std::vector<std::string> EnsembleTable::Headings() const {
    std::vector<std::string> headings{
        "Number", "Time", "Heading(deg)", "Pitch(rad)", "Roll(rad)", "Depth",
        "X",      "Y",    "Lat",          "Lon"};
    if (layout_.bottomTrack)
        headings.insert(headings.end(), {"BT E(m/s)", "BT N(m/s)", "BT Vel", "BT Dir"});
    for (int cell = 0; cell < layout_.cellGroups; ++cell) {
        for (std::string_view quantity : {"E(m/s)", "N(m/s)", "U(m/s)", "Vel", "Dir"})
            headings.push_back(CellHeading(cell, quantity));
    }
    if (!layout_.amplitudes) return headings;
    for (int cell = 0; cell < layout_.cellGroups; ++cell) {
        for (std::string_view beam : {"Beam1Amp", "Beam2Amp", "Beam3Amp", "Beam4Amp"})
            headings.push_back(CellHeading(cell, beam));
    }
    return headings;
}

}  // namespace fluvex
