// fluvex-cli info and ensembles: what the reader makes of instrument files, as a table or JSON.

#include <nlohmann/json.hpp>

#include <algorithm>
#include <iomanip>
#include <memory>
#include <optional>
#include <ostream>

#include "app/cli/ArgumentList.h"
#include "app/cli/Commands.h"
#include "app/cli/JsonOutput.h"
#include "app/cli/OpenedSurvey.h"
#include "model/EnsembleQuantities.h"
#include "model/TextUtil.h"
#include "project/Database.h"
#include "project/SettingsOptions.h"

namespace fluvex {

namespace {

using nlohmann::json;

// The instrument clock as "YYYY-MM-DDThh:mm:ss.hh", month counted from 1.
std::string ClockText(const Ensemble& ensemble) {
    const VariableLeader& clock = ensemble.variableLeader;
    return FormatPadded(2000 + clock.RtcYear(), 4) + "-" + FormatPadded(clock.RtcMonth() + 1, 2) +
           "-" + FormatPadded(clock.RtcDay(), 2) + "T" + FormatPadded(clock.RtcHour(), 2) + ":" +
           FormatPadded(clock.RtcMinute(), 2) + ":" + FormatPadded(clock.RtcSecond(), 2) + "." +
           FormatPadded(clock.RtcHundredths(), 2);
}

std::string_view FrameName(CoordinateFrame frame) {
    switch (frame) {
        case CoordinateFrame::Beam:
            return "beam";
        case CoordinateFrame::Instrument:
            return "instrument";
        case CoordinateFrame::Ship:
            return "ship";
        case CoordinateFrame::Earth:
            return "earth";
    }
    return "unknown";
}

json LineSummary(Database& database, int line) {
    const auto ensembles = database.RecordedEnsembles(line);
    json summary{{"path", database.LinePath(line).string()},
                 {"name", database.LineName(line)},
                 {"reader", database.IsSonTekLine(line) ? "sontek" : "pd0"},
                 {"ensembles", ensembles.size()}};
    if (ensembles.empty()) return summary;
    auto cells = [](const Ensemble& e) { return e.fixedLeader.CellCount(); };
    const auto [fewest, most] = std::minmax_element(
        ensembles.begin(), ensembles.end(),
        [&](const Ensemble& a, const Ensemble& b) { return cells(a) < cells(b); });
    const Ensemble& first = ensembles.front();
    summary["cells_min"] = cells(*fewest);
    summary["cells_max"] = cells(*most);
    summary["frame"] = FrameName(first.fixedLeader.Frame());
    summary["beam_angle"] = first.fixedLeader.BeamAngleDegrees();
    summary["first_rtc"] = ClockText(first);
    summary["last_rtc"] = ClockText(ensembles.back());
    summary["with_bottom_track"] = database.HasBottomTrack(line);
    summary["with_position"] = database.HasPosition(line);
    summary["with_nav_record"] =
        std::count_if(ensembles.begin(), ensembles.end(), [](const Ensemble& e) {
            return e.navigation.positionValid && !e.Has(PresentBit::EmbeddedPosition);
        });
    const PlannedLine* planned = database.PlannedLine(line);
    summary["planned_points"] = planned ? planned->points.size() : 0;
    if (database.HasPosition(line)) {
        const std::optional<ValueRange> distances = database.DistanceRange(line);
        summary["dbl_min"] = distances ? distances->minimum : kRangeStart;
        summary["dbl_max"] = distances ? distances->maximum : -kRangeStart;
    }
    return summary;
}

void PrintSummaryTable(const json& lines, std::ostream& out) {
    out << std::left << std::setw(4) << "#" << std::setw(32) << "line" << std::right
        << std::setw(10) << "ensembles" << std::setw(8) << "cells" << std::setw(12) << "frame"
        << std::setw(7) << "angle"
        << "  first clock             bottom  position\n";
    int number = 0;
    for (const json& file : lines) {
        out << std::left << std::setw(4) << number++ << std::setw(32)
            << file["name"].get<std::string>() << std::right << std::setw(10)
            << file["ensembles"].get<size_t>();
        if (file.contains("frame")) {
            const std::string cells = std::to_string(file["cells_min"].get<int>()) + "-" +
                                      std::to_string(file["cells_max"].get<int>());
            out << std::setw(8) << cells << std::setw(12) << file["frame"].get<std::string>()
                << std::setw(7) << file["beam_angle"].get<double>() << "  " << std::left
                << std::setw(24) << file["first_rtc"].get<std::string>() << std::setw(8)
                << (file["with_bottom_track"].get<bool>() ? "yes" : "no")
                << (file["with_position"].get<bool>() ? "yes" : "no");
        }
        out << '\n';
    }
}

json CellTable(const Ensemble& ensemble, int16_t (*value)(const Ensemble&, int cell, int beam)) {
    json table = json::array();
    for (int cell = 0; cell < ensemble.cellBlocks.CellCount(); ++cell) {
        json row = json::array();
        for (int beam = 0; beam < 4; ++beam)
            row.push_back(value(ensemble, cell, beam));
        table.push_back(std::move(row));
    }
    return table;
}

json FourValues(const CellVelocity& v) {
    return json::array({v.east, v.north, v.up, v.echoIntensity});
}

json EnsembleRecord(int index, const Ensemble& recorded, bool processed) {
    const QuantityOptions quantities = CurrentQuantityOptions();
    Ensemble ensemble = recorded;  // EnsembleTime may mark an impossible clock
    const FixedLeader& fixed = ensemble.fixedLeader;
    const VariableLeader& variable = ensemble.variableLeader;
    json record{{"index", index},
                {"number", variable.EnsembleNumber()},
                {"rtc", ClockText(ensemble)},
                {"time_tag_ms", fixed.TimeTagMs()},
                {"time", EnsembleTime(ensemble, quantities.timingMode)},
                {"heading", variable.Heading() / 100.0},
                {"pitch", variable.Pitch() / 100.0},
                {"roll", variable.Roll() / 100.0},
                {"cells", fixed.CellCount()},
                {"cell_cm", fixed.DepthCellLengthCm()},
                {"blank_cm", fixed.BlankAfterTransmitCm()},
                {"bin1_cm", fixed.Bin1DistanceCm()},
                {"xmit_cm", fixed.TransmitPulseLengthCm()},
                {"transducer_depth_dm", variable.TransducerDepthDm()},
                {"coord", fixed.CoordinateTransform()}};
    if (HasBottomTrack(recorded)) {
        json ranges = json::array(), velocities = json::array();
        for (int beam = 0; beam < 4; ++beam) {
            ranges.push_back(recorded.bottomTrack.RangeCm(beam));
            velocities.push_back(recorded.bottomTrack.Velocity(beam));
        }
        record["bt_range_cm"] = ranges;
        record["bt_vel_mm_s"] = velocities;
    } else {
        record["bt_range_cm"] = nullptr;
        record["bt_vel_mm_s"] = nullptr;
    }
    record["vel"] = CellTable(
        recorded, [](const Ensemble& e, int c, int b) { return e.cellBlocks.Velocity(c, b); });
    record["intensity"] = CellTable(recorded, [](const Ensemble& e, int c, int b) {
        return static_cast<int16_t>(e.cellBlocks.EchoIntensity(c, b));
    });
    record["depth"] = Depth(recorded, quantities);
    const NavRecord& nav = recorded.navigation;
    record["position"] = nav.positionValid ? json{{"x", nav.x}, {"y", nav.y}} : json(nullptr);
    const bool hasTrack = nav.positionValid || nav.course != 0 || nav.speed != 0;
    record["nav"] = hasTrack ? json{{"course", nav.course}, {"speed", nav.speed}} : json(nullptr);
    if (processed) {
        json cells = json::array();
        for (const CellVelocity& cell : recorded.cells)
            cells.push_back(FourValues(cell));
        record["processed"] = std::move(cells);
        record["reference"] = FourValues(recorded.referenceVelocity);
        record["bottom_track_velocity"] = FourValues(recorded.bottomTrackVelocity);
    }
    return record;
}

}  // namespace

int RunInfoCommand(CommandContext& context) {
    const bool asJson = context.arguments.TakeFlag("--json");
    const std::vector<std::string> files = context.arguments.TakePositional();
    if (!context.arguments.Failed() && files.empty()) context.arguments.Fail("info needs FILE...");
    if (context.arguments.Failed()) return kExitUsage;

    const OpenedSurvey survey(files, context.err);
    Database& database = AppDatabase();
    json summaries = json::array();
    for (int line = 0; line < database.LineCount(); ++line)
        summaries.push_back(LineSummary(database, line));
    if (asJson)
        context.out << JsonText(summaries, 2) << '\n';
    else
        PrintSummaryTable(summaries, context.out);
    return survey.Status();
}

int RunEnsemblesCommand(CommandContext& context) {
    ArgumentList& arguments = context.arguments;
    const bool asJson = arguments.TakeFlag("--json");
    const bool processed = arguments.TakeFlag("--processed");
    const int first = arguments.TakeCount("--first").value_or(0);
    const std::optional<int> count = arguments.TakeCount("--count");
    const int line = arguments.TakeCount("--line").value_or(0);
    const std::vector<std::string> files = arguments.TakePositional();
    if (!arguments.Failed() && !asJson) arguments.Fail("ensembles writes JSON only: add --json");
    if (!arguments.Failed() && files.empty()) arguments.Fail("ensembles needs FILE...");
    if (arguments.Failed()) return kExitUsage;

    const OpenedSurvey survey(files, context.err);
    Database& database = AppDatabase();
    if (line >= database.LineCount()) {
        context.err << "fluvex-cli: no line " << line << ": " << database.LineCount()
                    << " line(s) loaded\n";
        return kExitFailure;
    }
    const auto ensembles = database.Ensembles(line);
    const size_t begin = std::min(static_cast<size_t>(first), ensembles.size());
    const size_t end =
        count ? std::min(ensembles.size(), begin + static_cast<size_t>(*count)) : ensembles.size();
    WriteJsonArrayIndent1(context.out, end - begin, [&](size_t k) {
        return EnsembleRecord(static_cast<int>(begin + k), ensembles[begin + k], processed);
    });
    context.out << '\n';
    return survey.Status();
}

}  // namespace fluvex
