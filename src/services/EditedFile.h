#pragma once

// The survey suite's edited line files (.kq2): a little-endian record stream holding the line's
// navigation fixes and its planned course. Layout in docs/formats.md.

#include <array>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "model/PlannedLine.h"
#include "services/NavigationFix.h"

namespace fluvex {

// One navigation record (type 0x70) as stored.
struct EditedNavRecord {
    std::uint32_t kind = 0;
    std::uint32_t status = 0;
    double timeOfDay = 0;  // seconds since midnight
    double x = 0;          // grid easting
    double y = 0;          // grid northing
    // Kinds 5 and 9 fill all four slots; the other kinds only the first.
    std::array<double, 4> depth1{};  // high frequency
    std::array<double, 4> depth2{};  // low frequency
    double heading = 0;
    double pitch = 0;
    double roll = 0;
    double fourth = 0;  // vertical velocity of the boat

    bool Usable() const { return status == 0; }
    double Depth1() const { return ReducedDepth(depth1); }
    double Depth2() const { return ReducedDepth(depth2); }
    // The fix the navigation merge consumes: depths reduced, the rest copied.
    NavigationFix ToFix() const;

    bool operator==(const EditedNavRecord&) const = default;

private:
    double ReducedDepth(const std::array<double, 4>& values) const;
};

// The navigation records of one edited file, read whole on opening and decoded on demand, and
// its planned line, so that loading a line reads its edited file once.
class EditedFile {
public:
    // The number of navigation records; 0 when the file cannot be read or holds none.
    int Open(const std::filesystem::path& path);
    // False when the index is out of range or no file is open.
    bool ReadRecord(int index, EditedNavRecord& record) const;
    void Close();
    int RecordCount() const { return static_cast<int>(navigationPayloads_.size()); }
    // The first planned-line record (0x0E or 0x38); an empty line when there is none.
    const PlannedLine& PlannedLineRecord() const { return plannedLine_; }

private:
    void IndexRecords();

    std::string bytes_;
    // Offset of each navigation record's payload in bytes_, in file order.
    std::vector<std::size_t> navigationPayloads_;
    PlannedLine plannedLine_;
};

// The file's first planned-line record (0x0E or 0x38) as a planned line; an empty line when the
// file holds none or cannot be read.
PlannedLine ReadEditedPlannedLine(const std::filesystem::path& path);

}  // namespace fluvex
