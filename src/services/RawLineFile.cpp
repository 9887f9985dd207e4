#include "services/RawLineFile.h"

#include <algorithm>
#include <climits>
#include <optional>
#include <span>

#include "model/TextUtil.h"
#include "services/AtomicFile.h"

namespace fluvex {

namespace {

constexpr std::string_view kBlanks = " \t\r";

// The text up to the next line feed (without it); `text` keeps what follows.
std::string_view TakeLine(std::string_view& text) {
    const std::size_t end = text.find('\n');
    const std::string_view line = text.substr(0, end);
    text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
    return line;
}

void SplitFields(std::string_view line, std::vector<std::string_view>& fields) {
    fields.clear();
    std::size_t start = line.find_first_not_of(kBlanks);
    while (start != std::string_view::npos) {
        const std::size_t end = line.find_first_of(kBlanks, start);
        fields.push_back(line.substr(start, end - start));
        start = line.find_first_not_of(kBlanks, end);
    }
}

// Exactly N finite numbers, else nothing.
template <std::size_t N>
std::optional<std::array<double, N>> ParseNumbers(std::span<const std::string_view> fields) {
    if (fields.size() != N) return std::nullopt;
    std::array<double, N> numbers{};
    for (std::size_t i = 0; i < N; ++i) {
        const std::optional<double> number = ParseDouble(fields[i]);
        if (!number) return std::nullopt;
        numbers[i] = *number;
    }
    return numbers;
}

// At most `maxBytes` of UTF-8 text, never ending inside a character.
std::string_view CutAtCharacter(std::string_view text, std::size_t maxBytes) {
    if (text.size() <= maxBytes) return text;
    std::size_t end = maxBytes;
    while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80)
        --end;
    return text.substr(0, end);
}

}  // namespace

template <std::size_t N>
void RawLineFile::SensorSeries<N>::SortByTime() {
    // Stable, so that of samples at the same time the later line wins.
    std::ranges::stable_sort(samples, {}, &Sample::time);
}

template <std::size_t N>
std::array<double, N> RawLineFile::SensorSeries<N>::At(double time) const {
    const auto after = std::ranges::upper_bound(samples, time, {}, &Sample::time);
    return after == samples.begin() ? std::array<double, N>{} : std::prev(after)->values;
}

template <std::size_t N>
bool RawLineFile::SensorSeries<N>::Add(double time, std::span<const std::string_view> fields) {
    const auto values = ParseNumbers<N>(fields);
    if (values) samples.push_back({time, *values});
    return values.has_value();
}

bool RawLineFile::Open(const std::filesystem::path& path) {
    std::string text;
    if (ReadWholeFile(path, text)) return Parse(text);
    *this = RawLineFile{};
    return false;
}

bool RawLineFile::Parse(std::string_view text) {
    *this = RawLineFile{};
    // Editors on some systems start UTF-8 text files with a byte-order mark.
    constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";
    if (text.starts_with(kByteOrderMark)) text.remove_prefix(kByteOrderMark.size());
    Fields fields;
    SplitFields(TakeLine(text), fields);
    if (fields != Fields{"RAWLINE", "1"}) return false;
    while (!text.empty()) {
        const std::string_view line = Trim(TakeLine(text));
        if (line.empty() || line.front() == '#') continue;
        if (!ReadLine(line, fields)) ++skipped_;
    }
    depths_.SortByTime();
    attitudes_.SortByTime();
    verticals_.SortByTime();
    return true;
}

bool RawLineFile::ReadLine(std::string_view line, Fields& fields) {
    SplitFields(line, fields);
    if (fields.front() == "NAME") {
        constexpr std::size_t tagLength = std::string_view("NAME").size();
        name_ = CutAtCharacter(Trim(line.substr(tagLength)), PlannedLine::kMaxNameBytes);
        return true;
    }
    if (fields.front() == "PLAN") {
        const auto xy = ParseNumbers<2>(std::span(fields).subspan(1));
        if (xy) AddPlannedPoint(*xy);
        return xy.has_value();
    }
    return ReadTimedLine(fields);
}

bool RawLineFile::ReadTimedLine(const Fields& fields) {
    if (fields.size() < 2) return false;
    const std::optional<double> time = ParseDouble(fields[0]);
    if (!time) return false;
    const std::string_view tag = fields[1];
    const auto values = std::span(fields).subspan(2);
    if (tag == "POS") {
        const auto xy = ParseNumbers<2>(values);
        return xy && AddPosition(*time, *xy);
    }
    if (tag == "DEPTH") return depths_.Add(*time, values);
    if (tag == "HPR") return attitudes_.Add(*time, values);
    if (tag == "VERT") return verticals_.Add(*time, values);
    return false;
}

bool RawLineFile::AddPosition(double time, std::array<double, 2> xy) {
    // The merge walks positions in order, so one that goes back in time cannot be used.
    if (!positions_.empty() && time < positions_.back().time) return false;
    positions_.push_back({time, xy[0], xy[1]});
    return true;
}

void RawLineFile::AddPlannedPoint(std::array<double, 2> xy) {
    if (planned_.size() < PlannedLine::kMaxPoints) planned_.push_back({.x = xy[0], .y = xy[1]});
}

int RawLineFile::RecordCount() const {
    return static_cast<int>(std::min<std::size_t>(positions_.size(), INT_MAX));
}

double RawLineFile::RecordTime(int index) const {
    if (index < 0 || index >= RecordCount()) return 0;
    return positions_[static_cast<std::size_t>(index)].time;
}

bool RawLineFile::ReadRecord(int index, NavigationFix& fix) const {
    if (index < 0 || index >= RecordCount()) return false;
    const Position& position = positions_[static_cast<std::size_t>(index)];
    const auto [depth1, depth2] = depths_.At(position.time);
    const auto [heading, pitch, roll] = attitudes_.At(position.time);
    fix = {.timeOfDay = position.time,
           .x = position.x,
           .y = position.y,
           .depth1 = depth1,
           .depth2 = depth2,
           .heading = heading,
           .pitch = pitch,
           .roll = roll,
           .vertical = verticals_.At(position.time)[0]};
    return true;
}

}  // namespace fluvex
