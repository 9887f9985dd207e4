#pragma once

// The table of a line's pings that the CSV and workbook exports write: one row per ping with its
// time of day, attitude, depth, position, bottom track and cell velocities. Every value is worked
// out here once; the writers only choose decimals and numbering.
//
// A ping that cannot be read repeats the values of the last one that could (under its own
// number): the exports keep one row per ping so that rows line up with ping numbers.

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "model/Ensemble.h"
#include "model/QuantityOptions.h"

namespace fluvex {

class Database;
class Geodesy;

// The columns a line's table has.
struct EnsembleTableLayout {
    // The ping with index 1 has bottom track (the first ping is not asked: it may lack it).
    bool bottomTrack = false;
    // The largest cell count of the line's pings.
    int cellGroups = 0;
    // A table made with amplitudes whose last readable ping has echo intensities, and there
    // are cells.
    bool amplitudes = false;
};

// Bottom track as m/s east and north, horizontal speed and direction in degrees. The speed is
// single precision, as the CSV always had it.
struct TableBottomTrack {
    double east = 0.0;
    double north = 0.0;
    double speed = 0.0;
    double direction = 0.0;
};

// One cell's velocity in m/s with its horizontal speed and direction in degrees.
struct TableCell {
    bool valid = false;
    double east = 0.0;
    double north = 0.0;
    double up = 0.0;
    double speed = 0.0;
    double direction = 0.0;
};

struct EnsembleRow {
    int index = 0;         // in the line, from 0
    std::string time;      // time of day, "hh:mm:s.sss" (seconds padded only to two characters)
    double heading = 0.0;  // degrees
    double pitch = 0.0;    // radians
    double roll = 0.0;     // radians
    double depth = 0.0;    // by the chosen depth reference, display unit
    bool hasPosition = false;
    double x = 0.0;  // grid, project unit
    double y = 0.0;
    bool hasGeographic = false;  // the geodesy converted the position
    double latitude = 0.0;
    double longitude = 0.0;
    bool bottomTrackValid = false;  // only ever set when the layout has bottom track
    TableBottomTrack bottomTrack;
    // The ping's own cells, at most the layout's cell groups; the rest are padding.
    std::vector<TableCell> cells;
    // Echo intensity of each beam per cell, for tables made with amplitudes: the ping's own
    // cells, as for `cells`. Whether a row has them follows its ping, not the layout.
    bool hasAmplitudes = false;
    std::vector<std::array<std::uint8_t, kBeamCount>> amplitudes;
};

// Numbers as printf's "%.*f" and "%d" write them, whatever the locale, without allocating. The
// text is NUL-terminated for C interfaces and stays valid until the next call.
class NumberFormatter {
public:
    std::string_view Fixed(double value, int decimals);
    std::string_view Integer(long long value);

private:
    // The longest fixed text of a double: 309 digits before the point, sign, point, decimals.
    std::array<char, 400> buffer_;
};

// Seconds of a ping's time as the time of day "%02d:%02d:%02.3f": hours and minutes truncated,
// the seconds with three decimals and no leading zero (3725.5 s is "01:02:5.500").
std::string TimeOfDayText(double seconds);

class EnsembleTable {
public:
    // The line's pings, reprocessed first when their processing options changed. A line that is
    // not loaded gives an empty table. Echo intensities are read only `withAmplitudes`, for
    // the CSV.
    EnsembleTable(Database& database, int line, const QuantityOptions& quantities,
                  bool withAmplitudes = false);

    const EnsembleTableLayout& Layout() const { return layout_; }
    int RowCount() const { return static_cast<int>(pings_.size()); }

    // Fills `row` with the values of ping `index` (0 ... RowCount() - 1). Rows are filled in
    // order: a ping that cannot be read (or an index outside the line) shows the last readable
    // ping filled before it. The row
    // is meant to be reused from one call to the next, so that a long line allocates nothing
    // per row.
    void FillRow(int index, EnsembleRow& row);

    // The column headings of the layout.
    std::vector<std::string> Headings() const;

private:
    const Ensemble& ReadableAt(int index);
    void FillPosition(const Ensemble& ping, EnsembleRow& row) const;
    void FillBottomTrack(const Ensemble& ping, EnsembleRow& row) const;
    void FillCells(const Ensemble& ping, EnsembleRow& row) const;
    void FillAmplitudes(const Ensemble& ping, EnsembleRow& row) const;

    std::span<const Ensemble> pings_;
    QuantityOptions quantities_;
    Geodesy* geodesy_ = nullptr;
    EnsembleTableLayout layout_;
    bool withAmplitudes_ = false;
    // The last readable ping filled; none at first, when rows show an empty record.
    int lastReadable_ = -1;
    Ensemble empty_;
};

}  // namespace fluvex
