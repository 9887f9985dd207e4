#include "synth/TruthJson.h"

#include "synth/SurveyTime.h"

namespace fluvex::synth {

namespace {

using nlohmann::json;

json Conventions() {
    return {
        {"axes", "earth axes east, north, up; velocities in m/s, depths and ranges in metres"},
        {"stored_velocities",
         "profile and bottom-track velocities in the file are rounded to the nearest mm/s, as the "
         "instrument stores them; the velocities here are not rounded"},
        {"water_velocity",
         "over ground, averaged over the cell's depth span (vertical, below the transducer) as "
         "the instrument averages a cell; horizontally uniform, so all four beams see it; null "
         "for a cell wholly below the bed"},
        {"bottom_track", "the ground's velocity past the instrument: the boat velocity negated"},
        {"attitude",
         "degrees as stored: heading clockwise from north (true, no declination), pitch bow up, "
         "roll starboard down; instrument to earth = heading * pitch * roll rotations"},
        {"bad_cells",
         "a cell is stored bad (-32768) in a beam once its far edge lies beyond that beam's bed "
         "range; in instrument and earth frames in all four beams when any beam is bad"},
        {"position",
         "east/north metres from the survey's first ensemble; latitude/longitude from them on a "
         "WGS 84 local tangent plane at that ensemble"},
        {"noise", "Gaussian, added to the stored velocities only; the truth is noise-free"},
    };
}

json Discharge(const SyntheticLine& line) {
    const LineTruth& t = line.line;
    const auto edge = [](const EdgeTruth& e) {
        return json{{"discharge_m3_s", e.Discharge()},
                    {"distance_m", e.distanceM},
                    {"coefficient", e.coefficient},
                    {"depth_m", e.depthM},
                    {"speed_m_s", e.speedMs}};
    };
    return {
        {"units", "m3/s, magnitudes"},
        {"layers",
         "top: water surface to the top edge of the first cell (transducer depth + bin-1 distance "
         "- cell size / 2); measured: from there to the bottom edge of the last good cell; "
         "bottom: from there (from the first cell's top edge when no cell is good) to the bed"},
        {"time_weighting",
         "each ensemble counts for the time since the previous ensemble; the first for none"},
        {"edges",
         "coefficient * distance from the line's end ensemble to the bank * depth-averaged water "
         "speed * depth at that ensemble; coefficient 0.31 (triangular) where the bed reaches the "
         "bank at depth 0, 0.91 (rectangular) at a vertical bank"},
        {"top", t.discharge.top},
        {"measured", t.discharge.measured},
        {"bottom", t.discharge.bottom},
        {"left_edge", edge(t.left)},
        {"right_edge", edge(t.right)},
        {"start_bank", t.startsAtLeftBank ? "left" : "right"},
        {"total", t.Total()},
        {"track_exact",
         {{"discharge_m3_s", t.trackExact},
          {"meaning",
           "through the vertical surface under the track from the first to the last ensemble, "
           "integrated continuously; compare with top + measured + bottom"}}},
    };
}

json Setup(const SurveyDescription& d, int lineIndex) {
    const InstrumentSetup& i = d.instrument;
    static constexpr const char* kFrames[] = {"beam", "instrument", "earth"};
    static constexpr const char* kBlocks[] = {"2000", "100", "104", "105", "5410"};
    json blocks = json::array();
    for (NavigationKind kind : d.navigation.blocks)
        blocks.push_back(kBlocks[static_cast<std::size_t>(kind)]);
    return {
        {"line", lineIndex + 1},
        {"lines", d.lines},
        {"frame", kFrames[static_cast<std::size_t>(i.frame)]},
        {"beam_angle_deg", i.beamAngleDeg},
        {"convex", i.convex},
        {"mounting_yaw_deg", i.mountingYawDeg},
        {"cells", i.cells},
        {"cell_size_m", i.CellSizeM()},
        {"blank_m", i.blankCm / 100.0},
        {"bin1_distance_m", i.bin1Cm / 100.0},
        {"transducer_depth_m", i.TransducerDepthM()},
        {"first_cell_top_m", i.FirstCellTopM()},
        {"bottom_track", i.bottomTrack},
        {"bottom_track_lost", i.bottomTrackLost},
        {"interval_s", d.track.intervalHundredths / 100.0},
        {"ensembles", d.track.ensembles},
        {"section",
         {{"width_m", d.section.Width()},
          {"max_depth_m", d.section.MaxDepth()},
          {"azimuth_deg", d.sectionAzimuthDeg}}},
        {"water",
         {{"mean_speed_m_s", d.water.MeanSpeed()},
          {"direction", {d.water.Direction().x, d.water.Direction().y}},
          {"power_law_exponent", d.water.Exponent()}}},
        {"noise",
         {{"enabled", d.noise.enabled},
          {"seed", d.noise.seed},
          {"velocity_std_mm_s", d.noise.velocityStdMmS},
          {"bottom_track_std_mm_s", d.noise.bottomTrackStdMmS}}},
        {"navigation_blocks", blocks},
    };
}

json Vector2(Vec3 v) {
    return json::array({v.x, v.y});
}

json EnsembleJson(const EnsembleTruth& t, const Pd0Ensemble& e, std::size_t index) {
    json water = json::array();
    for (const auto& cell : t.water)
        water.push_back(cell ? json::array({cell->x, cell->y, cell->z}) : json(nullptr));
    return {
        {"index", index},
        {"number", e.variable.number},
        {"time_s", t.lineTimeS},
        {"rtc", IsoText(ToCivil(t.clockHundredths))},
        {"time_tag_ms", e.fixed.timeTagMs},
        {"east_m", t.position.x},
        {"north_m", t.position.y},
        {"latitude", t.geographic.latitude},
        {"longitude", t.geographic.longitude},
        {"station_m", t.station},
        {"depth_m", t.depthM},
        {"boat_velocity", Vector2(t.boatVelocity)},
        {"heading", t.headingDeg},
        {"pitch", t.pitchDeg},
        {"roll", t.rollDeg},
        {"bed_range_m", t.bedRangeM},
        {"bed_below_transducer_m", t.bedBelowTransducerM},
        {"good_cells", t.goodCells},
        {"discharge_m3_s2",
         {{"top", t.unitDischarge.top},
          {"measured", t.unitDischarge.measured},
          {"bottom", t.unitDischarge.bottom}}},
        {"water_velocity", water},
    };
}

json PlannedLineJson(const std::optional<SuitePlannedLine>& planned) {
    if (!planned) return nullptr;
    json points = json::array();
    for (const GridPoint& point : planned->points)
        points.push_back({point.x, point.y});
    return {{"name", planned->name}, {"points", points}};
}

void AddNavigationTruth(json& ensemble, const SuiteNavigationRecord& at) {
    ensemble["grid_x"] = at.x;
    ensemble["grid_y"] = at.y;
    ensemble["sounder_depth1_m"] = at.depth1M;
    ensemble["sounder_depth2_m"] = at.depth2M;
    ensemble["nav_heading"] = at.headingDeg;
    ensemble["nav_pitch"] = at.pitchDeg;
    ensemble["nav_roll"] = at.rollDeg;
}

}  // namespace

json TruthJson(const SurveyDescription& description, const SyntheticLine& line) {
    json ensembles = json::array();
    for (std::size_t k = 0; k < line.truth.size(); ++k)
        ensembles.push_back(EnsembleJson(line.truth[k], line.ensembles[k], k));
    return {
        {"generator", "fluvex-synth"},  {"file", line.stem + ".PD0"},
        {"conventions", Conventions()}, {"setup", Setup(description, line.index)},
        {"discharge", Discharge(line)}, {"ensembles", ensembles},
    };
}

json SuiteTruthJson(const SurveyDescription& description, const SyntheticLine& line,
                    const SuitePaths& paths, const SuiteLine& suiteLine) {
    json truth = TruthJson(description, line);
    truth["file"] = "raw/" + line.stem + ".000";
    truth["conventions"]["suite"] =
        "navigation values are exact, not rounded: grid = GridX/GridY + east/north; sounder "
        "depth 1 = the bed below the surface at the boat, depth 2 = depth 1 + 0.10 m; nav heading "
        "= the boat's heading (the recorded heading plus the mounting yaw), 0-360, pitch and roll "
        "as the head's; per ensemble, the values at its time; planned points as written";
    truth["suite"] = {{"log", paths.log},
                      {"line_file", paths.lineFile},
                      {"raw_file", paths.rawFile},
                      {"planned_line", PlannedLineJson(suiteLine.planned)}};
    json& ensembles = truth["ensembles"];
    for (std::size_t k = 0; k < line.truth.size(); ++k)
        AddNavigationTruth(ensembles[k], NavigationAt(description, line, line.truth[k].lineTimeS));
    return truth;
}

}  // namespace fluvex::synth
