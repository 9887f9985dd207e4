#pragma once

// The survey suite's raw line files: text with one navigation or sensor sample per line, the
// planned line's name and points. Layout in docs/formats.md.

#include <array>
#include <cstddef>
#include <filesystem>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "model/PlannedLine.h"
#include "services/NavigationFix.h"

namespace fluvex {

class RawLineFile {
public:
    // False when the file cannot be read or its first line is not "RAWLINE 1".
    bool Open(const std::filesystem::path& path);
    // The same for text already in memory.
    bool Parse(std::string_view text);

    // Navigation records: one per POS line, in file order.
    int RecordCount() const;
    // Seconds of day; 0 when the index is out of range.
    double RecordTime(int index) const;
    // The position with the sensor values held at its time; false when out of range.
    bool ReadRecord(int index, NavigationFix& fix) const;

    const std::string& LineName() const { return name_; }
    // x and y only; at most PlannedLine::kMaxPoints.
    const std::vector<PlannedPoint>& PlannedPoints() const { return planned_; }
    // Malformed lines and lines of unknown tags, passed over.
    int SkippedLines() const { return skipped_; }

private:
    struct Position {
        double time = 0;
        double x = 0;
        double y = 0;
    };

    // Samples of one sensor tag sorted by time; the value at a time is the latest sample not
    // after it, zeros before the first.
    template <std::size_t N>
    struct SensorSeries {
        struct Sample {
            double time = 0;
            std::array<double, N> values{};
        };
        std::vector<Sample> samples;

        // False unless `fields` are exactly N numbers.
        bool Add(double time, std::span<const std::string_view> fields);
        void SortByTime();
        std::array<double, N> At(double time) const;
    };

    using Fields = std::vector<std::string_view>;

    bool ReadLine(std::string_view line, Fields& fields);
    bool ReadTimedLine(const Fields& fields);
    bool AddPosition(double time, std::array<double, 2> xy);
    void AddPlannedPoint(std::array<double, 2> xy);

    std::vector<Position> positions_;
    SensorSeries<2> depths_;
    SensorSeries<3> attitudes_;  // heading, pitch, roll
    SensorSeries<1> verticals_;
    std::string name_;
    std::vector<PlannedPoint> planned_;
    int skipped_ = 0;
};

}  // namespace fluvex
