#include "synth/SurveyDescription.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <fstream>
#include <numbers>
#include <sstream>
#include <utility>

#include "synth/IniDocument.h"
#include "synth/SurveyTime.h"
#include "synth/SynthError.h"

namespace fluvex::synth {

namespace {

bool SameWord(std::string_view a, std::string_view b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
        return std::tolower(static_cast<unsigned char>(x)) ==
               std::tolower(static_cast<unsigned char>(y));
    });
}

std::optional<double> ParseNumber(std::string_view text) {
    if (!text.empty() && text.front() == '+') text.remove_prefix(1);
    double value = 0.0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc{} || end != text.data() + text.size() || !std::isfinite(value))
        return std::nullopt;
    return value;
}

// Splits at commas and blanks, dropping empty pieces.
std::vector<std::string_view> Tokens(std::string_view text) {
    std::vector<std::string_view> tokens;
    while (!text.empty()) {
        const std::size_t end = std::min(text.find_first_of(", \t"), text.size());
        if (end > 0) tokens.push_back(text.substr(0, end));
        text.remove_prefix(std::min(end + 1, text.size()));
    }
    return tokens;
}

// Typed reading of the description's keys with messages that name the line and key.
class DescriptionReader {
public:
    explicit DescriptionReader(IniDocument ini) : ini_(std::move(ini)) {}

    std::optional<IniValue> Raw(std::string_view section, std::string_view key) {
        section_ = section;
        key_ = key;
        return ini_.Take(section, key);
    }

    double Number(std::string_view section, std::string_view key, double fallback, double min,
                  double max) {
        const auto raw = Raw(section, key);
        return raw ? NumberIn(*raw, min, max) : fallback;
    }

    int Integer(std::string_view section, std::string_view key, int fallback, int min, int max) {
        const auto raw = Raw(section, key);
        if (!raw) return fallback;
        const double value = NumberIn(*raw, min, max);
        if (value != std::floor(value)) Fail(*raw, "must be a whole number");
        return static_cast<int>(value);
    }

    // A value held as a whole number of `unit` (0.01 for centimetres given in metres).
    int Scaled(std::string_view section, std::string_view key, double fallback, double min,
               double max, double unit, std::string_view unitName) {
        const auto raw = Raw(section, key);
        const double value = raw ? NumberIn(*raw, min, max) : fallback;
        const double units = value / unit;
        if (raw && std::abs(units - std::round(units)) > 1e-6)
            Fail(*raw, "must be a whole number of " + std::string(unitName));
        return static_cast<int>(std::lround(units));
    }

    bool Flag(std::string_view section, std::string_view key, bool fallback) {
        const auto raw = Raw(section, key);
        if (!raw) return fallback;
        if (raw->text == "1" || SameWord(raw->text, "true")) return true;
        if (raw->text == "0" || SameWord(raw->text, "false")) return false;
        Fail(*raw, "must be 1, 0, true or false");
    }

    // The index of the word among `words`, or `fallback` when the key is missing.
    std::size_t Choice(std::string_view section, std::string_view key,
                       std::initializer_list<std::string_view> words, std::size_t fallback) {
        const auto raw = Raw(section, key);
        if (!raw) return fallback;
        const auto found = std::find_if(words.begin(), words.end(),
                                        [&](std::string_view w) { return SameWord(w, raw->text); });
        if (found == words.end()) {
            std::string list;
            for (std::string_view w : words)
                list += (list.empty() ? "" : ", ") + std::string(w);
            Fail(*raw, "must be one of " + list);
        }
        return static_cast<std::size_t>(found - words.begin());
    }

    double NumberIn(const IniValue& raw, double min, double max) const {
        const auto value = ParseNumber(raw.text);
        if (!value) Fail(raw, "'" + raw.text + "' is not a number");
        if (*value < min || *value > max)
            Fail(raw, "must lie between " + Text(min) + " and " + Text(max));
        return *value;
    }

    [[noreturn]] void Fail(const IniValue& value, const std::string& problem) const {
        throw SynthError("line " + std::to_string(value.line) + ": [" + section_ + "] " + key_ +
                         " " + problem);
    }

    void RejectUnknownKeys() const { ini_.RejectUnknownKeys(); }

private:
    static std::string Text(double value) {
        char text[32];
        const auto result = std::to_chars(text, text + sizeof text, value);
        return std::string(text, result.ptr);
    }

