#include "synth/SuiteLineFiles.h"

#include <array>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <limits>
#include <span>

#include "synth/Pd0Writer.h"
#include "synth/SurveyTime.h"
#include "synth/SynthError.h"

namespace fluvex::synth {

namespace {

constexpr std::int64_t kMarginMs = 2000;
// The first record falls this far after the margin's start, so that records do not sit on the
// ensembles' clock ticks and a reader has to interpolate.
constexpr std::int64_t kPhaseMs = 370;
constexpr std::int64_t kMsPerDay = 86'400'000;
constexpr std::int64_t kMostRecords = 2'000'000;
constexpr double kSecondSounderBelowM = 0.10;
constexpr double kKindFiveSpreadM = 0.02;
constexpr double kWildOffsetM = 25'000.0;
constexpr std::size_t kLongestName = 63;
constexpr int kTextDecimals = 3;

constexpr std::uint16_t kPlanned32Type = 0x0E;
constexpr std::uint16_t kPlanned128Type = 0x38;
constexpr std::uint16_t kNavigationType = 0x70;
constexpr std::size_t kPlanned32Points = 32;
constexpr std::size_t kPlanned128Points = 128;
constexpr std::size_t kPlanned128NameBytes = 64;
constexpr std::size_t kPlanned128SideBytes = 2 * 100 * 8;

std::int64_t FirstEnsembleOfDayMs(const SyntheticLine& line) {
    return HundredthsOfDay(line.truth.front().clockHundredths) * 10;
}

std::vector<SuiteNavigationRecord> NavigationRecords(const SurveyDescription& d,
                                                     const SyntheticLine& line) {
    const std::int64_t firstMs = FirstEnsembleOfDayMs(line);
    const std::int64_t lastMs =
        firstMs + (line.truth.back().clockHundredths - line.truth.front().clockHundredths) * 10;
    const std::int64_t startMs = firstMs - kMarginMs + kPhaseMs;
    const std::int64_t interval = d.suite.navIntervalMs;
    // The last record is the first one at or after the end of the margin.
    const std::int64_t count = (lastMs + kMarginMs - startMs + interval - 1) / interval + 1;
    if (startMs < 0 || startMs + (count - 1) * interval >= kMsPerDay)
        throw SynthError("line " + std::to_string(line.index + 1) +
                         ": with its navigation (2 s either side) the line must lie within one "
                         "day, as the suite's times of day do");
    if (count > kMostRecords)
        throw SynthError("line " + std::to_string(line.index + 1) +
                         ": more than 2000000 navigation records; make NavInterval longer");
    std::vector<SuiteNavigationRecord> records;
    records.reserve(static_cast<std::size_t>(count));
    for (std::int64_t i = 0; i < count; ++i) {
        const std::int64_t timeMs = startMs + i * interval;
        SuiteNavigationRecord record =
            NavigationAt(d, line, static_cast<double>(timeMs - firstMs) / 1000.0);
        record.timeOfDayMs = timeMs;
        if (d.suite.badRecordEvery > 0 && (i + 1) % d.suite.badRecordEvery == 0) {
            record.usable = false;
            record.x += kWildOffsetM;
            record.y -= kWildOffsetM;
        }
        records.push_back(record);
    }
    return records;
}

// Fixed-point text with kTextDecimals decimals, whatever the locale.
void AppendNumber(std::string& text, double value) {
    char digits[64];
    const auto result = std::to_chars(digits, digits + sizeof digits, value,
                                      std::chars_format::fixed, kTextDecimals);
    text.append(digits, result.ptr);
}

double AsText(double value) {
    std::string text;
    AppendNumber(text, value);
    double parsed = 0.0;
    std::from_chars(text.data(), text.data() + text.size(), parsed);
    return parsed;
}

std::int32_t AsInteger32(double value) {
    const double rounded = std::round(value);
    if (!(std::abs(rounded) <= std::numeric_limits<std::int32_t>::max()))
        throw SynthError("the planned line does not fit the 32-bit grid fields of a 0x0E record");
    return static_cast<std::int32_t>(rounded);
}

// The planned points rounded as the field that holds them rounds them.
double AsWritten(double value, const SuiteSetup& suite) {
    if (suite.lineFiles == LineFileKind::Raw) return AsText(value);
    return suite.plannedLine == PlannedLineRecord::Points32 ? AsInteger32(value) : value;
}

std::optional<SuitePlannedLine> PlannedLine(const SurveyDescription& d, const SyntheticLine& line) {
    const SuiteSetup& suite = d.suite;
    if (suite.lineFiles == LineFileKind::Edited && suite.plannedLine == PlannedLineRecord::None)
        return std::nullopt;
    char number[16];
    std::snprintf(number, sizeof number, " %03d", line.index + 1);
    SuitePlannedLine planned;
    planned.name = (d.name + number).substr(0, kLongestName);
    for (const EnsembleTruth* end : {&line.truth.front(), &line.truth.back()})
        planned.points.push_back({AsWritten(suite.gridX + end->position.x, suite),
                                  AsWritten(suite.gridY + end->position.y, suite)});
    return planned;
}

void AppendRecord(ByteWriter& file, std::uint16_t type, std::span<const std::uint8_t> payload) {
    const auto length = static_cast<std::uint16_t>(payload.size());
    file.U16(length);
    file.U16(type);
    file.Append(payload);
    file.U16(length);  // the trailer repeats the length
}

std::vector<std::uint8_t> Planned32Payload(const SuitePlannedLine& planned) {
    ByteWriter w;
    w.U16(static_cast<std::uint16_t>(planned.points.size()));
    w.Zeros(2);
    for (const auto coordinate : {&GridPoint::x, &GridPoint::y}) {
        for (const GridPoint& point : planned.points)
            w.I32(AsInteger32(point.*coordinate));
        w.Zeros(4 * (kPlanned32Points - planned.points.size()));
    }
    w.Text(planned.name, planned.name.size());
    w.U8(0);
    return w.Take();
}

std::vector<std::uint8_t> Planned128Payload(const SuitePlannedLine& planned) {
    ByteWriter w;
    w.U16(static_cast<std::uint16_t>(planned.points.size()));
    w.Zeros(2);
    w.U16(0);  // no sides
    w.Zeros(2);
    for (const auto coordinate : {&GridPoint::x, &GridPoint::y}) {
        for (const GridPoint& point : planned.points)
            w.F64(point.*coordinate);
        w.Zeros(8 * (kPlanned128Points - planned.points.size()));
    }
    w.Zeros(8 * kPlanned128Points);  // the third value of every point
    w.Text(planned.name, kPlanned128NameBytes);
    w.Zeros(kPlanned128SideBytes);
    return w.Take();
}

// Kind 5 holds four values per depth whose non-zero mean is the depth; kind 1 one value.
void WriteDepths(ByteWriter& w, double depth, bool fourValues) {
    const std::array<double, 4> values =
        fourValues ? std::array{depth - kKindFiveSpreadM, depth + kKindFiveSpreadM, 0.0, depth}
                   : std::array{depth, 0.0, 0.0, 0.0};
    for (double value : values)
        w.F64(value);
}

std::vector<std::uint8_t> NavigationPayload(const SuiteNavigationRecord& record, bool fourValues) {
    ByteWriter w;
    w.U32(fourValues ? 5 : 1);
    w.U32(record.usable ? 0 : 1);
    w.F64(static_cast<double>(record.timeOfDayMs) / 1000.0);
    w.F64(record.x);
    w.F64(record.y);
    WriteDepths(w, record.depth1M, fourValues);
    WriteDepths(w, record.depth2M, fourValues);
    for (double value : {record.headingDeg, record.pitchDeg, record.rollDeg, record.verticalMs})
        w.F64(value);
    return w.Take();
}

void AppendLine(std::string& text, std::string_view head, std::initializer_list<double> values) {
    text += head;
    for (double value : values) {
        text += ' ';
        AppendNumber(text, value);
    }
    text += "\r\n";
}

void AppendTimedLine(std::string& text, std::int64_t timeOfDayMs, std::string_view tag,
                     std::initializer_list<double> values) {
    AppendNumber(text, static_cast<double>(timeOfDayMs) / 1000.0);
    text += ' ';
    AppendLine(text, tag, values);
}

}  // namespace

SuiteNavigationRecord NavigationAt(const SurveyDescription& d, const SyntheticLine& line,
                                   double lineTimeS) {
    const BoatState boat = BoatAt(d, line.motion, lineTimeS);
    SuiteNavigationRecord record;
    record.x = d.suite.gridX + boat.position.x;
    record.y = d.suite.gridY + boat.position.y;
    record.depth1M = boat.bedDepthM;
    record.depth2M = boat.bedDepthM + kSecondSounderBelowM;
    record.headingDeg = boat.headingDeg;
    record.pitchDeg = boat.pitchDeg;
    record.rollDeg = boat.rollDeg;
    return record;
}

SuiteLine MakeSuiteLine(const SurveyDescription& description, const SyntheticLine& line) {
    return {NavigationRecords(description, line), PlannedLine(description, line)};
}

std::vector<std::uint8_t> EncodeEditedFile(const SuiteLine& line, PlannedLineRecord plannedType) {
    ByteWriter file;
    if (line.planned && plannedType == PlannedLineRecord::Points32)
        AppendRecord(file, kPlanned32Type, Planned32Payload(*line.planned));
    if (line.planned && plannedType == PlannedLineRecord::Points128)
        AppendRecord(file, kPlanned128Type, Planned128Payload(*line.planned));
    for (std::size_t i = 0; i < line.records.size(); ++i)
        AppendRecord(file, kNavigationType, NavigationPayload(line.records[i], i % 2 == 1));
    return file.Take();
}

std::string EncodeRawLineFile(const SuiteLine& line) {
    std::string text = "RAWLINE 1\r\n";
    if (line.planned) {
        text += "NAME " + line.planned->name + "\r\n";
        for (const GridPoint& point : line.planned->points)
            AppendLine(text, "PLAN", {point.x, point.y});
    }
    for (const SuiteNavigationRecord& r : line.records) {
        AppendTimedLine(text, r.timeOfDayMs, r.usable ? "POS" : "BADPOS", {r.x, r.y});
        AppendTimedLine(text, r.timeOfDayMs, "DEPTH", {r.depth1M, r.depth2M});
        AppendTimedLine(text, r.timeOfDayMs, "HPR", {r.headingDeg, r.pitchDeg, r.rollDeg});
        AppendTimedLine(text, r.timeOfDayMs, "VERT", {r.verticalMs});
    }
    return text;
}

}  // namespace fluvex::synth
