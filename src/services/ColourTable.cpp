#include "services/ColourTable.h"

#include "services/CurrentColourTable.h"

#include <algorithm>
#include <cmath>

#include "model/TextUtil.h"
#include "services/AtomicFile.h"

namespace fluvex {

namespace {

constexpr int kFirstStopLine = 8;  // 0-based: the stops follow two reserved lines
constexpr int kFormat = 2;
// Magenta below, red above; magenta, blue, green, yellow, red from slow to fast.
constexpr std::string_view kDefaultContent =
    "2\r\n0.0\r\n0.2\r\n0.1\r\n0.0 16711935\r\n0.1 255\r\n0\r\n0\r\n"
    "16711935\r\n16711680\r\n65280\r\n65535\r\n255\r\n";
// The range the default file stands for: its header's 0.0 to 0.2 would show every river red.
constexpr double kDefaultMinimum = 0;
constexpr double kDefaultMaximum = 5;

std::vector<std::string_view> NonEmptyLines(std::string_view text) {
    std::vector<std::string_view> lines;
    while (!text.empty()) {
        const auto end = text.find('\n');
        if (auto line = Trim(text.substr(0, end)); !line.empty()) lines.push_back(line);
        if (end == std::string_view::npos) break;
        text.remove_prefix(end + 1);
    }
    return lines;
}

std::optional<ColourRef> ParseColour(std::string_view text) {
    const auto number = ParseInt(text);
    if (!number || *number < 0 || *number > 0xFFFFFF) return std::nullopt;
    return static_cast<ColourRef>(*number);
}

std::string Line(std::string_view text) {
    return std::string(text) + "\r\n";
}

}  // namespace

std::unique_ptr<ColourTable> ColourTable::Read(const std::filesystem::path& path,
                                               std::string& error) {
    std::string text;
    if (!ReadWholeFile(path, text)) {
        error = "cannot read colour file " + path.string();
        return nullptr;
    }
    const auto lines = NonEmptyLines(text);
    auto fail = [&](const std::string& what) {
        error = "colour file " + path.string() + ": " + what;
        return nullptr;
    };
    if (lines.size() < kFirstStopLine + 2) return fail("fewer than two colour stops");

    auto table = std::make_unique<ColourTable>();
    table->path_ = path;
    const auto format = ParseInt(lines[0]);
    const auto minimum = ParseDouble(lines[1]);
    const auto maximum = ParseDouble(lines[2]);
    const auto step = ParseDouble(lines[3]);
    if (!format || !minimum || !maximum || !step) return fail("bad header (lines 1 to 4)");

    for (auto [line, target] : {std::pair{lines[4], &table->below_}, {lines[5], &table->above_}}) {
        const auto space = line.find_first_of(" \t");
        const auto value = ParseDouble(line.substr(0, space));
        const auto colour =
            space == std::string_view::npos ? std::nullopt : ParseColour(line.substr(space));
        if (!value || !colour) return fail("bad out-of-range colour \"" + std::string(line) + "\"");
        *target = {*value, *colour};
    }
    for (int i = 6; i < kFirstStopLine; ++i)
        table->reserved_.push_back(ParseInt(lines[static_cast<size_t>(i)]).value_or(0));
    for (size_t i = kFirstStopLine; i < lines.size(); ++i) {
        const auto colour = ParseColour(lines[i]);
        if (!colour) return fail("bad colour \"" + std::string(lines[i]) + "\"");
        table->stops_.push_back(*colour);
    }
    table->properties_ = {*format,  0,        static_cast<int32_t>(table->stops_.size() + 2),
                          *minimum, *maximum, *step};
    // Every start shows the default file as the start that created it did.
    if (lines == NonEmptyLines(kDefaultContent)) table->SetRange(kDefaultMinimum, kDefaultMaximum);
    return table;
}

bool ColourTable::WriteDefaultFile(const std::filesystem::path& path, std::string* error) {
    return WriteFileAtomically(path, kDefaultContent, error);
}

bool ColourTable::Write(const std::filesystem::path& path, std::string* error) const {
    std::string text = Line(std::to_string(properties_.format ? properties_.format : kFormat)) +
                       Line(FormatShortest(properties_.minimum)) +
                       Line(FormatShortest(properties_.maximum)) +
                       Line(FormatShortest(properties_.step));
    for (const OutOfRange& range : {below_, above_})
        text += Line(FormatShortest(range.value) + " " + std::to_string(range.colour));
    for (int reserved : reserved_)
        text += Line(std::to_string(reserved));
    for (ColourRef stop : stops_)
        text += Line(std::to_string(stop));
    return WriteFileAtomically(path, text, error);
}

double ColourTable::StopPosition(double value) const {
    const double span = properties_.maximum - properties_.minimum;
    const double fraction = span > 0 ? (value - properties_.minimum) / span : 0;
    return std::clamp(fraction, 0.0, 1.0) * static_cast<double>(stops_.size() - 1);
}

ColourRef ColourTable::Colour(double value) const {
    if (std::isnan(value) || value < properties_.minimum) return below_.colour;
    if (value > properties_.maximum) return above_.colour;
    const double position = StopPosition(value);
    const size_t lower = std::min(static_cast<size_t>(position), stops_.size() - 2);
    const double t = position - static_cast<double>(lower);
    const ColourRef a = stops_[lower];
    const ColourRef b = stops_[lower + 1];
    auto mix = [t](int x, int y) { return static_cast<int>(std::lround(x + (y - x) * t)); };
    return MakeColour(mix(RedOf(a), RedOf(b)), mix(GreenOf(a), GreenOf(b)),
                      mix(BlueOf(a), BlueOf(b)));
}

int ColourTable::Index(double value) const {
    if (std::isnan(value) || value < properties_.minimum) return 0;
    if (value > properties_.maximum) return static_cast<int>(stops_.size()) + 1;
    return static_cast<int>(StopPosition(value)) + 1;
}

void ColourTable::SetRange(double minimum, double maximum) {
    properties_.minimum = minimum;
    properties_.maximum = maximum;
}

void ColourTable::SetStops(std::vector<ColourRef> stops) {
    if (stops.size() < 2) return;
    stops_ = std::move(stops);
    properties_.entryCount = static_cast<int32_t>(stops_.size() + 2);
}

void ColourTable::SetOutOfRangeColours(ColourRef below, ColourRef above) {
    below_.colour = below;
    above_.colour = above;
}

bool LoadColourTable(const std::filesystem::path& path, std::string* error) {
    std::error_code ec;
    const bool created = !std::filesystem::exists(path, ec);
    if (created && !ColourTable::WriteDefaultFile(path, error)) return false;
    std::string why;
    auto table = ColourTable::Read(path, why);
    if (!table) {
        if (error) *error = why;
        return false;
    }
    if (created) table->SetRange(0, 5);
    SetCurrentVelocityTable(std::move(table));
    return true;
}

}  // namespace fluvex