    IniDocument ini_;
    std::string section_;  // of the key read last, for messages
    std::string key_;
};

bool IsFileNameSafe(std::string_view text) {
    return std::all_of(text.begin(), text.end(), [](char c) {
        return std::isalnum(static_cast<unsigned char>(c)) || c == '_' || c == '-';
    });
}

void ReadSurvey(DescriptionReader& r, SurveyDescription& d) {
    if (const auto name = r.Raw("Survey", "Name")) {
        if (name->text.empty() || name->text.size() > 64 || !IsFileNameSafe(name->text))
            r.Fail(*name, "may hold only letters, digits, '_' and '-'");
        d.name = name->text;
    }
    d.lines = r.Integer("Survey", "Lines", 1, 1, 999);
    CivilTime start{2024, 1, 1, 12, 0, 0, 0};
    if (const auto text = r.Raw("Survey", "Start")) {
        const auto parsed = ParseCivilTime(text->text);
        if (!parsed || parsed->year < 2000 || parsed->year > 2099)
            r.Fail(*text, "must be a time YYYY-MM-DDTHH:MM:SS.hh in the years 2000-2099");
        start = *parsed;
    }
    d.startHundredths = ToHundredths(start);
    const auto defaultTag = static_cast<double>(HundredthsOfDay(d.startHundredths) * 10);
    d.timeTagStartMs = static_cast<std::uint32_t>(
        r.Integer("Survey", "TimeTagStartMs", static_cast<int>(defaultTag), 0, 2'000'000'000));
    d.lineGapHundredths =
        r.Scaled("Survey", "LineGap", 30.0, 0.0, 86'400.0, 0.01, "hundredths of a second");
}

CrossSection ReadBedPoints(DescriptionReader& r) {
    const auto raw = r.Raw("Section", "Points");
    if (!raw) throw SynthError("[Section] Points is required for the points profile");
    std::vector<BedPoint> points;
    for (std::string_view token : Tokens(raw->text)) {
        const std::size_t colon = token.find(':');
        const auto station = ParseNumber(token.substr(0, colon));
        const auto depth =
            colon == std::string_view::npos ? std::nullopt : ParseNumber(token.substr(colon + 1));
        if (!station || !depth) r.Fail(*raw, "pieces must be station:depth, as 12.5:2.8");
        if (*depth > 200.0) r.Fail(*raw, "go deeper than 200 m");
        points.push_back({*station, *depth});
    }
    try {
        return CrossSection::Polyline(std::move(points));
    } catch (const SynthError& error) {
        r.Fail(*raw, std::string("do not make a bed: ") + error.what());
    }
}

void ReadSection(DescriptionReader& r, SurveyDescription& d) {
    enum Profile : std::size_t { Parabolic, Rectangular, Points };
    const std::size_t profile =
        r.Choice("Section", "Profile", {"parabolic", "rectangular", "points"}, Parabolic);
    // Width and depth make the parabola and the rectangle; points carry their own.
    const double width = r.Number("Section", "Width", 60.0, 0.1, 10'000.0);
    const double depth = r.Number("Section", "Depth", 3.0, 0.1, 200.0);
    if (profile == Parabolic) d.section = CrossSection::Parabolic(width, depth);
    if (profile == Rectangular) d.section = CrossSection::Polyline({{0.0, depth}, {width, depth}});
    if (profile == Points) d.section = ReadBedPoints(r);
    d.sectionAzimuthDeg = r.Number("Section", "Azimuth", 90.0, -360.0, 360.0);
}

void ReadWater(DescriptionReader& r, SurveyDescription& d) {
    const bool powerLaw = r.Choice("Water", "Profile", {"uniform", "powerlaw"}, 0) == 1;
    const double speed = r.Number("Water", "Speed", 0.5, 0.0, 10.0);
    const double direction = r.Number("Water", "Direction", 0.0, -360.0, 360.0);
    const double exponent = r.Number("Water", "Exponent", 1.0 / 6.0, 0.0, 1.0);
    d.water = WaterFlow(speed, direction, powerLaw ? exponent : 0.0);
}

Oscillation ReadOscillation(DescriptionReader& r, std::string_view name, double mean,
                            double limit) {
    const std::string amplitude = std::string(name) + "Amplitude";
    const std::string period = std::string(name) + "Period";
    return {r.Number("Attitude", name, mean, -limit, limit),
            r.Number("Attitude", amplitude, 0.0, 0.0, limit),
            r.Number("Attitude", period, 10.0, 0.01, 86'400.0)};
}

void ReadTrack(DescriptionReader& r, SurveyDescription& d) {
    TrackSetup& t = d.track;
    t.ensembles = r.Integer("Track", "Ensembles", 100, 1, 10'000);
    t.intervalHundredths =
        r.Scaled("Track", "Interval", 1.0, 0.01, 3600.0, 0.01, "hundredths of a second");
    const double width = d.section.Width();
    t.startStation = r.Number("Track", "StartStation", 0.1 * width, 0.0, width);
    t.courseDeg = r.Number("Track", "Course", d.sectionAzimuthDeg, -360.0, 360.0);
    t.speed = r.Number("Track", "Speed", 0.25, 0.001, 10.0);
    t.lineShift = r.Number("Track", "LineShift", 0.0, -1000.0, 1000.0);
    t.heading = ReadOscillation(r, "Heading", t.courseDeg, 360.0);
    t.pitch = ReadOscillation(r, "Pitch", 0.0, 30.0);
    t.roll = ReadOscillation(r, "Roll", 0.0, 30.0);
}

void ReadInstrument(DescriptionReader& r, SurveyDescription& d) {
    InstrumentSetup& i = d.instrument;
    i.frame = static_cast<CoordinateFrame>(
        r.Choice("Instrument", "Frame", {"beam", "instrument", "earth"}, std::size_t{2}));
    i.beamAngleDeg = r.Integer("Instrument", "BeamAngle", 20, 20, 30);
    if (i.beamAngleDeg % 5 != 0) r.Fail(*r.Raw("Instrument", "BeamAngle"), "must be 20, 25 or 30");
    i.convex = r.Flag("Instrument", "Convex", true);
    i.cells = r.Integer("Instrument", "Cells", 30, 1, static_cast<int>(kMaxCells));
    i.cellCm = r.Scaled("Instrument", "CellSize", 0.25, 0.01, 20.0, 0.01, "cm");
    i.blankCm = r.Scaled("Instrument", "Blank", 0.25, 0.0, 20.0, 0.01, "cm");
    const double bin1Default = (i.blankCm + i.cellCm) / 100.0;
    i.bin1Cm = r.Scaled("Instrument", "Bin1Distance", bin1Default, 0.01, 50.0, 0.01, "cm");
    if (2 * i.bin1Cm <= i.cellCm)
        r.Fail(*r.Raw("Instrument", "Bin1Distance"), "must exceed half a cell");
    i.transducerDepthDm = r.Scaled("Instrument", "TransducerDepth", 0.2, 0.0, 10.0, 0.1, "dm");
    i.bottomTrack = r.Flag("Instrument", "BottomTrack", true);
    i.bottomTrackLost = r.Number("Instrument", "BottomTrackLost", 0.0, 0.0, 1.0);
    i.speedOfSound = r.Integer("Instrument", "SpeedOfSound", 1500, 1400, 1600);
    i.temperatureCdeg = static_cast<int>(
        std::lround(100.0 * r.Number("Instrument", "Temperature", 15.0, -5.0, 40.0)));
    i.salinity = r.Integer("Instrument", "Salinity", 0, 0, 40);
    i.mountingYawDeg = r.Number("Instrument", "MountingYaw", 0.0, -180.0, 180.0);
}

void ReadEcho(DescriptionReader& r, SurveyDescription& d) {
    d.echo.levelAt1m = r.Number("Echo", "Level", 180.0, 0.0, 255.0);
    d.echo.attenuationPerM = r.Number("Echo", "Attenuation", 1.5, 0.0, 100.0);
    d.echo.noiseFloor = r.Number("Echo", "NoiseFloor", 40.0, 0.0, 255.0);
}

void ReadNoise(DescriptionReader& r, SurveyDescription& d) {
    d.noise.enabled = r.Flag("Noise", "Enabled", false);
    d.noise.seed = static_cast<std::uint64_t>(r.Integer("Noise", "Seed", 1, 0, 2'000'000'000));
    d.noise.velocityStdMmS = r.Number("Noise", "VelocityStd", 20.0, 0.0, 1000.0);
    d.noise.bottomTrackStdMmS = r.Number("Noise", "BottomTrackStd", 5.0, 0.0, 1000.0);
}

void ReadNavigation(DescriptionReader& r, SurveyDescription& d) {
    NavigationSetup& n = d.navigation;
    if (const auto blocks = r.Raw("Navigation", "Blocks")) {
        static constexpr std::pair<std::string_view, NavigationKind> kNames[] = {
            {"2000", NavigationKind::Binary2000},
            {"100", NavigationKind::Gga100},
            {"104", NavigationKind::Gga104},
            {"105", NavigationKind::Vtg105},
            {"5410", NavigationKind::Compact5410}};
        for (std::string_view token : Tokens(blocks->text)) {
            const auto* known =
                std::find_if(std::begin(kNames), std::end(kNames),
                             [&](const auto& entry) { return entry.first == token; });
            if (known == std::end(kNames))
                r.Fail(*blocks,
                       "'" + std::string(token) + "' is none of 2000, 100, 104, 105, 5410");
            if (std::find(n.blocks.begin(), n.blocks.end(), known->second) == n.blocks.end())
                n.blocks.push_back(known->second);
        }
    }
    n.origin = {r.Number("Navigation", "Latitude", 0.0, -85.0, 85.0),
                r.Number("Navigation", "Longitude", 0.0, -180.0, 180.0)};
    n.clockOffsetMs = r.Integer("Navigation", "ClockOffsetMs", 0, -86'400'000, 86'400'000);
    n.fixAgeS = r.Number("Navigation", "FixAge", 0.5, 0.0, 60.0);
    n.fixIntervalS = r.Number("Navigation", "FixInterval", 1.0, 0.0, 60.0);
}

void ReadSuite(DescriptionReader& r, SurveyDescription& d) {
    SuiteSetup& s = d.suite;
    s.lineFiles =
        static_cast<LineFileKind>(r.Choice("Suite", "LineFiles", {"none", "kq2", "raw"}, 0));
    if (const auto folder = r.Raw("Suite", "LogFolder")) {
        if (folder->text.size() != 4 || !IsFileNameSafe(folder->text))
            r.Fail(*folder, "must be exactly four letters, digits, '_' or '-'");
        s.logFolder = folder->text;
    }
    s.navIntervalMs = r.Scaled("Suite", "NavInterval", 0.5, 0.001, 60.0, 0.001, "milliseconds");
    s.gridX = r.Number("Suite", "GridX", 500'000.0, -1e9, 1e9);
    s.gridY = r.Number("Suite", "GridY", 5'000'000.0, -1e9, 1e9);
    s.plannedLine = static_cast<PlannedLineRecord>(
        r.Choice("Suite", "PlannedLine", {"0x38", "0x0E", "none"}, 0));
    s.badRecordEvery = r.Integer("Suite", "BadRecordEvery", 0, 0, 2'000'000'000);
    // The suite matches pings to its navigation by the time tag as a time of day.
    if (const auto tag = r.Raw("Survey", "TimeTagStartMs"); tag && s.Enabled())
        r.Fail(*tag, "cannot be set with [Suite] LineFiles: the time tags are the time of day");
}

}  // namespace

double Oscillation::At(double seconds) const {
    return mean + amplitude * std::sin(2.0 * std::numbers::pi * seconds / periodS);
}

double InstrumentSetup::FirstCellTopM() const {
    return (transducerDepthDm * 10 + bin1Cm) / 100.0 - CellSizeM() / 2.0;
}

double EchoModel::CountsAt(double slantRangeM) const {
    const double spreading = 20.0 * std::log10(std::max(slantRangeM, 0.01)) / 0.45;
    return std::clamp(levelAt1m - spreading - attenuationPerM * slantRangeM, noiseFloor, 255.0);
}

SurveyDescription ParseSurveyDescription(std::string_view iniText) {
    DescriptionReader reader(IniDocument::Parse(iniText));
    SurveyDescription d;
    ReadSurvey(reader, d);
    ReadSection(reader, d);
    ReadWater(reader, d);
    ReadTrack(reader, d);
    ReadInstrument(reader, d);
    ReadEcho(reader, d);
    ReadNoise(reader, d);
    ReadNavigation(reader, d);
    ReadSuite(reader, d);
    reader.RejectUnknownKeys();
    return d;
}

SurveyDescription ReadSurveyDescription(const std::filesystem::path& path) {
    std::ifstream file(path, std::ios::binary);
    if (!file) throw SynthError("the file cannot be read");
    std::ostringstream text;
    text << file.rdbuf();
    return ParseSurveyDescription(text.str());
}

}  // namespace fluvex::synth
